#!/usr/bin/env python3
"""End-to-end scenarios of a receiver that misbehaves: the real panel in its
own X server, typed keys, and the simulator told at run time to hang up the
line, flood it with garbage, answer byte by byte or late, or fall silent.

    python3 tests/e2e/faults.py --build build [Faults.test_hangup_during_search ...]

Each scenario checks that the panel neither crashes, hangs nor spins (it
keeps polling, its processor time stays near idle, Q ends it with exit code
0) and that the user still gets the answers: the clips of M, F and typed
digits, and a typed frequency on the wire exactly. Exit code 77 (skipped)
when Xvfb or xdotool is missing.
"""

import re
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
import harness  # noqa: E402


# A whole level reply as the panel logs it: tag, squelch flag, three digits.
LEVEL_REPLY = re.compile(r"^RX= LM[ %]\d{3}$")
# The frequency field of a search read-back: ten digits after "RF".
READ_BACK = re.compile(r"RF(\d{10})")

# Processor time the panel may use while it only polls, in seconds per 10 s
# of wall time. Polling costs it well under 0.2 s per 10 s (a 100 ms timer,
# the level bar redrawn), a dead line less; a loop spinning on a hung-up or
# noisy line would take a whole core, 10 s per 10 s. The limit sits well
# above the first and far below the second.
IDLE_CPU_LIMIT = 0.5


def spoken(frequency):
    """The clips of a frequency text as the panel speaks it: "145.75" is
    1, 4, 5, point, 7, 5."""
    return ["point" if character == "." else character for character in frequency]


def level_replies(lines):
    return [line for line in lines if LEVEL_REPLY.match(line)]


class Faults(harness.PanelTestCase):
    # ------------------------------------------------------------ checks

    def assert_near_idle(self, panel, what, seconds, polls):
        """Watches the panel while it only polls, for at least `seconds` and
        `polls` level polls of its own (its debug log: they count whether or
        not the line carries them), and checks that its processor time stays
        near idle. Returns the rate in seconds per 10 s."""
        mark = panel.mark()
        start_cpu = panel.cpu_seconds()
        start = time.monotonic()
        panel.wait_for(
            lambda: time.monotonic() - start >= seconds and panel.debug_log(mark).count("TX= LM") >= polls,
            what="%d s and %d level polls %s" % (seconds, polls, what),
            timeout=seconds + 60,
        )
        used = panel.cpu_seconds() - start_cpu
        elapsed = time.monotonic() - start
        rate = used * 10 / elapsed
        count = panel.debug_log(mark).count("TX= LM")
        sys.stderr.write(
            "\n  processor time %s: %.2f s in %.1f s (%.2f s per 10 s), %d polls\n" % (what, used, elapsed, rate, count)
        )
        self.assertTrue(panel.running(), "the panel still runs %s" % what)
        self.assertLess(rate, IDLE_CPU_LIMIT, "processor time %s: %.2f s in %.1f s" % (what, used, elapsed))
        return rate

    def assert_answers(self, panel, frequency, level=r"\d( plus)?"):
        """M speaks the level ("s", a digit, "plus" above 9), F the frequency
        and the mode: the answers come from what the panel holds, whatever
        the line does."""
        mark = panel.press("M F", clip="fm")
        said = " ".join(panel.clips(since=mark))
        self.assertRegex(said, "^s %s %s fm$" % (level, " ".join(spoken(frequency))))

    def type_frequency(self, panel, frequency):
        """Types the frequency and Enter: every key echoed, "ok", and the
        tuning command on the wire exactly as for a healthy receiver."""
        whole, _, fraction = frequency.partition(".")
        command = "VA%04d.%s" % (int(whole), fraction.ljust(5, "0"))
        # The simulator's log may lag behind the clip, hence the wait for both.
        mark = panel.press(" ".join(frequency) + " Enter", clip="ok", command="ST012.50")
        self.assertEqual(panel.clips(since=mark), spoken(frequency) + ["ok"])
        self.assertEqual(panel.sim_commands(since=mark, skip=("LM",)), [command, "ST012.50"])

    def assert_quits(self, panel, frequency):
        """Q ends the panel with exit code 0 after "quit", with EX the last
        thing on the wire and the state record written."""
        mark = panel.mark()
        self.assertEqual(panel.quit(), 0)
        self.assertEqual(panel.clips(since=mark), ["quit"])
        self.assertEqual(panel.sim_commands()[-1], "EX")
        self.assertNotIn("rnc", panel.clips(), "the panel never gave up on a receiver that had answered")
        self.assert_state_record(panel, "FM", frequency, "145", "146", "12.5")

    def test_hangup_during_search(self):
        """The line hangs up while a CONT search runs: the panel goes on
        polling a dead line without spinning, answers M, F and digits from
        what it holds, and Q ends it with exit code 0 and the state record."""
        p = self.panel(scenario="search-rate 20\nresume-delay 1\nsignal 145.5 49\nsignal 145.8 49\n")
        m = p.press("R", command="VS")
        p.wait_clip("1", since=m, timeout=60)  # the first find is recorded

        p.control("fault hangup")
        found = [READ_BACK.search(line) for line in p.debug_log() if line.startswith("RX=")]
        digits = [match.group(1) for match in found if match][-1]
        frequency = "%d.%s" % (int(digits[:4]), digits[4:].rstrip("0"))
        self.assertIn(frequency, ("145.5", "145.8"), "the panel stands on the signal it found")

        self.assert_near_idle(p, "after the hang-up", seconds=10, polls=10)
        dead = p.mark()

        self.assert_answers(p, frequency)
        m = p.mark()
        p.keys("1 4 6")
        p.wait_for(lambda: p.clips(since=m) == ["1", "4", "6"], what="the digits echoed")
        p.wait_debug("TX= LM", since=p.mark(), count=3)

        m = p.mark()
        self.assertEqual(p.quit(), 0)
        self.assertEqual(p.clips(since=m), ["quit"])
        self.assertEqual(p.sim_commands(since=dead), [], "nothing reaches the receiver over the dead line")
        debug = p.debug_log()
        self.assertEqual(debug[-3:], ["**Q", "TX= VA0146000000", "TX= ST012.50"], "Q carries out the typed frequency")
        self.assertFalse(any(line.startswith("RX=") for line in p.debug_log(since=dead)), "nothing heard")
        self.assert_state_record(p, "FM", "146.0", "145", "146", "12.5")

    def test_misbehaving_line(self):
        """Random bytes in every reply, replies one byte every 40 ms (read in
        pieces over several ticks), replies 250 ms late (after the tick that
        looks for them), then a receiver fallen silent once connected, one
        after the other: the panel keeps polling near idle, answers keys from
        what it holds and tunes exactly; a clean line is read whole again;
        the silence does not end it at the next key, and Q does."""
        p = self.panel()

        def garbled(lines, mark):
            clean, polls = len(level_replies(lines)), lines.count("TX= LM")
            self.assertLess(clean, polls, "the replies are garbled (%d clean of %d)" % (clean, polls))

        def polls_reach_receiver(lines, mark):
            self.assertGreaterEqual(p.sim_commands(since=mark).count("LM"), 12, "the polls reach the receiver")

        def late_replies_read(lines, mark):
            self.assertGreaterEqual(len(level_replies(lines)), 5, "late level replies are read")

        def nothing_heard(lines, mark):
            polls_reach_receiver(lines, mark)
            self.assertFalse(any(line.startswith("RX=") for line in lines), "nothing heard")

        faults = [
            ("garbage", "145.7", r"\d( plus)?", garbled),
            ("bytewise 40", "146.125", "0", polls_reach_receiver),
            ("late 250", "145.75", "0", late_replies_read),
            ("silence", "146.25", "0", nothing_heard),
        ]
        for fault, frequency, level, check in faults:
            m = p.mark()
            p.control("fault " + fault)
            self.assert_near_idle(p, "with the fault " + fault, seconds=5, polls=12)
            check(p.debug_log(since=m), m)
            self.type_frequency(p, frequency)
            self.assert_answers(p, frequency, level=level)
            if fault != "silence":
                p.control("fault none")
                m = p.mark()
                p.wait_for(
                    lambda: len(level_replies(p.debug_log(since=m))) >= 3, what="three whole level replies read again"
                )
        p.wait_polls(5, since=p.mark())
        self.assert_quits(p, "146.25")

if __name__ == "__main__":
    sys.exit(harness.run_scenarios(sys.modules[__name__]))

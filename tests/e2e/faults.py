#!/usr/bin/env python3
"""End-to-end scenarios of a receiver that misbehaves: the simulator told at
run time to hang up the line, flood it with garbage, answer byte by byte or
late, or fall silent.

    python3 tests/e2e/faults.py --build build [Faults.test_hangup_during_search ...]

The panel neither crashes, hangs nor spins (it keeps polling, its processor
time stays near idle, Q ends it with exit code 0) and the user still gets
the answers: the clips of M, F and typed digits, and a typed frequency on
the wire exactly. Exit code 77 (skipped) when Xvfb or xdotool is missing.
"""

import re
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
import harness  # noqa: E402

LEVEL_REPLY = re.compile(r"^RX= LM[ %]\d{3}$")
# Processor time while only polling, in seconds per 10 s: well under 0.2 for
# a 100 ms timer, 10 for a loop spinning on a hung-up or noisy line.
IDLE_CPU_LIMIT = 0.5


def spoken(frequency):
    return ["point" if character == "." else character for character in frequency]


def level_replies(lines):
    return [line for line in lines if LEVEL_REPLY.match(line)]


class Faults(harness.PanelTestCase):
    def assert_near_idle(self, p, what, seconds, polls):
        """At least `seconds` and `polls` level polls of the panel's own (its
        debug log: they count whether or not the line carries them), near idle."""
        mark, start_cpu, start = p.mark(), p.cpu_seconds(), time.monotonic()
        p.wait_for(lambda: time.monotonic() - start >= seconds and p.debug_log(mark).count("TX= LM") >= polls,
                   what="%d s and %d level polls %s" % (seconds, polls, what), timeout=seconds + 60)
        rate = (p.cpu_seconds() - start_cpu) * 10 / (time.monotonic() - start)
        sys.stderr.write("\n  processor time %s: %.2f s per 10 s\n" % (what, rate))
        self.assertTrue(p.running(), "the panel still runs %s" % what)
        self.assertLess(rate, IDLE_CPU_LIMIT, "processor time %s" % what)

    def assert_answers(self, p, frequency, level=r"\d( plus)?"):
        """M speaks the level, F the frequency and the mode, from what the panel holds."""
        mark = p.press("M F", clip="fm")
        self.assertRegex(" ".join(p.clips(since=mark)), "^s %s %s fm$" % (level, " ".join(spoken(frequency))))

    def test_hangup_during_search(self):
        """The line hangs up while a CONT search runs: the panel polls the dead
        line without spinning, answers M, F and digits, and Q ends it with
        exit code 0 and the state record."""
        p = self.panel(scenario="search-rate 20\nresume-delay 1\nsignal 145.5 49\nsignal 145.8 49\n")
        m = p.press("R", command="VS")
        p.wait_clip("1", since=m, timeout=60)  # the first find is recorded
        p.control("fault hangup")
        found = [re.search(r"RF(\d{10})", line) for line in p.debug_log() if line.startswith("RX=")]
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
        self.assertEqual((p.clips(since=m), p.sim_commands(since=dead)), (["quit"], []), "nothing reaches the receiver")
        self.assertEqual(p.debug_log()[-3:], ["**Q", "TX= VA0146000000", "TX= ST012.50"], "Q carries out the typed frequency")
        self.assertFalse(any(line.startswith("RX=") for line in p.debug_log(since=dead)), "nothing heard")
        self.assert_state_record(p, "FM", "146.0", "145", "146", "12.5")

    def test_misbehaving_line(self):
        """Random bytes in every reply, replies one byte every 40 ms, replies
        250 ms late, then a receiver fallen silent once connected: the panel
        polls near idle, answers keys and tunes exactly; a clean line is read
        whole again; the silence does not end it at the next key, and Q does."""
        p = self.panel()
        faults = [
            ("garbage", "145.7", r"\d( plus)?", lambda lines, m: len(level_replies(lines)) < lines.count("TX= LM")),
            ("bytewise 40", "146.125", "0", lambda lines, m: p.sim_commands(since=m).count("LM") >= 12),
            ("late 250", "145.75", "0", lambda lines, m: len(level_replies(lines)) >= 5),
            ("silence", "146.25", "0", lambda lines, m: not any(line.startswith("RX=") for line in lines)),
        ]
        for fault, frequency, level, check in faults:
            m = p.mark()
            p.control("fault " + fault)
            self.assert_near_idle(p, "with the fault " + fault, seconds=5, polls=12)
            self.assertTrue(check(p.debug_log(since=m), m), "the line shows the fault " + fault)
            whole, _, fraction = frequency.partition(".")
            mark = p.press(" ".join(frequency) + " Enter", clip="ok", command="ST012.50")
            self.assertEqual((p.clips(since=mark), p.sim_commands(since=mark, skip=("LM",))),
                             (spoken(frequency) + ["ok"], ["VA%04d.%s" % (int(whole), fraction.ljust(5, "0")), "ST012.50"]))
            self.assert_answers(p, frequency, level=level)
            if fault != "silence":
                p.control("fault none")
                m = p.mark()
                p.wait_for(lambda: len(level_replies(p.debug_log(since=m))) >= 3, what="whole level replies again")
        p.wait_polls(5, since=p.mark())
        m = p.mark()
        self.assertEqual(p.quit(), 0)
        self.assertEqual((p.clips(since=m), p.sim_commands()[-1], "rnc" in p.clips()), (["quit"], "EX", False))
        self.assert_state_record(p, "FM", "146.25", "145", "146", "12.5")


if __name__ == "__main__":
    sys.exit(harness.run_scenarios(sys.modules[__name__]))

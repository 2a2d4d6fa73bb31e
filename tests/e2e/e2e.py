#!/usr/bin/env python3
"""End-to-end scenarios: what a user and the receiver see of the real panel,
with a healthy receiver (Scenarios) and one that misbehaves (Faults: the
panel neither crashes, hangs nor spins, and still answers keys).

    python3 tests/e2e/e2e.py --build build [Scenarios.test_first_start ...]
"""

import os
import re
import signal
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
import harness  # noqa: E402
from harness import crlf_lines  # noqa: E402

# Frequency area ("Ariel" 50 at 300, 150); "Found" at (20, 400) and the count
# at (750, 400), "Ariel" 30, red.
FREQUENCY_AREA, FOUND_AREA, COUNT_AREA = (300, 150, 600, 215), (20, 400, 200, 445), (750, 400, 850, 445)
BANK05 = crlf_lines(["bank05", "FM", "12.5", " ", "145.2", "ONE", "145.5", "TWO", "145.8", "THREE", "9999"])
SEARCH = "search-rate 20\nresume-delay 1\nsignal 145.5 49\nsignal 145.8 49\n"


def digits(clips):
    return [clip for clip in clips if clip.isdigit()]


class Scenarios(harness.PanelTestCase):
    def test_first_start(self):
        """First start without bank00.dat: defaults tuned and announced, "bnf",
        level polling; Q saves the state; the next start restores it."""
        p = self.panel()
        self.assertEqual(p.sim_commands()[:4], ["VA0145000000", "MD1", "ST012.50", "AT0"])
        p.wait_polls(3)
        self.assertEqual(set(p.sim_commands()[4:]), {"LM"}, "only level polls while no key is pressed")
        self.assertEqual(
            p.clips()[:13], ["talvaro", "4", "point", "1", "bnf", "1", "4", "5", "point", "0", "fm", "attoff", "connected"]
        )
        self.assertIsNone(p.read_file("bank00.dat"), "no bank 0 is created before the end")

        # Change what the state record keeps: mode, frequency, step, limits.
        p.press("F2", command="MD2")
        for keys in ["1 4 6 . 5 2 5 Enter", "I 2 5 Enter", "S 1 4 4 Enter", "E 1 4 8 Enter"]:
            p.press(keys, clip="ok")
        p.wait_command("ST025000")
        self.assertIn("VA0146.52500", p.sim_commands())
        m = p.mark()
        self.assertEqual(p.quit(), 0)
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)[-1]),
                         (["VA0146.52500", "ST025000", "EX"], "quit"))
        self.assert_state_record(p, "AM", "146.525", "144", "148", "25")
        debug = p.debug_log()
        self.assertRegex(debug[0], r"^TALVARO 4\.1b  \d\d-\d\d-\d{4}   \d\d:\d\d:\d\d$")
        self.assertEqual(debug[1:6], ["TX= VA0145000000", "TX= MD1", "TX= ST012.50", "TX= AT0", "TX= LM"])
        self.assertEqual(debug[-3:], ["**Q", "TX= VA0146.52500", "TX= ST025000"], "the log is closed before EX")

        # The next start restores it and leaves bank 0 an empty search bank.
        m = p.mark()
        p.start_panel()
        p.wait_connected()
        self.assertEqual(p.sim_commands(since=m)[:4], ["VA0146.52500", "MD2", "ST025000", "AT0"])
        self.assertEqual(p.clips()[:12], ["talvaro", "4", "point", "1", "1", "4", "6", "point", "5", "2", "5", "am"])
        self.assertEqual(p.file_lines("bank00.dat"), ["Srchbank", "AM", "9999"])
        self.assertEqual(p.quit(), 0)
        self.assert_state_record(p, "AM", "146.525", "144", "148", "25")

    def test_typed_frequency(self):
        """F1 to F7 set and speak the modes; 1 4 5 . 5 Enter tunes 145.5 MHz,
        echoes every key, says "ok", shows it in blue, and the pause between
        VA and ST is heard to its end."""
        p = self.panel()
        m = p.press("F1 F2 F3 F4 F5 F6 F7", command="AU1")
        p.wait_clip("auto", since=m)
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)),
                         (["MD1", "MD2", "MD4", "MD3", "MD0", "MD5", "AU1"], ["fm", "am", "lsb", "usb", "wfm", "cw", "auto"]))
        before = p.screenshot().points(*FREQUENCY_AREA, harness.is_blue)
        m = p.press("1 4 5 . 5 Enter", clip="ok", command="ST012.50")  # the sim's log may lag behind the clip
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)),
                         (["VA0145.50000", "ST012.50"], ["1", "4", "5", "point", "5", "ok"]))
        after = p.screenshot().points(*FREQUENCY_AREA, harness.is_blue)
        self.assertGreater(min(len(before), len(after)), 200, "the frequency is shown in blue")
        self.assertNotEqual(before, after, "145.0000 has become 145.5000")

        p.wait_polls(2, since=p.mark())
        self.assertEqual(p.quit(), 0)
        # 150 ms between VA and ST (Enter's, then Q's). The simulator stamps a
        # command when it reads it, which a busy machine may delay: the longer
        # of the two gaps is the one to trust.
        wire = [command for command in p.sim_command_records() if command.text != "LM"]
        gaps = [b.seconds - a.seconds for a, b in zip(wire, wire[1:]) if (a.text, b.text) == ("VA0145.50000", "ST012.50")]
        self.assertEqual(len(gaps), 2)
        self.assertGreaterEqual(max(gaps), 0.145)
        logged = [line for line in p.debug_log() if line.startswith(("**", "TX= V", "TX= S"))]
        self.assertEqual(logged[logged.index("**1") :],
                         ["**1", "**4", "**5", "**.", "**5", "**C/R", "TX= VA0145.50000", "TX= ST012.50"]
                         + ["**Q", "TX= VA0145.50000", "TX= ST012.50"])
        self.assertEqual((p.sim_commands()[-1], p.file_lines("bank00.dat")[1]), ("EX", "AUT"))

    def test_continuing_search(self):
        """A CONT search from 145 to 146 MHz records both signals, shows and
        speaks the count, and Enter saves them in bank00.dat."""
        p = self.panel(scenario=SEARCH)
        m = p.press("R", command="VS")
        self.assertEqual(p.sim_commands(since=m, skip=("LM",))[:5],
                         ["VA0145000000", "VB0146000000", "ST012.50", "MD1", "VS"])
        self.assertEqual(p.clips(since=m)[:3], ["srch", "fm", "act"])
        self.assertEqual(p.file_lines("bank00.dat"), ["Srchbank", "FM", "12.5", " ", "9999"])
        p.wait_clip("2", since=m, timeout=60)  # each find speaks the count so far
        self.assertEqual(digits(p.clips(since=m)), ["1", "2"])
        self.assertTrue({"RX", "<1E>"} <= set(p.sim_commands(since=m)), "the stop is read back, the search resumed")
        shot = p.screenshot()
        self.assertGreater(len(shot.points(*FOUND_AREA, harness.is_red)), 50, '"Found" in red')
        self.assertGreater(len(shot.points(*COUNT_AREA, harness.is_red)), 20, "the count in red")

        m = p.press("Enter", clip="ok", command="ST012.50")
        self.assertEqual(p.file_lines("bank00.dat"), ["Srchbank", "FM", "12.5", " ", "145.5", " ", "145.8", " ", "9999"])
        self.assertEqual(digits(p.clips(since=m)), ["2"], "the count spoken matches the finds saved")
        m = p.mark()
        p.wait_polls(5, since=m)
        self.assertEqual(set(p.sim_commands(since=m)), {"LM"}, "the search has ended")

    def test_bank_select_browse_scan(self):
        """B 0 5 Enter selects bank 5 and tunes its first entry; Down and Up
        browse with a beep at the first entry; R scans the bank until a signal
        halts it; Enter leaves the scan, also during the scan's clip; a
        hang-up ends the program as Q does."""
        p = self.panel(files={"bank05.dat": BANK05})
        m = p.press("B 0 5 Enter", clip="sel", command="ST012.50")
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)),
                         (["VA0145.20000", "MD1", "ST012.50"], ["bank", "0", "5", "fm", "sel"]))
        m = p.press("Down Up Up", command="VA0145.50000")
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)),
                         (["VA0145.80000", "VA0145.20000", "VA0145.50000"], ["beep"]))

        m = p.mark()
        p.keys("R")
        p.wait_for(lambda: len(p.sim_commands(since=m, skip=("LM",))) >= 9, what="the scan to go through the bank twice")
        cycle = ["VA0145.20000", "VA0145.50000", "VA0145.80000"]
        self.assertEqual(p.sim_commands(since=m, skip=("LM",))[:9], ["VA0145.20000", "MD1", "ST012.50"] + cycle + cycle)
        self.assertIn("scan", p.clips(since=m))
        m = p.mark()
        p.control("signal add 145.5 49")
        p.wait_clip("stop", since=m)
        halted = p.mark()
        self.assertEqual([c for c in p.sim_commands(since=m) if c.startswith("VA")][-1], "VA0145.50000")
        p.wait_polls(5, since=halted)
        self.assertEqual(set(p.sim_commands(since=halted)), {"LM"}, "the scan stays on the signal")

        m = p.press("Enter", command="MD1")
        after = p.mark()
        p.wait_polls(5, since=after)
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), set(p.sim_commands(since=after)), p.clips(since=m)),
                         (["VA0145.50000", "MD1"], {"LM"}, ["exitscan", "fm"]))

        # Enter while the scan says "scan" after tuning an entry ends the scan
        # on that entry: the key goes before the next scan step.
        p.press("B 0 5 Enter", command="ST012.50")
        m = p.mark()
        p.keys("R")
        clip, pressed = p.key_during_clip("scan", "Enter", since=m)
        self.assertLess(pressed, clip.ms + harness.wav_seconds(p.build, "scan") * 1000, "Enter pressed too late to test")
        p.wait_command("MD1", since=m, count=2)
        # The scan start tunes the first entry, its first step tunes it again.
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)[-2:]),
                         (["VA0145.20000", "MD1", "ST012.50", "VA0145.20000", "VA0145.20000", "MD1"], ["exitscan", "fm"]))

        p.process.send_signal(signal.SIGHUP)
        self.assertEqual((p.wait_exit(), p.sim_commands()[-1]), (0, "EX"))
        self.assert_state_record(p, "FM", "145.2", "145", "146", "12.5")

    def test_receiver_scan(self):
        """G C Enter starts the receiver's scan of its bank C; P passes the
        channel it stopped on; Enter ends the scan and gives the channel back."""
        memories = "".join('memory C0%d %s NFM "X"\n' % (n, f) for n, f in enumerate(["145.2", "145.5", "145.8"]))
        p = self.panel(scenario="scan-rate 20\nresume-delay 1\nsignal 145.5 49\n" + memories)
        m = p.mark()
        p.keys("G C Enter")
        p.wait_command("MSC", since=m, count=2)
        self.assertEqual((p.sim_commands(since=m, skip=("LM",))[:4], p.clips(since=m)[:3]),
                         (["LC1", "MAC", "MSC", "MSC"], ["radbank", "c", "fm"]))
        p.wait_polls(4, since=p.mark())  # the receiver stops on C01 and the panel hears it
        m = p.press("P", command="MS")
        self.assertEqual(p.sim_commands(since=m, skip=("LM",))[:3], ["MR", "MP1", "MS"])
        self.assertEqual(("pass" in p.clips(since=m), "put" in p.clips(since=m)), (True, False))
        m = p.press("Enter", command="MD1")
        wire = p.sim_commands(since=m, skip=("LM",))
        # The channel given back, the frequency shown tuned again, the mode.
        self.assertEqual((wire[:2], wire[2][:7], wire[3], p.clips(since=m)[0]),
                         (["MRC01", "MP0"], "VA0145.", "MD1", "exitscan"))

    def test_write_bank_to_receiver(self):
        """W 0 5 A clears receiver bank A; Enter writes bank 5 into it
        channel by channel; the receiver then holds the entries."""
        bank = crlf_lines(["bank05", "FM", "12.5", " ", "145.2", "ONE", "145.5", " ", "433.075", "A VERY LONG LABEL", "9999"])
        old = "".join('memory A%02d 118.%d AM "OLD"\n' % (n, n) for n in range(6))
        p = self.panel(files={"bank05.dat": bank}, scenario=old)
        m = p.press("W 0 5 A", command="MQA%%")
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)),
                         (["MQA%%"], ["write", "fromb", "0", "5", "torb", "a"]))
        written = ["MXA00 RF0145200000 ST012500 MD1 TMONE         ", "MXA01 RF0145500000 ST012500 MD1 TM            ",
                   "MXA02 RF0433075000 ST012500 MD1 TMA VERY LONG "]
        m = p.press("Enter", clip="ok", command=written[2], timeout=60)
        self.assertEqual((p.sim_commands(since=m, skip=("LM",)), p.clips(since=m)), (written, ["wait", "ok"]))
        self.assertGreaterEqual(p.clips(since=m, pauses=True).count("shdel"), 10 + 7 + 5 + 3)



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


class SetupRun(harness.Panel):
    """talvaro-setup in the working folder where the simulator is COM1, without TALVARO.CFG."""

    def __init__(self, build, **options):
        super().__init__(build, **options)
        self.program = os.path.join(self.build, "talvaro-setup-e2e")

    def prepare(self):
        super().prepare()
        os.remove(self.path("TALVARO.CFG"))

    def find_window(self):
        found = self.xdotool("search", "--onlyvisible", "--name", "AR8600 Talvaro Setup") or ""
        return next(iter(found.split()), None)


class Setup(harness.PanelTestCase):
    def test_setup_finds_the_receiver_and_saves(self):
        """Found by itself on COM1 at 9600; V, then W writes TALVARO.CFG; only LM and EX sent."""
        p = self.panel(connect=False, kind=SetupRun)
        p.wait_clip("b9600")
        self.assertEqual((p.clips()[:3], p.clips()[-5:]),
                         (["talvaro", "setup", "ports"], ["looking", "found", "port", "1", "b9600"]))
        p.press("V", clip="off")
        p.keys("W")
        self.assertEqual((p.wait_exit(), p.clips()[-1]), (0, "saved"))
        self.assertEqual(p.read_file("TALVARO.CFG"),
                         crlf_lines(["PRT=COM1", "BAUDR=9600", "MODEL=AR8600", "VOICE=0", "DEBUG=0"]))
        self.assertTrue(os.path.islink(p.path("COM1")), "the simulator's link stays as it was")
        self.assertEqual(p.sim_commands(), ["LM", "EX"])


if __name__ == "__main__":
    sys.exit(harness.run_scenarios(sys.modules[__name__]))

#!/usr/bin/env python3
"""End-to-end scenarios of the panel: the real program in its own X server,
typed keys, the receiver simulator on a pseudo-terminal.

    python3 tests/e2e/e2e.py --build build [Scenarios.test_first_start ...]

Each scenario checks what a user and the receiver see: the commands on the
wire, the clips spoken, the debug log, the bank files, the window's pixels
and the exit code. Exit code 77 (skipped) when Xvfb or xdotool is missing.
"""

import re
import signal
import sys

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
        self.assertIn("shdel", p.clips(pauses=True), "the pause clip plays between commands")
        self.assertFalse(p.exists("bank00.dat"), "no bank 0 is created before the end")

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
        self.assertEqual(debug[1:5], ["TX= VA0145000000", "TX= MD1", "TX= ST012.50", "TX= AT0"])
        self.assertTrue(any(line.startswith("RX= LM") for line in debug), "the level reply is logged")
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
        halts it; Enter leaves the scan; a hang-up ends the program as Q does."""
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
        p.process.send_signal(signal.SIGHUP)
        self.assertEqual((p.wait_exit(), p.sim_commands()[-1]), (0, "EX"))
        self.assert_state_record(p, "FM", "145.5", "145", "146", "12.5")

    def test_key_during_scan_clip(self):
        """Enter pressed while the bank scan says "scan" after tuning an entry
        ends the scan on that entry: the key goes before the next scan step."""
        p = self.panel(files={"bank05.dat": BANK05})
        p.press("B 0 5 Enter", command="ST012.50")
        m = p.mark()
        p.keys("R")
        clip, pressed = p.key_during_clip("scan", "Enter", since=m)
        self.assertLess(pressed, clip.ms + harness.wav_seconds(p.build, "scan") * 1000, "Enter pressed too late to test")
        p.wait_command("MD1", since=m, count=2)
        # The scan start tunes the first entry, its first step tunes it again
        # and says "scan"; Enter keeps it.
        self.assertEqual(p.sim_commands(since=m, skip=("LM",)),
                         ["VA0145.20000", "MD1", "ST012.50", "VA0145.20000", "VA0145.20000", "MD1"])
        self.assertEqual(p.clips(since=m)[-2:], ["exitscan", "fm"])

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

        self.assertEqual(p.quit(), 0)
        channels = {}
        for line in p.query_receiver("MAA", 10):
            match = re.match(r"MX(A\d\d) (?:.*RF(\d{10}).*MD(\d).* TM(.*?) *$)?", line)
            channels[match.group(1)] = match.groups()[1:] if match.group(2) else line[6:]
        self.assertEqual(channels, {"A00": ("0145200000", "1", "ONE"), "A01": ("0145500000", "1", ""),
                                    "A02": ("0433075000", "1", "A VERY LONG"), **{"A%02d" % n: "---" for n in range(3, 10)}},
                         "bank A was cleared before the write")


if __name__ == "__main__":
    sys.exit(harness.run_scenarios(sys.modules[__name__]))

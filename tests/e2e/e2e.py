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


STATE_BANNER = "*** Talvaro V 4.1b ***"

# Frequency area of the panel: "Ariel" 50 at (300, 150) in the client area.
FREQUENCY_AREA = (300, 150, 600, 215)
# "Found" at (20, 400) and the count at (750, 400), "Ariel" 30, red.
FOUND_AREA = (20, 400, 200, 445)
COUNT_AREA = (750, 400, 850, 445)

BANK05 = crlf_lines(["bank05", "FM", "12.5", " ", "145.2", "ONE", "145.5", "TWO", "145.8", "THREE", "9999"])


def digits(clips):
    return [clip for clip in clips if clip.isdigit()]


class Scenarios(harness.PanelTestCase):
    def test_first_start(self):
        """First start without bank00.dat: defaults tuned and announced, "bnf",
        level polling; Q saves the state; the next start restores it."""
        p = self.panel()

        wire = p.sim_commands()
        self.assertEqual(wire[:4], ["VA0145000000", "MD1", "ST012.50", "AT0"])
        p.wait_polls(3)
        self.assertEqual(set(p.sim_commands()[4:]), {"LM"}, "only level polls while no key is pressed")
        self.assertEqual(
            p.clips()[:13],
            ["talvaro", "4", "point", "1", "bnf", "1", "4", "5", "point", "0", "fm", "attoff", "connected"],
        )
        self.assertIn("shdel", p.clips(pauses=True), "the pause clip plays between commands")
        self.assertFalse(p.exists("bank00.dat"), "no bank 0 is created before the end")

        # Change what the state record keeps: mode, frequency, step, limits.
        p.press("F2", command="MD2")
        for keys in ["1 4 6 . 5 2 5 Enter", "I 2 5 Enter", "S 1 4 4 Enter", "E 1 4 8 Enter"]:
            p.press(keys, clip="ok")
        p.wait_command("ST025000")
        self.assertIn("VA0146.52500", p.sim_commands())
        self.assertIn("ST025000", p.sim_commands())

        m = p.mark()
        self.assertEqual(p.quit(), 0)
        self.assertEqual(p.sim_commands(since=m, skip=("LM",)), ["VA0146.52500", "ST025000", "EX"])
        self.assertEqual(p.clips(since=m)[-1], "quit")
        self.assert_state_record(p, "AM", "146.525", "144", "148", "25")
        debug = p.debug_log()
        self.assertRegex(debug[0], r"^TALVARO 4\.1b  \d\d-\d\d-\d{4}   \d\d:\d\d:\d\d$")
        self.assertEqual(debug[1:5], ["TX= VA0145000000", "TX= MD1", "TX= ST012.50", "TX= AT0"])
        self.assertIn("TX= LM", debug)
        self.assertTrue(any(line.startswith("RX= LM") for line in debug), "the level reply is logged")
        self.assertEqual(debug[-3:], ["**Q", "TX= VA0146.52500", "TX= ST025000"], "the log is closed before EX")

        # The next start restores it and leaves bank 0 an empty search bank.
        m = p.mark()
        p.start_panel()
        p.wait_connected()
        self.assertEqual(p.sim_commands(since=m)[:4], ["VA0146.52500", "MD2", "ST025000", "AT0"])
        self.assertEqual(
            p.clips()[:12], ["talvaro", "4", "point", "1", "1", "4", "6", "point", "5", "2", "5", "am"]
        )
        self.assertNotIn("bnf", p.clips())
        self.assertEqual(p.file_lines("bank00.dat"), ["Srchbank", "AM", "9999"])
        self.assertEqual(p.quit(), 0)
        self.assert_state_record(p, "AM", "146.525", "144", "148", "25")

    def test_typed_frequency(self):
        """F1 to F7 set and speak the modes FM, AM, LSB, USB, WFM, CW, auto;
        then 1 4 5 . 5 Enter tunes 145.5 MHz, echoes every key, confirms with
        "ok", and shows the new frequency in blue."""
        p = self.panel()
        m = p.press("F1 F2 F3 F4 F5 F6 F7", command="AU1")
        self.assertEqual(
            p.sim_commands(since=m, skip=("LM",)), ["MD1", "MD2", "MD4", "MD3", "MD0", "MD5", "AU1"]
        )
        p.wait_clip("auto", since=m)
        self.assertEqual(p.clips(since=m), ["fm", "am", "lsb", "usb", "wfm", "cw", "auto"])
        before = p.screenshot().points(*FREQUENCY_AREA, harness.is_blue)
        self.assertGreater(len(before), 200, "the start frequency is shown in blue")

        m = p.press("1 4 5 . 5 Enter", clip="ok", command="ST012.50")  # the sim's log may lag behind the clip
        self.assertEqual(p.sim_commands(since=m, skip=("LM",)), ["VA0145.50000", "ST012.50"])
        self.assertEqual(p.clips(since=m), ["1", "4", "5", "point", "5", "ok"])

        after = p.screenshot().points(*FREQUENCY_AREA, harness.is_blue)
        self.assertGreater(len(after), 200, "the new frequency is shown in blue")
        self.assertNotEqual(before, after, "145.0000 has become 145.5000")

        m = p.mark()
        p.wait_polls(2, since=m)
        self.assertEqual(p.quit(), 0)
        # The pause between VA and ST (Enter's, then Q's) is heard to its end:
        # 150 ms. The simulator stamps a command when it reads it, which a busy
        # machine may delay; the longer of the two gaps is the one to trust.
        wire = [command for command in p.sim_command_records() if command.text != "LM"]
        pairs = zip(wire, wire[1:])
        gaps = [b.seconds - a.seconds for a, b in pairs if (a.text, b.text) == ("VA0145.50000", "ST012.50")]
        self.assertEqual(len(gaps), 2)
        self.assertGreaterEqual(max(gaps), 0.145)
        # The debug log: every key, then the commands it sent.
        logged = [line for line in p.debug_log() if line.startswith(("**", "TX= V", "TX= S"))]
        self.assertEqual(
            logged[logged.index("**1") :],
            ["**1", "**4", "**5", "**.", "**5", "**C/R", "TX= VA0145.50000", "TX= ST012.50"]
            + ["**Q", "TX= VA0145.50000", "TX= ST012.50"],
        )
        self.assertEqual(p.sim_commands()[-1], "EX", "EX is the last thing on the wire")
        self.assertEqual(p.file_lines("bank00.dat")[1], "AUT", "the mode stays in the state record")

    def test_continuing_search(self):
        """A CONT search from 145 to 146 MHz records both signals, shows and
        speaks the count, and Enter saves them in bank00.dat."""
        p = self.panel(scenario="search-rate 20\nresume-delay 1\nsignal 145.5 49\nsignal 145.8 49\n")
        m = p.press("R", command="VS")
        self.assertEqual(
            p.sim_commands(since=m, skip=("LM",))[:5], ["VA0145000000", "VB0146000000", "ST012.50", "MD1", "VS"]
        )
        self.assertEqual(p.clips(since=m)[:3], ["srch", "fm", "act"])
        self.assertEqual(p.file_lines("bank00.dat"), ["Srchbank", "FM", "12.5", " ", "9999"])

        # Each find speaks the count so far: "1", then "2".
        p.wait_clip("2", since=m, timeout=60)
        self.assertEqual(digits(p.clips(since=m)), ["1", "2"])
        self.assertIn("RX", p.sim_commands(since=m), "the stop is read back")
        self.assertIn("<1E>", p.sim_commands(since=m), "the search is resumed")
        shot = p.screenshot()
        self.assertGreater(len(shot.points(*FOUND_AREA, harness.is_red)), 50, '"Found" in red')
        self.assertGreater(len(shot.points(*COUNT_AREA, harness.is_red)), 20, "the count in red")

        m = p.press("Enter", clip="ok", command="ST012.50")
        lines = p.file_lines("bank00.dat")
        self.assertEqual(lines[:4], ["Srchbank", "FM", "12.5", " "])
        self.assertEqual(lines[-1], "9999")
        entries = lines[4:-1]
        self.assertEqual(entries, ["145.5", " ", "145.8", " "])
        spoken = p.clips(since=m)
        self.assertEqual(digits(spoken), [str(len(entries) // 2)], "the count spoken matches the finds saved")
        # The search has ended: no more read-backs or resumes.
        m = p.mark()
        p.wait_polls(5, since=m)
        self.assertEqual(set(p.sim_commands(since=m)), {"LM"})

    def test_stopping_search(self):
        """In STOP mode the search halts on a signal and says "stop" once;
        Space makes the receiver go on, and the next pass stops again."""
        p = self.panel(scenario="search-rate 20\nresume-delay 1\nsignal 145.5 49\n")
        m = p.press("C", clip="stmode")
        p.keys("R")
        p.wait_command("VS", since=m)
        p.wait_clip("stop", since=m, timeout=60)
        stopped = p.mark()
        p.wait_polls(8, since=stopped)
        self.assertEqual(p.clips(since=m).count("stop"), 1, "stop is spoken once")
        self.assertNotIn("<1E>", p.sim_commands(since=m), "a STOP search is not resumed by the panel")
        self.assertEqual(digits(p.clips(since=m)), [], "no count is spoken in STOP mode")

        resume = p.press("Space", command="<1E>")
        # The receiver sweeps on, wraps round and stops on the signal again.
        p.wait_clip("stop", since=resume, timeout=60)

        m = p.press("Enter", clip="ok")
        self.assertEqual(digits(p.clips(since=m)), ["1"])
        self.assertEqual(p.file_lines("bank00.dat"), ["Srchbank", "FM", "12.5", " ", "145.5", " ", "9999"])

    def test_bank_select_browse_scan(self):
        """B 0 5 Enter selects bank 5 and tunes its first entry; Down and Up
        browse with a beep at the first entry; R scans the bank until a signal
        halts it; Enter leaves the scan."""
        p = self.panel(files={"bank05.dat": BANK05})

        m = p.press("B 0 5 Enter", clip="sel", command="ST012.50")  # the sim's log may lag behind the clip
        self.assertEqual(p.sim_commands(since=m, skip=("LM",)), ["VA0145.20000", "MD1", "ST012.50"])
        self.assertEqual(p.clips(since=m), ["bank", "0", "5", "fm", "sel"])

        m = p.press("Down Up Up", command="VA0145.50000")
        self.assertEqual(p.sim_commands(since=m, skip=("LM",)), ["VA0145.80000", "VA0145.20000", "VA0145.50000"])
        self.assertEqual(p.clips(since=m), ["beep"], "a beep when browsing wraps to the first entry")

        m = p.mark()
        p.keys("R")
        p.wait_for(
            lambda: len(p.sim_commands(since=m, skip=("LM",))) >= 9,
            what="the bank scan to step through the bank twice",
        )
        wire = p.sim_commands(since=m, skip=("LM",))
        self.assertEqual(wire[:3], ["VA0145.20000", "MD1", "ST012.50"], "the scan starts at the first entry")
        cycle = ["VA0145.20000", "VA0145.50000", "VA0145.80000"]
        self.assertEqual(wire[3:9], cycle + cycle, "the scan steps through the entries and wraps")
        self.assertIn("scan", p.clips(since=m))

        m = p.mark()
        p.control("signal add 145.5 49")
        p.wait_clip("stop", since=m)
        halted = p.mark()
        self.assertEqual([c for c in p.sim_commands(since=m) if c.startswith("VA")][-1], "VA0145.50000")
        p.wait_polls(5, since=halted)
        self.assertEqual(set(p.sim_commands(since=halted)), {"LM"}, "the scan stays on the signal")

        m = p.press("Enter", command="MD1")
        self.assertEqual(p.sim_commands(since=m, skip=("LM",)), ["VA0145.50000", "MD1"])
        after = p.mark()
        p.wait_polls(5, since=after)
        self.assertEqual(set(p.sim_commands(since=after)), {"LM"}, "the scan has ended")
        self.assertEqual(p.clips(since=m), ["exitscan", "fm"])

    def test_key_during_scan_clip(self):
        """Enter pressed while the bank scan says "scan" after tuning an entry
        ends the scan on that entry: the key is handled before the poll cycle
        steps the scan on."""
        p = self.panel(files={"bank05.dat": BANK05})
        p.press("B 0 5 Enter", command="ST012.50")

        m = p.mark()
        p.keys("R")
        clip, pressed = p.key_during_clip("scan", "Enter", since=m)
        length_ms = harness.wav_seconds(p.build, "scan") * 1000
        self.assertLess(pressed, clip.ms + length_ms, "the test bench pressed Enter too late to test")
        p.wait_command("MD1", since=m, count=2)
        # The scan start tunes the first entry, its first step tunes it again
        # and says "scan"; Enter keeps it.
        self.assertEqual(
            p.sim_commands(since=m, skip=("LM",)),
            ["VA0145.20000", "MD1", "ST012.50", "VA0145.20000", "VA0145.20000", "MD1"],
        )
        self.assertEqual(p.clips(since=m)[-2:], ["exitscan", "fm"])

    def test_receiver_scan(self):
        """G C Enter starts the receiver's scan of its bank C; P passes the
        channel it stopped on; Enter ends the scan and gives the channel back."""
        scenario = "\n".join(
            [
                "scan-rate 20",
                "resume-delay 1",
                'memory C00 145.2 NFM "ONE"',
                'memory C01 145.5 NFM "TWO"',
                'memory C02 145.8 NFM "THREE"',
                "signal 145.5 49",
                "",
            ]
        )
        p = self.panel(scenario=scenario)

        m = p.mark()
        p.keys("G C Enter")
        p.wait_command("MSC", since=m, count=2)
        self.assertEqual(p.sim_commands(since=m, skip=("LM",))[:4], ["LC1", "MAC", "MSC", "MSC"])
        self.assertEqual(p.clips(since=m)[:3], ["radbank", "c", "fm"])

        # The receiver stops on C01 within a channel's time; a few polls
        # later the panel has heard it.
        p.wait_polls(4, since=p.mark())

        m = p.press("P", command="MS")
        self.assertEqual(p.sim_commands(since=m, skip=("LM",))[:3], ["MR", "MP1", "MS"])
        self.assertIn("pass", p.clips(since=m))
        self.assertNotIn("put", p.clips(since=m))

        m = p.press("Enter", command="MD1")
        wire = p.sim_commands(since=m, skip=("LM",))
        self.assertEqual(wire[:2], ["MRC01", "MP0"], "the passed channel is given back")
        # The frequency shown is tuned again (the scan's read-backs may have
        # changed it), then the mode.
        self.assertTrue(wire[2].startswith("VA0145."), wire)
        self.assertEqual(wire[3], "MD1")
        self.assertEqual(p.clips(since=m)[0], "exitscan")

    def test_write_bank_to_receiver(self):
        """W 0 5 A clears receiver bank A; Enter writes bank 5 into it
        channel by channel; the receiver then holds the entries."""
        bank = crlf_lines(
            ["bank05", "FM", "12.5", " ", "145.2", "ONE", "145.5", " ", "433.075", "A VERY LONG LABEL", "9999"]
        )
        old = "".join('memory A%02d 118.%d AM "OLD"\n' % (n, n) for n in range(6))
        p = self.panel(files={"bank05.dat": bank}, scenario=old)

        m = p.press("W 0 5 A", command="MQA%%")
        self.assertEqual(p.sim_commands(since=m, skip=("LM",)), ["MQA%%"])
        self.assertEqual(p.clips(since=m), ["write", "fromb", "0", "5", "torb", "a"])

        m = p.press("Enter", clip="ok", command="MXA02 RF0433075000 ST012500 MD1 TMA VERY LONG ", timeout=60)
        self.assertEqual(
            p.sim_commands(since=m, skip=("LM",)),
            [
                "MXA00 RF0145200000 ST012500 MD1 TMONE         ",
                "MXA01 RF0145500000 ST012500 MD1 TM            ",
                "MXA02 RF0433075000 ST012500 MD1 TMA VERY LONG ",
            ],
        )
        self.assertEqual(p.clips(since=m), ["wait", "ok"])
        self.assertGreaterEqual(p.clips(since=m, pauses=True).count("shdel"), 10 + 7 + 5 + 3)

        self.assertEqual(p.quit(), 0)
        listing = p.query_receiver("MAA", 10)
        channels = {}
        for line in listing:
            match = re.match(r"MX(A\d\d) (.*)$", line)
            self.assertIsNotNone(match, listing)
            channels[match.group(1)] = match.group(2)

        def fields(channel):
            text = channels[channel]
            return (
                re.search(r"RF(\d{10})", text).group(1),
                re.search(r"MD(\d)", text).group(1),
                text.partition(" TM")[2].rstrip(),
            )

        self.assertEqual(fields("A00"), ("0145200000", "1", "ONE"))
        self.assertEqual(fields("A01"), ("0145500000", "1", ""))
        self.assertEqual(fields("A02"), ("0433075000", "1", "A VERY LONG"))
        for channel in ("A03", "A04", "A05"):
            self.assertEqual(channels[channel], "---", "bank A was cleared before the write")

    def test_hangup(self):
        """A hang-up (the terminal the panel was started from closed) ends it
        as Q's shutdown does: EX on the wire, the state record, exit code 0."""
        p = self.panel()
        p.press("F2", command="MD2")
        p.process.send_signal(signal.SIGHUP)
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.sim_commands()[-1], "EX")
        self.assert_state_record(p, "AM", "145.0", "145", "146", "12.5")

    def test_silent_receiver(self):
        """A receiver that never answers: the first key ends the program with
        "rnc"; EX is still sent and the state record written."""
        p = self.panel(sim_args=["--fault", "silence"], connect=False)
        p.wait_clip("attoff")
        p.wait_polls(2)
        self.assertEqual(p.sim_commands()[:4], ["VA0145000000", "MD1", "ST012.50", "AT0"])
        m = p.mark()
        p.keys("F")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.clips(since=m), ["rnc"])
        self.assertNotIn("connected", p.clips())
        self.assertEqual(p.sim_commands()[-1], "EX")
        self.assertEqual(p.debug_log()[-1], "**F")
        self.assertFalse(any(line.startswith("RX=") for line in p.debug_log()))
        self.assert_state_record(p, "FM", "145.0", "145", "146", "12.5")

    def test_no_receiver_port(self):
        """COM1 is a plain file, not a terminal: nothing can be sent; the
        first key ends the program with "rnc" and the state record is written."""
        p = self.panel(sim=False, files={"COM1": "not a terminal\n"}, connect=False)
        p.wait_clip("attoff")
        m = p.mark()
        p.keys("F")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.clips(since=m), ["rnc"])
        self.assertEqual(p.read_file("COM1"), "not a terminal\n", "nothing is written into a file that is no port")
        self.assert_state_record(p, "FM", "145.0", "145", "146", "12.5")

    def test_missing_configuration(self):
        """Without TALVARO.CFG the panel says "cfnf" and ends with exit code
        0; it opens no port and leaves bank00.dat as it was."""
        record = crlf_lines([STATE_BANNER + "  01-02-2026  03:04:05", "AM", "146.5", "144", "148", "25", "9999"])
        p = self.panel(config=False, files={"bank00.dat": record}, find_window=False, connect=False)
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.clips(pauses=True), ["cfnf"])
        self.assertEqual(p.sim_commands(), [], "nothing is sent")
        self.assertEqual(p.read_file("bank00.dat"), record, "the last state record is kept")
        self.assertFalse(p.exists("debug1.dat"))


if __name__ == "__main__":
    sys.exit(harness.run_scenarios(sys.modules[__name__]))

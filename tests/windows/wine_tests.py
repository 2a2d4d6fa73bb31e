"""Tests of the Windows build under wine (a prefix in the Windows build folder):
the core tests, the Win32 display and events (win32_probe.exe),
talvaro-e2e.exe against the simulator, beside the Linux build for the same keys,
and the installer with the installed programs against the simulator.

    wine_tests.py --windows-build build-windows --build build [--keep] [Test.test_name]
"""

import argparse
import dataclasses
import getpass
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

SETTINGS = {"windows_build": "build-windows"}
# A spinning program uses a whole processor; an idle one a few per cent,
# wine's own threads included.
IDLE_CPU_SHARE = 0.3
# The stty words of the line format and speed.
LINE_WORDS = {"parenb", "parodd", "cs5", "cs6", "cs7", "cs8", "cstopb", "1200", "2400", "4800", "9600", "19200", "38400"}


def wine_environment():
    prefix = os.path.join(os.path.abspath(SETTINGS["windows_build"]), "wineprefix")
    # No menu entries on the Linux desktop for the shortcuts the installer makes.
    return {"WINEPREFIX": prefix, "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d", "WINEDEBUG": "-all"}


def wine_tool(*arguments, check=False, **options):  # in the tests' prefix, made on first use
    environment = dict(os.environ, **wine_environment())
    if not os.path.isfile(os.path.join(environment["WINEPREFIX"], "system.reg")):
        subprocess.run(["wineboot", "-i"], env=environment, capture_output=True, timeout=300, check=True)
        subprocess.run(["wineserver", "-w"], env=environment, timeout=300)
    return subprocess.run(list(arguments), env=environment, capture_output=True, timeout=120, check=check, **options)


def end_wine():  # the prefix's wine server and every program it runs
    wine_tool("wineserver", "-k")


def windows_program(*parts):
    return os.path.join(os.path.abspath(SETTINGS["windows_build"]), *parts)


def drive_c(*parts):
    return os.path.join(wine_environment()["WINEPREFIX"], "drive_c", *parts)


class WinePanel(harness.Panel):
    """talvaro-e2e.exe under wine, the simulator's terminal as COM1 of the prefix, the Linux build's clips."""

    def __init__(self, build=None, exe=None, **options):
        super().__init__(build or harness.SETTINGS["build"], **options)
        self.exe = exe or windows_program("talvaro-e2e.exe")
        self.program = self.path("talvaro-under-wine")
        with open(self.program, "w") as script:
            script.write('#!/bin/sh\nexec wine "%s"\n' % self.exe)
        os.chmod(self.program, 0o755)
        self.environment.update(wine_environment())

    def check_build(self):
        if not os.path.isfile(self.exe):
            return "no %s (scripts/build-windows.sh talvaro-e2e)" % self.exe
        return super().check_build()

    def prepare(self):
        super().prepare()
        if self.exe.endswith("e2e.exe"):  # an installed program brings its clips
            os.symlink(os.path.join(self.build, "wave"), self.path("wave"))
        self.terminal = os.readlink(self.path("COM1"))
        self.found_settings = self.line_settings()
        wine_tool("wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/d", self.terminal, "/f", check=True)
        # The port mapping is read when the server starts.
        end_wine()

    def line_settings(self):  # speed, parity, character size and stop bits, as stty words
        said = subprocess.run(["stty", "-F", self.terminal, "-a"], capture_output=True, text=True, check=True).stdout
        return [word for word in said.replace(";", " ").split() if word.lstrip("-") in LINE_WORDS]

    def clip_records(self, since=harness.START):
        # Clip paths come with backslashes from Windows.
        return [dataclasses.replace(clip, name=clip.name.rsplit("\\", 1)[-1]) for clip in super().clip_records(since)]

    def close(self, grace=5.0):
        super().close(grace)
        end_wine()


class Panel(harness.PanelTestCase):
    PANEL, CONNECT_SECONDS = WinePanel, 90
    KEYS = [("1 4 6 . 5 Enter", "ST012.50"), ("F2", "MD2"), ("F1", "MD1")]

    def run_keys(self, panel):
        """The keys, then Q: the wire and the debug log without level polls, and bank00.dat."""
        for keys, command in self.KEYS:
            panel.press(keys, command=command)
        self.assertEqual(panel.quit(), 0)
        debug = [line for line in panel.debug_log()[1:] if line not in ("TX= LM",) and not line.startswith("RX= LM")]
        return panel.sim_commands(skip=("LM",)), debug, panel.read_file("bank00.dat")

    def test_keys_bank_file_and_wire_as_on_linux(self):
        """A typed frequency, F2, F1, Q: wire, debug log and bank00.dat as on Linux; the next start restores them."""
        p = self.panel()
        wire = p.sim_commands()
        self.assertEqual(wire[:5], ["VA0145000000", "MD1", "ST012.50", "AT0", "LM"])
        self.assertEqual(p.clips()[:4], ["talvaro", "4", "point", "1"])
        on_windows = self.run_keys(p)
        # Enter's pause between VA and ST is a clip heard to its end (150 ms),
        # also with no sound device.
        wire = [command for command in p.sim_command_records() if command.text != "LM"]
        pairs = zip(wire, wire[1:])
        gaps = [b.seconds - a.seconds for a, b in pairs if (a.text, b.text) == ("VA0146.50000", "ST012.50")]
        self.assertGreaterEqual(max(gaps), 0.145)

        on_linux = self.run_keys(self.panel(kind=harness.Panel))

        self.assertEqual(on_windows[0], on_linux[0], "wire")
        self.assertEqual(on_windows[1], on_linux[1], "debug log")
        bank, linux_bank = on_windows[2], on_linux[2]
        self.assertRegex(bank.split("\r\n")[0], harness.STATE_FIRST_LINE)
        self.assertEqual(bank.split("\r\n")[1:], linux_bank.split("\r\n")[1:], "bank00.dat")
        self.assertEqual(bank.split("\r\n")[1:], ["FM", "146.5", "145", "146", "12.5", "9999", ""])

        m = p.mark()
        p.start_panel()
        p.wait_connected(timeout=90)
        self.assertEqual(p.sim_commands(since=m)[:4], ["VA0146.50000", "MD1", "ST012.50", "AT0"])

    def test_line_settings_levels_and_hangup(self):
        """The port set to 19200 8N2 and given back at the end; level polls answered; after a
        hang-up in a second run, keys still answered without spinning and Q still ends it."""
        p = self.panel(config=harness.config_text(baud="19200"))
        self.assertEqual(p.line_settings(), ["19200", "-parenb", "-parodd", "cs8", "cstopb"])
        p.wait_debug("RX= LM%000", count=2)
        self.assertEqual(p.quit(), 0)
        self.assertEqual(p.line_settings(), p.found_settings)

        p.start_panel()
        p.wait_connected(timeout=90)
        p.control("fault hangup")
        mark, cpu, start = p.mark(), p.cpu_seconds(), time.monotonic()
        p.wait_debug("TX= LM", since=mark, count=10)
        share = (p.cpu_seconds() - cpu) / (time.monotonic() - start)
        sys.stderr.write("\n  processor share after the hang-up: %.3f\n" % share)
        self.assertLess(share, IDLE_CPU_SHARE)
        dead = p.mark()
        p.press("F", clip="fm")
        self.assertEqual(p.quit(), 0)
        self.assertEqual(p.sim_commands(since=dead), [], "nothing reaches the receiver over the dead line")

    def test_session_end(self):
        """The session's end (wineboot --end-session) ends the panel as Q does: EX last, state saved."""
        p = self.panel()
        p.press("F2", command="MD2")
        wine_tool("wine", "wineboot", "--end-session")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.sim_commands()[-1], "EX")
        self.assertEqual(p.file_lines("bank00.dat")[1:], ["AM", "145.0", "145", "146", "12.5", "9999"])

    def test_port_that_does_not_exist(self):
        """COM9, which the prefix lacks: nothing goes out, the first key ends it with "rnc", state saved."""
        p = self.panel(config=harness.config_text(port="COM9"), connect=False)
        p.wait_clip("attoff")
        m = p.mark()
        p.keys("F")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.clips(since=m), ["rnc"])
        self.assertEqual(p.sim_commands(), [])
        self.assertEqual(p.file_lines("bank00.dat")[1:], ["FM", "145.0", "145", "146", "12.5", "9999"])


class Installed(unittest.TestCase):
    def test_install_setup_panel_and_uninstall(self):
        """The installed setup and panel in Documents\\Talvaro against the simulator; the uninstaller leaves it."""
        self.addCleanup(end_wine)
        user, source = drive_c("users", getpass.getuser()), os.path.join(os.path.dirname(__file__), "..", "..")
        programs, working = drive_c("Program Files", "Talvaro"), os.path.join(user, "Documents", "Talvaro")
        menu = os.path.join(user, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs", "Talvaro")
        if os.path.islink(os.path.dirname(working)):  # wine's link to $HOME: the tests keep to the prefix
            os.remove(os.path.dirname(working))
        os.makedirs(os.path.dirname(working), exist_ok=True)  # as on Windows, Documents is there
        shutil.rmtree(working, ignore_errors=True)
        installer = max(glob.glob(os.path.join(source, "dist", "talvaro-*-windows-x64-setup.exe")), key=os.path.getmtime)
        wine_tool("wine", installer, "/S", check=True)
        wine_tool("wineserver", "-w")
        for name in ("talvaro.exe", "talvaro-setup.exe", "uninstall.exe", "README.TXT", "wave/shdel.wav"):
            self.assertTrue(os.path.isfile(os.path.join(programs, name)), name)
        for entry in ("Talvaro.lnk", "Talvaro setup.lnk"):  # both start in the working folder
            self.assertIn("\\Documents\\Talvaro".encode("utf-16-le").decode("latin-1"), harness.read_text(os.path.join(menu, entry)))

        p = WinePanel(exe=os.path.join(programs, "talvaro.exe"), folder=working)
        self.addCleanup(p.close)
        p.prepare()
        os.remove(p.path("TALVARO.CFG"))
        setup = os.path.join(programs, "talvaro-setup.exe")
        self.assertIn("1 COM1", wine_tool("wine", setup, "--list", cwd=working).stdout.decode())
        for baud in ("19200", "9600"):  # found at the receiver's speed
            p.control("baud " + baud)
            wrote = wine_tool("wine", setup, "--detect", "--write", cwd=working)
            self.assertEqual((wrote.returncode, p.read_file("TALVARO.CFG")), (0, harness.config_text(baud=baud, debug="0")))
        # The window: V turns the voice off, W writes and leaves.
        window = harness.start_child(["wine", setup], cwd=working, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     env=dict(os.environ, DISPLAY=p.xvfb.display, **wine_environment()))
        self.addCleanup(harness.stop_process, window)
        found = p.wait_for(lambda: p.xdotool("search", "--onlyvisible", "--name", "Talvaro Setup"), "the setup window")
        p.xdotool("windowfocus", "--sync", found.split()[-1], check=True)
        p.xdotool("key", "--delay", "200", "v", "w", check=True)
        self.assertEqual((window.wait(timeout=60), p.file_lines("TALVARO.CFG")[3]), (0, "VOICE=0"))

        p.start_panel()
        p.wait_for(p.sim_commands, "the first bytes on the wire", timeout=90)
        self.assertEqual(p.quit(), 0)
        wine_tool("wine", os.path.join(programs, "uninstall.exe"), "/S", check=True)
        wine_tool("wineserver", "-w")
        self.assertFalse(os.path.exists(programs) or os.path.exists(menu))
        self.assertEqual((p.file_lines("bank00.dat")[-1], p.file_lines("TALVARO.CFG")[3]), ("9999", "VOICE=0"))


class Core(unittest.TestCase):
    # POSIX file systems only: symbolic links, mode bits, and the found clip's spelling (a
    # file system without letter case finds "FM.wav" under the name asked for).
    POSIX_ONLY = [
        "BankFile.SaveReplacesOnlyWritableTargetsAndSavesThroughLinks",
        "BankOps.FailedSavesSayInvAndLeaveTheFileWhole",
        "Voice.FindsClipsRemembersThemAndSkipsBrokenOnes",
    ]

    def test_core_tests_pass_on_the_windows_runtime(self):
        """talvaro_tests.exe: the core's unit and scenario tests on the Windows C runtime."""
        self.addCleanup(end_wine)
        program = windows_program("tests", "talvaro_tests.exe")
        run = wine_tool("wine", program, "--gtest_brief=1", "--gtest_filter=-" + ":".join(self.POSIX_ONLY))
        output = run.stdout.decode("latin-1")
        sys.stderr.write(output[-400:])
        self.assertEqual(run.returncode, 0, output[-4000:])
        self.assertIn("[  PASSED  ]", output)


class Layer(unittest.TestCase):
    """win32_probe.exe: window, text, key presses, ticks merged while busy, the close request."""

    KEYS = ["0", "9", "a", "q", "z", "F1", "F7", "Up", "Down", "Left", "Right", "Prior", "Next", "Return", "space"]
    CODES = [48, 57, 65, 81, 90, 112, 118, 38, 40, 37, 39, 33, 34, 13, 32]

    def test_window_text_keys_timer_and_close(self):
        folder = tempfile.mkdtemp(prefix="talvaro-win32-")
        if not harness.SETTINGS["keep"]:
            self.addCleanup(shutil.rmtree, folder, True)
        xvfb = harness.Xvfb(folder)
        xvfb.start()
        self.addCleanup(xvfb.stop)
        self.addCleanup(end_wine)
        wine_tool("true")  # the prefix, before the clock starts
        output = harness.Log(os.path.join(folder, "probe.out"))
        with open(output.path, "wb") as sink:
            probe = harness.start_child(
                ["wine", windows_program("tests", "windows", "win32_probe.exe")], cwd=folder, stdout=sink,
                stderr=subprocess.DEVNULL, env=dict(os.environ, DISPLAY=xvfb.display, **wine_environment()))
        self.addCleanup(harness.stop_process, probe)

        def wait_line(line):  # waits for a line of the probe holding the words; how many it has written
            deadline = time.monotonic() + 60
            while not any(line in said for said in output.read()):
                self.assertLess(time.monotonic(), deadline, "probe said %r, not %r" % (output.read(), line))
                self.assertIsNone(probe.poll(), "the probe ended: %r" % output.read())
                time.sleep(harness.POLL_SECONDS)
            return len(output.read())

        def xdotool(*arguments):
            return harness.xdotool(xvfb.display, *arguments, check=True)

        wait_line("ready")
        window = xdotool("search", "--onlyvisible", "--name", "Talvaro layer probe").split()[-1]
        geometry = xdotool("getwindowgeometry", window)
        self.assertIn("Position: 250,100", geometry)
        self.assertIn("Geometry: 950x500", geometry)
        # "88" in red at (100, 100) of the client area, on white.
        image = harness.screenshot(xvfb.display, "root")
        self.assertGreater(len(image.points(350, 200, 500, 280, harness.is_red)), 100)
        self.assertGreater(len(image.points(350, 200, 500, 280, lambda rgb: rgb == (255, 255, 255))), 100)

        xdotool("windowfocus", "--sync", window)
        start = len(output.read())
        xdotool("key", "--delay", "50", *self.KEYS)
        wait_line("down 32")
        downs = [int(word) for line in output.read()[start:] for word in line.split() if word.isdigit()]
        self.assertEqual(downs, self.CODES)

        # Busy with the timer running: the keys pressed meanwhile come first,
        # then one tick for all the periods that passed; "77" shows at once.
        xdotool("key", "t")
        busy = wait_line("busy")
        self.assertGreater(len(harness.screenshot(xvfb.display, "root").points(650, 200, 800, 280, harness.is_blue)), 100)
        xdotool("key", "k")
        open(os.path.join(folder, "go"), "w").close()
        wait_line("down 75 up tick")
        self.assertNotIn("tick tick", " ".join(output.read()[busy:]))

        xdotool("key", "alt+F4")
        self.assertEqual(probe.wait(timeout=30), 0)
        self.assertIn("close", output.read()[-1])


if __name__ == "__main__":
    options = argparse.ArgumentParser(add_help=False)
    options.add_argument("--windows-build", default="build-windows")
    known, sys.argv[1:] = options.parse_known_args()
    SETTINGS["windows_build"] = known.windows_build
    if shutil.which("wine") is None:
        print("SKIPPED: the Windows tests need wine (scripts/install-deps.sh installs it)")
        sys.exit(77)
    sys.exit(harness.run_scenarios(sys.modules[__name__]))

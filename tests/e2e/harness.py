"""Harness of the end-to-end tests and the benchmark: a `Panel` is one run of
build/talvaro-e2e in a fresh folder and its own Xvfb, keys typed by xdotool,
the simulator linked as COM1; every wait polls a condition with a deadline."""

import argparse
import ctypes
import dataclasses
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import wave

CAPTION = "*** AR8600 Talvaro Front Panel v4.1b***"
DEFAULT_TIMEOUT = 30.0
POLL_SECONDS = 0.05
# The first line of a state record: banner, date and time.
STATE_FIRST_LINE = re.compile(r"^\*\*\* Talvaro V 4\.1b \*\*\*  \d\d-\d\d-\d{4}  \d\d:\d\d:\d\d$")
# Key names as xdotool knows them. Letters go lower case: an upper-case keysym
# would hold Shift, and the panel ignores a key pressed while another is held.
KEY_NAMES = {".": "period", "Enter": "Return", "Space": "space", "PageUp": "Prior", "PageDown": "Next"}
# Where the scenarios run: set from the command line by run_scenarios.
SETTINGS = {"build": "build", "keep": False, "work_dir": None}


def missing_tools():
    return [tool for tool in ("Xvfb", "xdotool") if shutil.which(tool) is None]


def xdotool(display, *arguments, check=False):
    result = subprocess.run(["xdotool", *arguments], env=dict(os.environ, DISPLAY=display), capture_output=True,
                            text=True, timeout=30)
    if result.returncode != 0 and check:
        raise AssertionError("xdotool %s failed: %s" % (" ".join(arguments), result.stderr))
    return result.stdout if result.returncode == 0 else None


def screenshot(display, window):
    """The window as an Image (a binary PPM of 8 bits a sample from import)."""
    data = subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"], env=dict(os.environ, DISPLAY=display),
                          capture_output=True, timeout=30, check=True).stdout
    header = re.match(rb"P6\s+(?:#[^\n]*\n\s*)*(\d+)\s+(\d+)\s+255\s", data)
    width, height = int(header.group(1)), int(header.group(2))
    return Image(width, height, data[header.end() : header.end() + 3 * width * height])


def wav_seconds(build, clip):
    with wave.open(os.path.join(build, "wave", clip + ".wav"), "rb") as recording:
        return recording.getnframes() / recording.getframerate()


def crlf_lines(lines):
    return "".join(line + "\r\n" for line in lines)


def config_text(port="COM1", baud="9600", voice="1", debug="1"):
    return crlf_lines(["PRT=" + port, "BAUDR=" + baud, "MODEL=AR8600", "VOICE=" + voice, "DEBUG=" + debug])


@dataclasses.dataclass(frozen=True)
class Command:
    seconds: float  # since the simulator started
    text: str  # as received, without the CR; byte 30 is "<1E>"


@dataclasses.dataclass(frozen=True)
class Clip:
    ms: int  # monotonic clock of the panel
    wait: bool
    name: str  # file name without folder and ".wav", lower case


def clip_record(line):
    parts = line.split(" ", 2)
    if len(parts) != 3:
        return None
    name = os.path.basename(parts[2]).lower()
    return Clip(int(parts[0]), parts[1] == "wait", name[:-4] if name.endswith(".wav") else name)


class Log:
    """Whole lines another process appends, read incrementally; parse makes each a record (None: left out)."""

    def __init__(self, path, parse=str):
        self.path, self.parse = path, parse
        self.offset, self.pending, self.records = 0, "", []

    def read(self):
        try:
            with open(self.path, "rb") as file:
                file.seek(self.offset)
                data = file.read()
        except FileNotFoundError:
            return self.records
        self.offset += len(data)
        text = self.pending + data.decode("latin-1")
        cut = len(text) - 1 if text.endswith("\r") else len(text)  # CR LF may be split
        *complete, last = re.split(r"\r\n|\n|\r", text[:cut])
        self.records += [record for record in map(self.parse, complete) if record is not None]
        self.pending = last + text[cut:]
        return self.records


@dataclasses.dataclass(frozen=True)
class Mark:  # a point in the run: later queries can look only at what came after
    commands: int
    clips: int
    debug: int = 0


START = Mark(0, 0, 0)


@dataclasses.dataclass(frozen=True)
class Image:
    width: int
    height: int
    rgb: bytes

    def points(self, left, top, right, bottom, wanted):
        return {
            (x, y)
            for y in range(max(top, 0), min(bottom, self.height))
            for x in range(max(left, 0), min(right, self.width))
            if wanted(tuple(self.rgb[3 * (y * self.width + x) : 3 * (y * self.width + x) + 3]))
        }


def is_blue(rgb):
    return rgb[2] >= 200 and rgb[0] <= 80 and rgb[1] <= 80


def is_red(rgb):
    return rgb[0] >= 200 and rgb[1] <= 80 and rgb[2] <= 80


def read_text(path):
    try:
        with open(path, "rb") as file:
            return file.read().decode("latin-1")
    except FileNotFoundError:
        return None


def cpu_seconds(pid):
    """utime and stime of /proc/PID/stat, counted after the command name."""
    with open("/proc/%d/stat" % pid, "rb") as file:
        fields = file.read().decode("latin-1").rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def _die_with_parent():  # SIGTERM when the test process dies; SIGHUP as from a terminal
    signal.signal(signal.SIGHUP, signal.SIG_DFL)
    try:
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def start_child(arguments, **options):
    return subprocess.Popen(arguments, preexec_fn=_die_with_parent, **options)


def stop_process(process, grace=5.0):  # SIGTERM, then SIGKILL
    if process is not None and process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class Xvfb:
    """An X server of its own, which picks a free display and reports it through -displayfd once ready."""

    def __init__(self, folder):
        self.process = self.display = None
        self.log = open(os.path.join(folder, "xvfb.log"), "wb")

    def start(self, timeout=20.0):
        read_end, write_end = os.pipe()
        # -noreset: a program started again finds the server ready at once.
        self.process = start_child(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten",
                                    "tcp", "-noreset"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                                   stdout=self.log, stderr=self.log)
        os.close(write_end)
        reported, deadline = b"", time.monotonic() + timeout
        while not reported.endswith(b"\n") and select.select([read_end], [], [], max(deadline - time.monotonic(), 0))[0]:
            if not (chunk := os.read(read_end, 16)):
                break
            reported += chunk
        os.close(read_end)
        if not reported.strip().isdigit():
            raise RuntimeError("no X server could be started (see xvfb.log)")
        self.display = ":" + reported.strip().decode()

    def stop(self):
        stop_process(self.process)
        self.log.close()


class Panel:
    """One run of the panel against the simulator. files: name -> text written
    first; config: TALVARO.CFG; scenario: simulator directives; environment:
    over the usual (None unsets); folder: the working folder (emptied, kept)."""

    def __init__(self, build, files=None, config=None, scenario=None, environment=None, keep=False, folder=None):
        self.build = os.path.abspath(build)
        self.program = os.path.join(self.build, "talvaro-e2e")
        self.simulator = os.path.join(self.build, "ar8600-sim")
        self.keep = keep or folder is not None
        self.folder = os.path.abspath(folder or tempfile.mkdtemp(prefix="talvaro-e2e-"))
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        self.files = dict(files or {})
        self.config = config_text() if config is None else config
        self.scenario = scenario
        self.environment = dict({"SDL_VIDEODRIVER": "x11", "SDL_AUDIODRIVER": "dummy"}, **(environment or {}))
        self.xvfb = self.sim_process = self.process = None
        self.runs = 0
        self._outputs = []
        self.sim = Log(self.path("sim.log"), lambda line: Command(float(line.partition(" ")[0]), line.partition(" ")[2]))
        self._start_logs()

    def path(self, name):
        return os.path.join(self.folder, name)

    def check_build(self):
        for path, missing in ((self.program, "build talvaro-e2e"), (self.simulator, "build ar8600-sim"),
                              (os.path.join(self.build, "wave", "shdel.wav"), "configure with TALVARO_BUILD_CLIPS=ON")):
            if not os.path.isfile(path):
                return "no %s (%s)" % (path, missing)
        return None

    def prepare(self):
        assert not self.check_build(), self.check_build()
        for name, text in dict(self.files, **{"TALVARO.CFG": self.config}).items():
            self.write_file(name, text)
        self.xvfb = Xvfb(self.folder)
        self.xvfb.start()
        arguments = [self.simulator, "--link", self.path("COM1"), "--log", self.sim.path, "--control", self.path("sim.control")]
        if self.scenario is not None:
            self.write_file("sim.scenario", self.scenario)
            arguments += ["--scenario", self.path("sim.scenario")]
        self.sim_process = start_child(arguments, cwd=self.folder, **self._output("sim.out"))
        self.wait_for(lambda: os.path.islink(self.path("COM1")) and os.path.exists(self.sim.path),
                      what="the simulator's terminal link", timeout=15, check_panel=False)

    def start(self, find_window=True):
        self.prepare()
        self.start_panel(find_window)

    def _output(self, name):
        output = open(self.path(name), "ab")
        self._outputs.append(output)
        return dict(stdin=subprocess.DEVNULL, stdout=output, stderr=output)

    def _start_logs(self):
        self.clip_log = Log(self.path("clips.log"), clip_record)
        self.debug = Log(self.path("debug1.dat"))

    def start_panel(self, find_window=True):
        """Starts (or starts again) the panel, the last run's logs moved aside first."""
        self.runs += 1
        for log in (self.clip_log, self.debug):
            if os.path.exists(log.path):
                os.replace(log.path, "%s.run%d" % (log.path, self.runs - 1))
        self._start_logs()
        environment = dict(os.environ, DISPLAY=self.xvfb.display, **self.environment)
        environment = {name: value for name, value in environment.items() if value is not None}
        for attempt in range(3):
            start = os.path.getsize(self.path("panel.out")) if os.path.exists(self.path("panel.out")) else 0
            self.process = start_child([self.program], cwd=self.folder, env=environment, **self._output("panel.out"))
            if not find_window:
                return
            try:
                self.wait_for(self.find_window, what="the panel window", timeout=20)
                return
            except AssertionError:
                # An X server under load now and then refuses a new client:
                # the test bench's fault, so the start is tried again.
                said = (read_text(self.path("panel.out")) or "")[start:]
                if attempt == 2 or "cannot open the display" not in said or not self.xdotool("getdisplaygeometry"):
                    raise

    def find_window(self):
        found = self.xdotool("search", "--onlyvisible", "--name", "AR8600 Talvaro Front Panel")
        for window in reversed((found or "").split()):
            if (self.xdotool("getwindowname", window) or "").rstrip("\n") == CAPTION:
                return window
        return None

    def current_window(self):
        return self.find_window() or self.fail("the panel window is gone")

    def fail(self, what):
        raise AssertionError("%s\n%s" % (what, self.describe()))

    def close(self, grace=5.0):
        stop_process(self.process, grace)
        stop_process(self.sim_process)
        if self.xvfb is not None:
            self.xvfb.stop()
        for output in self._outputs:
            output.close()
        if not self.keep:
            shutil.rmtree(self.folder, ignore_errors=True)

    def write_file(self, name, text):
        with open(self.path(name), "wb") as file:
            file.write(text.encode("latin-1"))

    def read_file(self, name):
        return read_text(self.path(name))

    def file_lines(self, name):
        text = self.read_file(name)
        return re.split(r"\r\n|\n|\r", text[:-2] if text.endswith("\r\n") else text.rstrip("\r\n")) if text else []

    def sim_command_records(self, since=START):
        return [command for command in self.sim.read() if not command.text.startswith("# ")][since.commands :]

    def sim_commands(self, since=START, skip=()):
        return [command.text for command in self.sim_command_records(since) if command.text not in skip]

    def clip_records(self, since=START):
        return self.clip_log.read()[since.clips :]

    def clips(self, since=START, pauses=False):
        return [clip.name for clip in self.clip_records(since) if pauses or clip.name != "shdel"]

    def debug_log(self, since=START):
        return self.debug.read()[since.debug :]

    def mark(self):
        return Mark(len(self.sim_commands()), len(self.clip_records()), len(self.debug_log()))

    def cpu_seconds(self):
        return cpu_seconds(self.process.pid)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def screenshot(self):
        return screenshot(self.xvfb.display, self.current_window())

    def xdotool(self, *arguments, check=False):
        return xdotool(self.xvfb.display, *arguments, check=check)

    def focus(self):
        for attempt in range(3):
            window = self.current_window()
            if self.xdotool("windowfocus", "--sync", window, check=attempt == 2) is not None:
                return window

    def keys(self, sequence):
        """Types key names ("1 . Enter F2"), 200 ms apart; the panel takes at most ten keys ahead."""
        names = [KEY_NAMES.get(name, name.lower() if len(name) == 1 else name) for name in sequence.split()]
        if not self.running():
            self.fail("keys %r: the panel is not running" % sequence)
        self.xdotool("key", "--window", self.focus(), "--delay", "200", *names, check=True)

    def press(self, sequence, clip=None, command=None, timeout=DEFAULT_TIMEOUT):
        mark = self.mark()
        self.keys(sequence)
        if clip is not None:
            self.wait_clip(clip, since=mark, timeout=timeout)
        if command is not None:
            self.wait_command(command, since=mark, timeout=timeout)
        return mark

    def key_during_clip(self, name, key, since=START, timeout=DEFAULT_TIMEOUT):
        """Presses the key as soon as the clip starts; the clip's record and when the press was sent (ms)."""
        window = self.focus()
        deadline = time.monotonic() + timeout
        while not any(clip.name == name for clip in self.clip_records(since)):
            if time.monotonic() > deadline or not self.running():
                self.fail("clip %r did not start" % name)
            time.sleep(0.002)
        self.xdotool("key", "--window", window, KEY_NAMES.get(key, key), check=True)
        return next(clip for clip in self.clip_records(since) if clip.name == name), time.monotonic() * 1000

    def send_control(self, line):
        descriptor = os.open(self.path("sim.control"), os.O_WRONLY | os.O_NONBLOCK)
        try:
            os.write(descriptor, (line + "\n").encode())
        finally:
            os.close(descriptor)

    def control(self, line, timeout=10):
        before = len(self.sim.read())
        self.send_control(line)
        self.wait_for(lambda: any(entry.text.startswith("# " + line) for entry in self.sim.read()[before:]),
                      what="the simulator to take %r" % line, timeout=timeout, check_panel=False)

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail("the panel did not end within %d s" % timeout)

    def quit(self, timeout=DEFAULT_TIMEOUT):
        self.keys("Q")
        return self.wait_exit(timeout)

    def wait_for(self, condition, what, timeout=DEFAULT_TIMEOUT, check_panel=True):
        """Polls condition until true and returns its value; fails when the time is up or (check_panel) the panel ended."""
        deadline = time.monotonic() + timeout
        while not (value := condition()):
            ended = check_panel and self.process is not None and self.process.poll() is not None
            if ended or time.monotonic() > deadline:
                if value := condition():
                    break
                self.fail("%s waiting for %s" % ("the panel ended" if ended else "timed out", what))
            time.sleep(POLL_SECONDS)
        return value

    def _wait_count(self, items, item, count, what, timeout):
        self.wait_for(lambda: items().count(item) >= count, "%s %r (%d times)" % (what, item, count), timeout)

    def wait_clip(self, name, since=START, count=1, timeout=DEFAULT_TIMEOUT):
        self._wait_count(lambda: self.clips(since, pauses=True), name, count, "clip", timeout)

    def wait_command(self, text, since=START, count=1, timeout=DEFAULT_TIMEOUT):
        self._wait_count(lambda: self.sim_commands(since), text, count, "command on the wire", timeout)

    def wait_polls(self, count, since=START, timeout=DEFAULT_TIMEOUT):
        self.wait_command("LM", since, count, timeout)

    def wait_debug(self, line, since=START, count=1, timeout=DEFAULT_TIMEOUT):
        self._wait_count(lambda: self.debug_log(since), line, count, "debug log line", timeout)

    def wait_connected(self, timeout=60):
        self.wait_clip("connected", timeout=timeout)
        self.wait_polls(1, since=self.mark())

    def describe(self):  # what the run has done so far, for failure messages
        outputs = ["%s: %s" % (name, (read_text(self.path(name)) or "")[-400:]) for name in ("panel.out", "sim.out")]
        return "\n  ".join(["  folder: " + self.folder, "running: %s" % self.running(),
                             "wire: " + " ".join(self.sim_commands(skip=("LM",))[-25:]),
                             "clips: " + " ".join(self.clips()[-25:]), "debug: " + " | ".join(self.debug_log()[-15:])]
                            + outputs)


class PanelTestCase(unittest.TestCase):
    PANEL, CONNECT_SECONDS = None, 60

    def panel(self, connect=True, kind=None, **options):
        """A panel for this test (kind: a Panel class), stopped at its end; with connect, once it has heard the receiver."""
        kind = kind or self.PANEL or Panel
        name = self._testMethodName + ("" if kind is Panel else "-" + kind.__name__.lower())
        folder = os.path.join(SETTINGS["work_dir"], name) if SETTINGS["work_dir"] else None
        panel = kind(SETTINGS["build"], keep=SETTINGS["keep"], folder=folder, **options)
        self.addCleanup(panel.close)
        panel.start()
        if connect:
            panel.wait_connected(timeout=self.CONNECT_SECONDS)
        return panel

    def assert_state_record(self, panel, mode, frequency, low, high, step):
        lines = panel.file_lines("bank00.dat")
        self.assertRegex(lines[0] if lines else "", STATE_FIRST_LINE)
        self.assertEqual(lines[1:], [mode, frequency, low, high, step, "9999"])
        self.assertTrue(panel.read_file("bank00.dat").endswith("9999\r\n"), "lines end with CR LF")


def run_scenarios(module):
    """Runs a module's scenarios from the command line: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool)."""
    parser = argparse.ArgumentParser(description=module.__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="the build folder (talvaro-e2e, ar8600-sim, wave/)")
    parser.add_argument("--keep", action="store_true", help="keep the temporary working folders")
    parser.add_argument("--work-dir", help="run each scenario in WORK_DIR/<test name>, emptied first and kept")
    arguments, rest = parser.parse_known_args()
    SETTINGS.update(build=arguments.build, keep=arguments.keep, work_dir=arguments.work_dir)
    if missing_tools():
        print("SKIPPED: the end-to-end tests need %s (scripts/install-deps.sh installs them)" % ", ".join(missing_tools()))
        return 77
    program = unittest.main(module=module, argv=[sys.argv[0], *rest], exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1

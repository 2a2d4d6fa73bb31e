#!/usr/bin/env python3
"""Benchmark of the real panel against the receiver simulator.

Starts its own Xvfb, the simulator and the panel (build/talvaro-e2e, which
records every clip it plays in clips.log) in a temporary folder, through the
harness of the end-to-end tests (tests/e2e/harness.py), waits for the
connection, then measures and prints, in one run:

  - key to voice: a key press to the start of its first clip;
  - key to wire: a key press to its command at the simulator;
  - poll period: the interval between successive "LM" at the simulator;
  - idle cost: processor time and resident memory of the panel while idle;
  - start-up: process start to the window shown and to the first "LM".

Figures only: it never passes or fails. It exits 0 when it could run (even if
aims are not met), 2 when something it needs is missing.

All times are on CLOCK_MONOTONIC: Python's time.monotonic(), the panel's
steady_clock stamps in clips.log, and the simulator's log, whose stamps count
from the simulator's own start and are put on the same clock by writing
comment lines into its control FIFO at known times.

Build first:  cmake -S . -B build -G Ninja && cmake --build build -j2
Run:          bench/run-bench.py            (about five minutes)
"""

import argparse
import ctypes
import ctypes.util
import datetime
import math
import os
import platform
import random
import re
import select
import signal
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

WINDOW_NAME_PART = b"Talvaro Front Panel"
POLL_DESIGN_MS = 300.0  # three 100 ms ticks per level poll
# Keys are dispatched only at a tick in the poll cycle's idle state, so a key
# waits between 0 and one whole poll cycle for its tick: 150 ms on average.
KEY_MEDIAN_AIM_MS = 200.0
# At most one poll cycle, with the same 10 % allowance as the poll period.
KEY_P99_AIM_MS = POLL_DESIGN_MS * 1.1


class BenchError(Exception):
    """Something the benchmark needs is missing or did not start."""


# ---------------------------------------------------------------- statistics


def percentile(values, fraction):
    """Nearest-rank percentile: the smallest value with at least that share
    of the values at or below it."""
    ordered = sorted(values)
    if not ordered:
        return None
    rank = max(1, math.ceil(fraction * len(ordered)))
    return ordered[rank - 1]


def median(values):
    return statistics.median(values) if values else None


# ---------------------------------------------------------------- SDL audio through ctypes


class SDLAudioSpec(ctypes.Structure):
    _fields_ = [
        ("freq", ctypes.c_int),
        ("format", ctypes.c_uint16),
        ("channels", ctypes.c_uint8),
        ("silence", ctypes.c_uint8),
        ("samples", ctypes.c_uint16),
        ("padding", ctypes.c_uint16),
        ("size", ctypes.c_uint32),
        ("callback", ctypes.c_void_p),
        ("userdata", ctypes.c_void_p),
    ]


def audio_start_times(driver, count, rng):
    """Milliseconds from queueing a clip to the output device taking its first
    samples, through the same SDL library and driver as the panel and with
    its device settings: on a device kept open and running, and on a closed
    device opened for the clip (paused until the clip is queued, as the
    panel opens it). Two lists, or None when SDL cannot be loaded."""
    library = ctypes.util.find_library("SDL2") or "libSDL2-2.0.so.0"
    try:
        sdl = ctypes.CDLL(library)
    except OSError:
        return None
    sdl.SDL_GetQueuedAudioSize.restype = ctypes.c_uint32
    sdl.SDL_OpenAudioDevice.restype = ctypes.c_uint32
    previous = os.environ.get("SDL_AUDIODRIVER")
    os.environ["SDL_AUDIODRIVER"] = driver
    try:
        if sdl.SDL_InitSubSystem(0x10) != 0:  # SDL_INIT_AUDIO
            return None
        wanted = SDLAudioSpec(freq=44100, format=0x8010, channels=2, samples=512)  # S16LSB, as the panel asks
        clip = bytes(44100 * 4 // 5)  # 0.2 s

        def open_device():
            return sdl.SDL_OpenAudioDevice(None, 0, ctypes.byref(wanted), ctypes.byref(SDLAudioSpec()), 0)

        def queue_and_time(device, start):
            sdl.SDL_QueueAudio(device, clip, len(clip))
            sdl.SDL_PauseAudioDevice(device, 0)
            deadline = start + 2.0
            while sdl.SDL_GetQueuedAudioSize(device) >= len(clip) and time.monotonic() < deadline:
                time.sleep(0.0002)
            return (time.monotonic() - start) * 1000

        kept, opened = [], []
        device = open_device()
        if device == 0:
            return None
        sdl.SDL_PauseAudioDevice(device, 0)
        for _ in range(count):
            time.sleep(0.02 + rng.random() * 0.03)
            kept.append(queue_and_time(device, time.monotonic()))
            sdl.SDL_ClearQueuedAudio(device)
        sdl.SDL_CloseAudioDevice(device)
        for _ in range(count):
            time.sleep(0.02 + rng.random() * 0.03)
            start = time.monotonic()
            device = open_device()
            if device == 0:
                continue
            opened.append(queue_and_time(device, start))
            sdl.SDL_CloseAudioDevice(device)
        return kept, opened
    finally:
        sdl.SDL_QuitSubSystem(0x10)
        if previous is None:
            os.environ.pop("SDL_AUDIODRIVER", None)
        else:
            os.environ["SDL_AUDIODRIVER"] = previous


# ---------------------------------------------------------------- X11 through ctypes


class XMapEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("event", ctypes.c_ulong),
        ("window", ctypes.c_ulong),
        ("override_redirect", ctypes.c_int),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


class XTextProperty(ctypes.Structure):
    _fields_ = [
        ("value", ctypes.c_void_p),
        ("encoding", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("nitems", ctypes.c_ulong),
    ]


DESTROY_NOTIFY = 17
MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
REVERT_TO_PARENT = 2


class X11:
    """One client connection: sees windows being mapped, gives a window the
    keyboard focus, and presses keys through the XTEST extension (as xdotool
    does) with the time taken right before and after the request."""

    def __init__(self, display_name):
        self.lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        lib = self.lib
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        lib.XConnectionNumber.argtypes = [ctypes.c_void_p]
        lib.XPending.argtypes = [ctypes.c_void_p]
        lib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        lib.XGetWMName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XTextProperty)]
        lib.XFree.argtypes = [ctypes.c_void_p]
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.XFlush.argtypes = [ctypes.c_void_p]
        lib.XStringToKeysym.restype = ctypes.c_ulong
        lib.XStringToKeysym.argtypes = [ctypes.c_char_p]
        lib.XKeysymToKeycode.restype = ctypes.c_ubyte
        lib.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        lib.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
        lib.XRaiseWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = lib.XOpenDisplay(display_name.encode())
        if not self.dpy:
            raise BenchError("cannot connect to the X server " + display_name)
        # Xlib's own handler ends the process on any error, for instance a
        # request about a window the panel has just destroyed.
        self.error_handler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
        lib.XSetErrorHandler.argtypes = [ctypes.c_void_p]
        lib.XSetErrorHandler(ctypes.cast(self.error_handler, ctypes.c_void_p))
        self.root = lib.XDefaultRootWindow(self.dpy)
        self.watching = False
        self.mapped = []  # (time, window, name) of every window mapped so far
        self.destroyed = set()

    def watch_maps(self):
        self.lib.XSelectInput(self.dpy, self.root, SUBSTRUCTURE_NOTIFY_MASK)
        self.lib.XSync(self.dpy, 0)
        self.watching = True

    def stop_watching(self):
        self.lib.XSelectInput(self.dpy, self.root, 0)
        self.lib.XSync(self.dpy, 0)
        self.drain()
        self.watching = False

    def drain(self):
        """Takes the window events that have come; their times are the times
        they are taken, so this is called often while watching."""
        event = XEvent()
        while self.lib.XPending(self.dpy) > 0:
            self.lib.XNextEvent(self.dpy, ctypes.byref(event))
            if event.type == MAP_NOTIFY:
                # The name now: the window may be gone by the time it is asked for.
                window = event.xmap.window
                self.mapped.append((time.monotonic(), window, self.window_name(window)))
            elif event.type == DESTROY_NOTIFY:
                self.destroyed.add(event.xmap.window)

    def window_name(self, window):
        prop = XTextProperty()
        if not self.lib.XGetWMName(self.dpy, window, ctypes.byref(prop)) or not prop.value:
            return b""
        name = ctypes.string_at(prop.value, prop.nitems)
        self.lib.XFree(prop.value)
        return name

    def wait_window(self, name_part, deadline, alive):
        """The time a window whose name holds name_part was mapped, and the
        window; None when the deadline passes or alive() turns false."""
        fd = self.lib.XConnectionNumber(self.dpy)
        while time.monotonic() < deadline and alive():
            self.drain()
            for when, window, name in self.mapped:
                if name_part in name:
                    return when, window
            select.select([fd], [], [], 0.05)
        return None

    def shown_windows(self, name_part):
        """(time, window, still there) of every mapping of such a window."""
        self.drain()
        return [(when, w, w not in self.destroyed) for when, w, name in self.mapped if name_part in name]

    def focus(self, window):
        self.lib.XRaiseWindow(self.dpy, window)
        self.lib.XSetInputFocus(self.dpy, window, REVERT_TO_PARENT, 0)
        self.lib.XSync(self.dpy, 0)

    def keycode(self, keysym_name):
        keysym = self.lib.XStringToKeysym(keysym_name.encode())
        code = self.lib.XKeysymToKeycode(self.dpy, keysym) if keysym else 0
        if not code:
            raise BenchError("no key code for " + keysym_name)
        return code

    def press(self, keysym_name):
        """Key down and up; returns the times right before the key-down
        request and right after the server has taken it."""
        code = self.keycode(keysym_name)
        before = time.monotonic()
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self.lib.XSync(self.dpy, 0)
        after = time.monotonic()
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self.lib.XSync(self.dpy, 0)
        return before, after

    def close(self):
        if self.dpy:
            self.lib.XCloseDisplay(self.dpy)
            self.dpy = None


class XdotoolKeys:
    """Key presses through the xdotool command, for machines where XTEST
    cannot be reached through ctypes: the times then include starting it."""

    def __init__(self, panel):
        self.panel = panel

    def press(self, keysym_name):
        before = time.monotonic()
        self.panel.xdotool("key", "--clearmodifiers", keysym_name)
        return before, time.monotonic()


# ---------------------------------------------------------------- processes


def thread_times(pid):
    """utime + stime in seconds of each thread, by thread id, with its name."""
    times = {}
    tick = os.sysconf("SC_CLK_TCK")
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/stat") as f:
                text = f.read()
        except OSError:
            continue
        name = text[text.index("(") + 1 : text.rindex(")")]
        fields = text.rsplit(")", 1)[1].split()
        times[task] = (name, (int(fields[11]) + int(fields[12])) / tick)
    return times


def read_status_kb(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return None


def context_switches(pid):
    """Voluntary and involuntary switches of every thread of the process."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


# ---------------------------------------------------------------- the bench


class Bench:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.panel = None  # the harness's run: folder, X server, simulator, panel
        self.sim_start = None  # monotonic time of the simulator's zero
        self.x = None
        self.keys = None
        self.rows = []  # (figure, value, aim, met)
        self.notes = []
        self.wav_cache = {}
        self.connected = False

    # ---- helpers

    def clip_seconds(self, clip):
        """The clip's length from its WAV file in the build; None when unreadable."""
        if clip.name not in self.wav_cache:
            try:
                self.wav_cache[clip.name] = harness.wav_seconds(self.panel.build, clip.name)
            except (OSError, EOFError, harness.wave.Error):
                self.wav_cache[clip.name] = None
        return self.wav_cache[clip.name]

    def clips(self):
        """(monotonic seconds, clip) of every clip played so far."""
        return [(clip.ms / 1000, clip) for clip in self.panel.clip_records()]

    def commands(self):
        """(monotonic seconds, text) of every command the simulator received."""
        return [(self.sim_start + command.seconds, command.text) for command in self.panel.sim_command_records()]

    def lm_times(self):
        return [when for when, text in self.commands() if text == "LM"]

    def row(self, figure, value, aim="—", met=None):
        met_text = "—" if met is None else ("met" if met else "not met")
        self.rows.append((figure, value, aim, met_text))

    def sample(self, figure, key, pressed, effect, what):
        """One line of samples.tsv in the run's folder (kept with --keep)."""
        with open(self.panel.path("samples.tsv"), "a") as f:
            f.write(f"{figure}\t{key}\t{pressed:.4f}\t{effect:.4f}\t{(effect - pressed) * 1000:.1f}\t{what}\n")

    def key_row(self, figure, ms, aim_ms):
        self.row(figure, f"{ms:.0f} ms", f"≤ {aim_ms:.0f} ms", ms <= aim_ms)

    def note(self, text):
        self.notes.append(text)

    def panel_alive(self):
        return self.panel is not None and self.panel.running()

    def wait_until(self, condition, timeout, step=0.005):
        deadline = time.monotonic() + timeout
        while True:
            if self.x and self.x.watching:
                self.x.drain()
            result = condition()
            if result:
                return result
            if time.monotonic() >= deadline or not self.panel_alive():
                return None
            time.sleep(step)

    # ---- set-up

    def start(self):
        environment = {"WAYLAND_DISPLAY": None, "XAUTHORITY": None, "SDL_AUDIODRIVER": self.args.audio_driver}
        self.panel = harness.Panel(
            self.args.build, config=harness.config_text(debug="0"), environment=environment, keep=self.args.keep
        )
        problem = self.panel.check_build() or ("Xvfb is not installed" if "Xvfb" in harness.missing_tools() else None)
        if problem:
            raise BenchError(problem + " (scripts/install-deps.sh)")
        try:
            self.panel.prepare()
        except (AssertionError, RuntimeError) as error:
            raise BenchError(str(error)) from None
        try:
            self.x = X11(self.panel.xvfb.display)
            self.keys = self.x
            self.key_method = "XTEST through libXtst (the request xdotool makes), timed around the request and XSync"
        except (OSError, BenchError) as error:
            self.x = None
            self.keys = XdotoolKeys(self.panel)
            self.key_method = f"the xdotool command (libX11/libXtst not usable: {error}); times include starting it"
        self.align_sim_clock("start")

    def align_sim_clock(self, label):
        """Writes comment lines into the simulator's control FIFO at known
        times; the simulator logs each with its own stamp when it reads it.
        Its zero is at most 1 ms (its stamps' truncation) after the latest
        write time less its stamp."""
        marks = {}
        for i in range(8):
            text = f"# bench clock {label} {i}"
            marks[text] = time.monotonic()
            self.panel.send_control(text)
            time.sleep(0.02)
        deadline = time.monotonic() + 5
        seen = {}
        while time.monotonic() < deadline and len(seen) < len(marks):
            for entry in self.panel.sim.read():
                if entry.text[2:] in marks:
                    seen[entry.text[2:]] = entry.seconds
            time.sleep(0.01)
        if not seen:
            raise BenchError("the simulator logged none of the clock marks")
        estimates = [marks[t] - s for t, s in seen.items()]
        zero = max(estimates)
        if self.sim_start is None:
            self.sim_start = zero
        return zero, (zero - min(estimates))

    def start_panel(self):
        if self.x:
            self.x.watch_maps()
        self.t_process_start = time.monotonic()
        self.panel.start_panel(find_window=False)

    # ---- figures

    def measure_startup(self):
        t0 = self.t_process_start
        window = None
        if self.x:
            found = self.x.wait_window(WINDOW_NAME_PART, t0 + 30, self.panel_alive)
            if found:
                self.t_window, window = found
        else:
            deadline = t0 + 30
            while time.monotonic() < deadline and self.panel_alive():
                window = self.panel.find_window()
                if window:
                    self.t_window = time.monotonic()
                    break
                time.sleep(0.01)
        self.window = window
        if window is None:
            self.row("Start-up: process start to window shown", "n/a (no window)", "≤ 1000 ms", False)
        else:
            ms = (self.t_window - t0) * 1000
            self.row("Start-up: process start to window shown", f"{ms:.0f} ms", "≤ 1000 ms", ms <= 1000)

        first_lm = self.wait_until(lambda: self.lm_times()[:1], 40)
        if not first_lm:
            self.row("Start-up: process start to first LM", "n/a (no LM sent)")
            self.note("No \"LM\" reached the simulator: the poll cycle is not built in yet, or the port did not open.")
            self.t_first_lm = None
            return
        self.t_first_lm = first_lm[0]
        total_ms = (self.t_first_lm - t0) * 1000
        before = [(when, c) for when, c in self.clips() if when <= self.t_first_lm]
        lengths = [self.clip_seconds(c) for _, c in before]
        clip_ms = sum(length for length in lengths if length) * 1000
        unknown = lengths.count(None)
        self.row("Start-up: process start to first LM", f"{total_ms:.0f} ms")
        self.row(
            f"Start-up: of which clips ({len(before)} clips, WAV lengths)",
            f"{clip_ms:.0f} ms" + (f" ({unknown} unreadable)" if unknown else ""),
        )
        rest = total_ms - clip_ms
        self.row("Start-up: first LM less clip time", f"{rest:.0f} ms", "≤ 1000 ms", rest <= 1000)
        # How much longer a waiting clip holds the program than its recording.
        overheads = []
        for (when_a, a), (when_b, _) in zip(before, before[1:]):
            length = self.clip_seconds(a)
            if a.wait and length is not None:
                overheads.append((when_b - when_a - length) * 1000)
        if overheads:
            self.startup_clip_overhead = median(overheads)
            self.row(
                "Clip hold beyond its recording (start-up, median)",
                f"{self.startup_clip_overhead:.1f} ms (n={len(overheads)})",
            )

    def wait_connected(self):
        found = self.wait_until(lambda: "connected" in self.panel.clips(), 40)
        self.connected = bool(found)
        if not self.connected:
            self.note("The panel never played \"connected\": no reply was read, so no key was pressed "
                      "(a key before the first reply ends the program).")
        return self.connected

    def focus_window(self):
        if self.x and self.window:
            shown = self.x.shown_windows(WINDOW_NAME_PART)
            self.x.stop_watching()
            live = [w for when, w, there in shown if there]
            if len(shown) > 1:
                times = ", ".join(f"{(when - self.t_process_start) * 1000:.0f}" for when, _, _ in shown)
                gone = sum(1 for _, _, there in shown if not there)
                self.note(f"The panel's window was mapped {len(shown)} times before the first key, at {times} ms "
                          f"after process start ({gone} of these windows destroyed since).")
            if live:
                self.window = live[-1]
            self.x.focus(self.window)
        elif self.window:
            self.panel.xdotool("windowfocus", self.window)

    def measure_idle(self):
        seconds = self.args.idle
        time.sleep(1.0)
        pid, server = self.panel.process.pid, self.panel.xvfb.process.pid
        cpu0 = harness.cpu_seconds(pid)
        threads0 = thread_times(pid)
        server0 = harness.cpu_seconds(server)
        switches0 = context_switches(pid)
        t0 = time.monotonic()
        time.sleep(seconds)
        cpu1 = harness.cpu_seconds(pid)
        threads1 = thread_times(pid)
        server1 = harness.cpu_seconds(server)
        switches1 = context_switches(pid)
        t1 = time.monotonic()
        rss = read_status_kb(pid, "VmRSS")
        rss_anon = read_status_kb(pid, "RssAnon")
        rss_file = read_status_kb(pid, "RssFile")
        elapsed = t1 - t0
        percent = (cpu1 - cpu0) / elapsed * 100
        self.row(f"Idle: processor time over {elapsed:.0f} s (one core)", f"{percent:.2f} %", "< 0.5 %", percent < 0.5)
        by_thread = []
        for tid, (name, seconds_used) in threads1.items():
            used = seconds_used - threads0.get(tid, (name, 0.0))[1]
            if used > 0:
                by_thread.append((used, name))
        by_thread.sort(reverse=True)
        if by_thread:
            shares = ", ".join(f"{n} {u / elapsed * 100:.2f} %" for u, n in by_thread)
            self.row("Idle: processor time by thread", shares)
        self.row("Idle: X server's processor time (draws the panel)", f"{(server1 - server0) / elapsed * 100:.2f} %")
        self.row("Idle: resident memory (VmRSS)", f"{rss / 1024:.1f} MB", "< 60 MB", rss / 1024 < 60)
        if rss_anon is not None and rss_file is not None:
            self.row("Idle: of which anonymous / mapped files", f"{rss_anon / 1024:.1f} / {rss_file / 1024:.1f} MB")
        self.row("Idle: thread wake-ups (context switches)", f"{(switches1 - switches0) / elapsed:.1f} /s")
        self.note(f"Processor time has the kernel's tick resolution (1/{os.sysconf('SC_CLK_TCK')} s): "
                  f"{1 / os.sysconf('SC_CLK_TCK') / elapsed * 100:.3f} % over this window.")

        lms = [t for t in self.lm_times() if t0 <= t <= t1]
        gaps = [(b - a) * 1000 for a, b in zip(lms, lms[1:])]
        if len(gaps) < 2:
            self.row("Poll period (LM to LM, idle)", "n/a (no LM while idle)", f"{POLL_DESIGN_MS:.0f} ms")
            return
        med, p99 = median(gaps), percentile(gaps, 0.99)
        self.row(
            f"Poll period, median (n={len(gaps)})",
            f"{med:.1f} ms",
            f"{POLL_DESIGN_MS:.0f} ms ± 5 %",
            abs(med - POLL_DESIGN_MS) <= POLL_DESIGN_MS * 0.05,
        )
        limit = POLL_DESIGN_MS * 1.1
        self.row("Poll period, 99th percentile", f"{p99:.1f} ms", f"≤ {limit:.0f} ms", p99 <= limit)
        self.row("Poll period, shortest / longest", f"{min(gaps):.1f} / {max(gaps):.1f} ms")

    def effects_after(self, t):
        """(when, clip) and (when, text) of the clips and commands (no "LM") since t."""
        clips = [(when, c) for when, c in self.clips() if when >= t - 0.001]
        commands = [(when, text) for when, text in self.commands() if when >= t - 0.001 and text != "LM"]
        return clips, commands

    def wait_idle(self, t_key, timeout=10.0):
        """Waits until the key pressed at t_key has been handled: something of
        it has happened (a clip or a command) and an "LM" followed the last of
        it, which the poll cycle sends only with no key waiting."""

        def settled():
            clips, commands = self.effects_after(t_key)
            if not clips and not commands:
                return False
            last = max(when for when, _ in clips + commands)
            return any(t > last for t in self.lm_times())

        return self.wait_until(settled, timeout, 0.01)

    def phases(self, count):
        """Waits before each press, one in each of count equal slices of the
        300 ms poll cycle, in random order: the presses cover every point of
        the cycle evenly."""
        slices = list(range(count))
        self.rng.shuffle(slices)
        return [(k + self.rng.random()) / count * POLL_DESIGN_MS / 1000 for k in slices]

    def measure_key_to_voice(self):
        count = self.args.keys
        latencies, spans, wrong, lost = [], [], 0, 0
        by_key = {"digit": [], "M": []}
        # Each kind of key covers the poll cycle evenly on its own.
        phases = {"digit": self.phases((count + 1) // 2), "M": self.phases(count // 2)}
        for i in range(count):
            if i % 2 == 0:
                digit = str(1 + (i // 2) % 9)
                key, expected, kind = digit, digit, "digit"
            else:
                key, expected, kind = "m", "s", "M"
            time.sleep(phases[kind][i // 2])
            before, after = self.keys.press(key)
            spans.append((after - before) * 1000)
            first = self.wait_until(lambda: self.effects_after(before)[0][:1], 5)
            if not first:
                lost += 1
                continue
            when, clip = first[0]
            if clip.name != expected:
                wrong += 1
            latency = (when - before) * 1000
            latencies.append(latency)
            self.sample("voice", key, before, when, clip.name)
            by_key[kind].append(latency)
            self.wait_idle(before)
            if kind == "digit":
                # Enter tunes the typed digit, so the entries never grow.
                t_enter, _ = self.keys.press("Return")
                self.wait_idle(t_enter)
        if not latencies:
            self.row("Key to voice", "n/a (no clip followed a key)", f"≤ {KEY_P99_AIM_MS:.0f} ms")
            return
        med, p99 = median(latencies), percentile(latencies, 0.99)
        self.key_row(f"Key to voice, median (n={len(latencies)})", med, KEY_MEDIAN_AIM_MS)
        self.key_row("Key to voice, 99th percentile", p99, KEY_P99_AIM_MS)
        for kind, values in by_key.items():
            if values:
                self.row(f"Key to voice, {kind} keys: median / max", f"{median(values):.0f} / {max(values):.0f} ms")
        self.row("Key press request (before to after XSync), median", f"{median(spans):.2f} ms")
        if wrong or lost:
            self.note(f"Key to voice: {wrong} keys began with another clip than expected, "
                      f"{lost} keys gave no clip in 5 s.")
        self.voice_median = med

    def measure_key_to_wire(self):
        count = self.args.wire_keys
        results = {"F1": [], "Up": []}
        net_f1 = []
        wrong = lost = 0
        phases = {"F1": self.phases(count), "Up": self.phases(count)}
        for i in range(2 * count):
            key, prefix = ("F1", "MD") if i % 2 == 0 else ("Up", "VA")
            time.sleep(phases[key][i // 2])
            before, _ = self.keys.press(key)
            found = self.wait_until(lambda: self.effects_after(before)[1][:1], 5)
            if not found:
                lost += 1
                self.wait_idle(before)
                continue
            when, text = found[0]
            if not text.startswith(prefix):
                wrong += 1
            latency = (when - before) * 1000
            results[key].append(latency)
            self.sample("wire", key, before, when, text)
            if key == "F1":
                clips = [c for at, c in self.clips() if before - 0.001 <= at <= when]
                lengths = [self.clip_seconds(c) for c in clips]
                if clips and None not in lengths:
                    net_f1.append(latency - sum(lengths) * 1000)
            self.wait_idle(before)
        up, f1 = results["Up"], results["F1"]
        if up:
            self.key_row(f"Key to wire, Up → VA, median (n={len(up)})", median(up), KEY_MEDIAN_AIM_MS)
            self.key_row("Key to wire, Up → VA, 99th percentile", percentile(up, 0.99), KEY_P99_AIM_MS)
        if f1:
            self.row(f"Key to wire, F1 → MD1 (clip \"FM\" first), median (n={len(f1)})", f"{median(f1):.0f} ms")
            self.row("Key to wire, F1 → MD1, 99th percentile", f"{percentile(f1, 0.99):.0f} ms")
        if net_f1:
            self.key_row("Key to wire, F1 less its clip, median", median(net_f1), KEY_MEDIAN_AIM_MS)
            self.key_row("Key to wire, F1 less its clip, 99th percentile", percentile(net_f1, 0.99), KEY_P99_AIM_MS)
        if not up and not f1:
            self.row("Key to wire", "n/a (no command followed a key)", f"≤ {KEY_P99_AIM_MS:.0f} ms")
        if wrong or lost:
            self.note(f"Key to wire: {wrong} keys were followed by another command than expected, "
                      f"{lost} keys by none within 5 s.")

    def audio_buffer(self):
        source = os.path.join(ROOT, "src", "platform", "sdl", "sdl_audio.cpp")
        try:
            with open(source) as f:
                text = f.read()
            frames = int(re.search(r"device_buffer_frames\s*=\s*(\d+)", text).group(1))
            rate = int(re.search(r"device_rate\s*=\s*(\d+)", text).group(1))
        except (OSError, AttributeError):
            self.row("Audio output buffer (SDL backend)", "n/a (not found in sdl_audio.cpp)")
            return
        self.row("Audio output buffer (SDL backend)", f"{frames} frames at {rate} Hz = {frames / rate * 1000:.1f} ms")
        if self.args.audio_driver:
            self.note(f"SDL audio driver {self.args.audio_driver!r} (SDL_AUDIODRIVER): with the dummy driver an "
                      "output device is open and plays in real time, in silence, as a sound card would.")
            return
        self.note(f"With a real audio device a clip is heard up to one output buffer ({frames / rate * 1000:.1f} ms) "
                  "after the clip record's stamp; this machine has no audio device, so the backend sleeps "
                  "for each waiting clip's length instead (same timing less the device latency).")

    def measure_audio_start(self):
        """With an audio driver given: what opening the device for a clip
        adds to the clip's start (see audio_start_times)."""
        if not self.args.audio_driver:
            return
        times = audio_start_times(self.args.audio_driver, 50, self.rng)
        if not times:
            self.row("Clip queued to first samples taken", "n/a (SDL or its device not usable here)")
            return
        for label, values in zip(("device open and running", "device opened for the clip"), times):
            if values:
                self.row(f"Clip queued to first samples taken, {label}: median / max (n={len(values)})",
                         f"{median(values):.1f} / {max(values):.1f} ms", "—")

    def stop(self):
        if self.panel_alive():
            harness.stop_process(self.panel.process, grace=10)
            sent_ex = "EX" in self.panel.sim_commands()
            code = self.panel.process.returncode
            self.shutdown_text = f"exit code {code}, " + ("EX sent" if sent_ex else "no EX seen")
        if self.x:
            self.x.close()
        if self.panel is not None:
            self.panel.close()

    def step(self, measure):
        """Runs one measurement while the panel runs; a panel that has ended
        leaves the figures measured so far and a note."""
        if not self.panel_alive():
            return False
        try:
            measure()
        except OSError as error:  # its /proc entries went away
            if self.panel_alive():
                raise
            del error
        if not self.panel_alive():
            self.note(f"The panel ended during the benchmark (exit code {self.panel.process.returncode}); "
                      "figures after that point are missing. Run with --keep and see panel.out.")
            return False
        return True

    def run(self):
        self.load_start = load_average()
        self.start()
        self.start_panel()
        if self.step(self.measure_startup) and self.step(self.wait_connected) and self.connected:
            self.focus_window()
            if self.step(self.measure_idle) and self.step(self.measure_key_to_voice):
                self.step(self.measure_key_to_wire)
            self.note("99th percentiles are nearest-rank: with fewer than 100 samples that is the largest one.")
            _, spread = self.align_sim_clock("end")
            self.note(f"Simulator clock aligned through its control FIFO; the estimate of its zero "
                      f"drew {spread * 1000:.2f} ms of spread between marks, and stamps are whole milliseconds.")
        elif not self.connected:
            self.step(self.measure_idle)
        self.audio_buffer()
        self.measure_audio_start()
        self.load_end = load_average()


# ---------------------------------------------------------------- report


def load_average():
    """The one-minute load average: other work competing for the processors."""
    try:
        with open("/proc/loadavg") as f:
            return float(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        return None


def machine_lines(bench):
    model = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return [
        f"Date: {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}",
        f"Processors (nproc): {os.cpu_count()}",
        f"CPU model: {model}",
        f"Kernel: {platform.system()} {platform.release()}",
        f"Python: {platform.python_version()}",
        f"Load average (1 min) at start / end of the run: {bench.load_start} / {bench.load_end}",
    ]


def build_commit(build):
    """The commit of the sources the build folder was configured from."""
    source = None
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("CMAKE_HOME_DIRECTORY:"):
                    source = line.split("=", 1)[1].strip()
    except OSError:
        pass
    if not source:
        return "unknown"
    try:
        commit = subprocess.run(["git", "-C", source, "rev-parse", "--short", "HEAD"], capture_output=True,
                                text=True, check=True).stdout.strip()
        changed = subprocess.run(["git", "-C", source, "diff", "--quiet", "HEAD"]).returncode != 0
    except (OSError, subprocess.CalledProcessError):
        return "unknown"
    return f"{commit}{' with local changes' if changed else ''} ({source})"


def print_table(rows):
    headers = ("Figure", "Value", "Aim", "Met")
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(headers)]
    line = "  ".join(h.ljust(w) for h, w in zip(headers, widths))
    print(line)
    print("  ".join("-" * w for w in widths))
    for r in rows:
        print("  ".join(c.ljust(w) for c, w in zip(r, widths)))


def markdown(bench, machine):
    out = ["## Figures", ""]
    out += [f"- {line}" for line in machine]
    out += [f"- Build: {bench.args.build}, sources at commit {build_commit(bench.args.build)}"]
    out += [f"- Key presses: {bench.key_method}", ""]
    out += ["| Figure | Value | Aim | Met |", "|---|---|---|---|"]
    out += [f"| {a} | {b} | {c} | {d} |" for a, b, c, d in bench.rows]
    out += [""]
    out += [f"- {n}" for n in bench.notes]
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="build folder (default: build)")
    parser.add_argument("--keys", type=int, default=60, help="keys for key to voice (default 60)")
    parser.add_argument("--wire-keys", type=int, default=50, help="presses of each of F1 and Up (default 50)")
    parser.add_argument("--idle", type=float, default=60.0, help="seconds of idle polling (default 60)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the key timing (default 1)")
    parser.add_argument("--markdown", help="also write the figures as Markdown to this file")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder and its logs")
    parser.add_argument("--audio-driver", help="SDL audio driver for the panel, e.g. dummy: a device that is open "
                        "(default: SDL's choice; on a machine without a sound card no device opens)")
    args = parser.parse_args()

    bench = Bench(args)
    bench.shutdown_text = None
    bench.load_start = bench.load_end = None

    def on_signal(number, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, on_signal)
    try:
        bench.run()
    except BenchError as error:
        print(f"run-bench: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print("run-bench: interrupted", file=sys.stderr)
        return 130
    finally:
        bench.stop()
        if args.keep and bench.panel:
            print(f"Logs kept in {bench.panel.folder}", file=sys.stderr)

    if bench.shutdown_text:
        bench.note("Panel shutdown on SIGTERM: " + bench.shutdown_text + ".")
    machine = machine_lines(bench)
    print()
    for line in machine:
        print(line)
    print(f"Build: {args.build}, sources at commit {build_commit(args.build)}")
    print(f"Key presses: {bench.key_method}")
    print()
    print_table(bench.rows)
    print()
    for n in bench.notes:
        print("- " + n)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(markdown(bench, machine))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The Windows program under wine beside the Linux program, in one run.

Runs the panel twice against the receiver simulator in Xvfb, through the
harness of the end-to-end tests: build/talvaro-e2e (Linux) and
build-windows/talvaro-e2e.exe under wine (tests/windows/wine_tests.py), and
prints for each, and their ratio:

  - idle processor time: seconds of processor time per 10 s while the panel
    only polls the level; under wine also with wine's own processes of the
    prefix (wineserver, services, explorer...), which are wine's overhead,
    not the program's;
  - resident memory of the program's process (and, under wine, of wine's
    own processes);
  - key to voice: a key press (xdotool, M: say the level) until its first
    clip appears in clips.log, which this script watches every millisecond
    (the same way for both, so no clock has to be shared with wine).

Figures only: it never passes or fails.

    bench/wine-bench.py [--build build] [--windows-build build-windows] [--keys 20] [--idle 20]
"""

import argparse
import os
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tests", "windows"))
import harness  # noqa: E402
import wine_tests  # noqa: E402

TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    try:
        return harness.cpu_seconds(pid)
    except OSError:
        return 0.0


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def wine_helpers(prefix, program_pid):
    """Processes of the wine prefix other than the program: those whose
    environment names the prefix (wineserver and wine's own services)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == program_pid:
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as environ:
                if ("WINEPREFIX=" + prefix).encode() in environ.read().split(b"\0"):
                    found.append(int(entry))
        except OSError:
            continue
    return found


def measure(panel, keys, idle, prefix=None):
    pid = panel.process.pid
    helpers = wine_helpers(prefix, pid) if prefix else []
    figures = {}
    # Idle: after the start's clips, while only the level is polled.
    panel.wait_polls(3, since=panel.mark())
    start, cpu = time.monotonic(), cpu_seconds(pid)
    helper_cpu = sum(cpu_seconds(helper) for helper in helpers)
    time.sleep(idle)
    elapsed = time.monotonic() - start
    figures["idle cpu s/10 s"] = (cpu_seconds(pid) - cpu) * 10 / elapsed
    if prefix:
        used = sum(cpu_seconds(helper) for helper in helpers) - helper_cpu
        figures["idle cpu s/10 s, wine's processes"] = used * 10 / elapsed
    figures["rss MB"] = rss_kb(pid) / 1024
    if prefix:
        figures["rss MB, wine's processes"] = sum(rss_kb(helper) for helper in helpers) / 1024

    delays = []
    window = panel.focus()
    log = panel.path("clips.log")
    for _ in range(keys):
        size = os.path.getsize(log)
        pressed = time.monotonic()
        panel.xdotool("key", "--window", window, "m", check=True)
        while os.path.getsize(log) == size:
            if time.monotonic() - pressed > 10:
                raise AssertionError("no clip for M\n%s" % panel.describe())
            time.sleep(0.001)
        delays.append((time.monotonic() - pressed) * 1000)
        # The level's clips play out before the next key.
        time.sleep(1.5)
    delays.sort()
    figures["key to voice median ms"] = statistics.median(delays)
    figures["key to voice max ms"] = delays[-1]
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--windows-build", default=os.path.join(ROOT, "build-windows"))
    parser.add_argument("--keys", type=int, default=20)
    parser.add_argument("--idle", type=float, default=20.0)
    arguments = parser.parse_args()
    wine_tests.SETTINGS["windows_build"] = arguments.windows_build
    harness.SETTINGS["build"] = arguments.build
    prefix = wine_tests.wine_environment()["WINEPREFIX"]

    results = {}
    for name, make in (("linux", lambda: harness.Panel(arguments.build)), ("wine", wine_tests.WinePanel)):
        panel = make()
        try:
            panel.start()
            panel.wait_connected(timeout=90)
            results[name] = measure(panel, arguments.keys, arguments.idle, prefix if name == "wine" else None)
            panel.quit()
        finally:
            panel.close()

    print("%-36s %10s %10s %8s" % ("figure", "linux", "wine", "ratio"))
    for figure in results["wine"]:
        linux = results["linux"].get(figure)
        wine = results["wine"][figure]
        ratio = "%8.2f" % (wine / linux) if linux else "%8s" % "-"
        print("%-36s %10s %10.3f %s" % (figure, "%.3f" % linux if linux is not None else "-", wine, ratio))
    return 0


if __name__ == "__main__":
    sys.exit(main())

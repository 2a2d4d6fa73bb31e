#!/usr/bin/env python3
"""Figures of a generated clip set: loudness spread and lengths.

    bench/voice-figures.py [--table tools/clips/clips.tsv] FOLDER [FOLDER...]

For each folder of clips (build/wave, build/wave-de, ...) prints, over the
spoken clips of the table (its "say" rows; the pause and the tone are left
out): the integrated loudness (EBU R128) lowest, highest, spread and median,
the highest sample peak, the median and longest clip length, and two
announcements as the panel plays them, clip after clip with nothing between:
the frequency 145.5 ("1 4 5 point 5") and the start-up announcement of a
first start (program name and version, "bank not found" for the missing
bank 0, the frequency 145.0, the mode, the attenuator, "connected"; the
pauses between receiver commands are left out, they are the same in every
set). A measurement, not a test: it prints, it never fails on a figure.
"""
import argparse
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "clips"))
import loudness  # noqa: E402

FREQUENCY = ["1", "4", "5", "point", "5"]
START_UP = ["talvaro", "4", "point", "1", "bnf", "1", "4", "5", "point", "0", "fm", "attoff", "connected"]


def spoken_clips(table):
    names = []
    with open(table, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\r\n").split("\t")
            if len(fields) == 3 and not fields[0].startswith("#") and fields[1] == "say":
                names.append(fields[0])
    return names


def figures(folder, names):
    measured = {name: loudness.measure(os.path.join(folder, name + ".wav")) for name in names}
    lufs = [m[0] for m in measured.values()]
    seconds = {name: m[2] for name, m in measured.items()}
    loudest = max(measured, key=lambda n: measured[n][0])
    quietest = min(measured, key=lambda n: measured[n][0])
    longest = max(seconds, key=seconds.get)
    return [
        ("Spoken clips", f"{len(names)}"),
        ("Integrated loudness, quietest", f"{measured[quietest][0]:.1f} LUFS ({quietest})"),
        ("Integrated loudness, loudest", f"{measured[loudest][0]:.1f} LUFS ({loudest})"),
        ("Loudness spread (max - min)", f"{max(lufs) - min(lufs):.1f} LU"),
        ("Loudness, median", f"{statistics.median(lufs):.1f} LUFS"),
        ("Highest sample peak", f"{max(m[1] for m in measured.values()):.1f} dBFS"),
        ("Clip length, median", f"{statistics.median(seconds.values()) * 1000:.0f} ms"),
        ("Clip length, longest", f"{seconds[longest] * 1000:.0f} ms ({longest})"),
        (
            "Longest clip but help",
            "{:.0f} ms ({})".format(
                *max(((s * 1000, n) for n, s in seconds.items() if n != "help"), default=(0, "-"))
            ),
        ),
        ('"1 4 5 point 5" end to end', f"{sum(seconds[n] for n in FREQUENCY) * 1000:.0f} ms"),
        ("Start-up announcement (13 clips)", f"{sum(seconds[n] for n in START_UP) * 1000:.0f} ms"),
        ("Bank letters a-j, median", f"{statistics.median(seconds[c] for c in 'abcdefghij') * 1000:.0f} ms"),
    ]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--table", default=os.path.join(here, "..", "tools", "clips", "clips.tsv"))
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()
    names = spoken_clips(args.table)
    columns = [figures(folder, names) for folder in args.folders]
    print("| Figure | " + " | ".join(args.folders) + " |")
    print("|---" * (len(args.folders) + 1) + "|")
    for row in range(len(columns[0])):
        print(f"| {columns[0][row][0]} | " + " | ".join(c[row][1] for c in columns) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())

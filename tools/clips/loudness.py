#!/usr/bin/env python3
"""Integrated loudness (EBU R128 / ITU-R BS.1770) of 16-bit mono WAV clips.

    loudness.py measure WAV...                 name, LUFS, sample peak dBFS, seconds
    loudness.py gain CEILING TARGET_LUFS WAV [TARGET_LUFS WAV...]
        for each WAV, one line: the gain in dB that brings it to its
        TARGET_LUFS, lowered if needed so that its peak stays at or below
        CEILING dBFS

The signal is K-weighted (the standard's shelf and high-pass, designed for the
file's own rate), cut into 400 ms blocks every 100 ms, gated at -70 LUFS and
then 10 LU below the mean of the blocks left, and the mean power of the blocks
that pass is the loudness. A clip shorter than one block is measured as one
block over its whole length, so a short word is measured rather than dropped.
Plain Python, no other package: the same file gives the same figure anywhere.
"""
import math
import sys
import wave
from array import array


def read_mono16(path):
    with wave.open(path, "rb") as w:
        if w.getnchannels() != 1 or w.getsampwidth() != 2:
            raise ValueError(f"{path}: expected 16-bit mono")
        rate = w.getframerate()
        samples = array("h", w.readframes(w.getnframes()))
    if sys.byteorder != "little":
        samples.byteswap()
    return rate, samples


def k_weighting(rate):
    """The two biquads of BS.1770 for the given sample rate: (b, a) pairs."""
    f0, gain_db, q = 1681.974450955533, 3.999843853973347, 0.7071752369554196
    k = math.tan(math.pi * f0 / rate)
    vh = 10.0 ** (gain_db / 20.0)
    vb = vh**0.4996667741545416
    a0 = 1.0 + k / q + k * k
    shelf = (
        ((vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0),
        (2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0),
    )
    f0, q = 38.13547087602444, 0.5003270373238773
    k = math.tan(math.pi * f0 / rate)
    a0 = 1.0 + k / q + k * k
    highpass = ((1.0, -2.0, 1.0), (2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0))
    return shelf, highpass


def weighted_squares(rate, samples):
    """The K-weighted signal, squared, sample by sample."""
    (b0, b1, b2), (a1, a2) = k_weighting(rate)[0]
    (c0, c1, c2), (d1, d2) = k_weighting(rate)[1]
    x1 = x2 = y1 = y2 = z1 = z2 = 0.0
    out = []
    append = out.append
    for s in samples:
        x = s / 32768.0
        y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
        z = c0 * y + c1 * y1 + c2 * y2 - d1 * z1 - d2 * z2
        x2, x1, y2, y1, z2, z1 = x1, x, y1, y, z1, z
        append(z * z)
    return out


def block_loudness(power):
    return -0.691 + 10.0 * math.log10(power) if power > 0.0 else -math.inf


def integrated_loudness(rate, samples):
    squares = weighted_squares(rate, samples)
    block, step = int(0.4 * rate), int(0.1 * rate)
    if len(squares) < block:
        powers = [sum(squares) / len(squares)] if squares else []
    else:
        # Running sums keep this linear in the clip's length.
        prefix = [0.0]
        for v in squares:
            prefix.append(prefix[-1] + v)
        powers = [(prefix[i + block] - prefix[i]) / block for i in range(0, len(squares) - block + 1, step)]
    gated = [p for p in powers if block_loudness(p) > -70.0]
    if not gated:
        return -math.inf
    relative = block_loudness(sum(gated) / len(gated)) - 10.0
    gated = [p for p in gated if block_loudness(p) > relative]
    return block_loudness(sum(gated) / len(gated))


def peak_dbfs(samples):
    peak = max((abs(s) for s in samples), default=0)
    return 20.0 * math.log10(peak / 32768.0) if peak else -math.inf


def measure(path):
    rate, samples = read_mono16(path)
    return integrated_loudness(rate, samples), peak_dbfs(samples), len(samples) / rate


def gain_for(path, target, ceiling):
    lufs, peak, _ = measure(path)
    if not math.isfinite(lufs):
        print(f"loudness: {path}: silent, cannot be brought to {target} LUFS", file=sys.stderr)
        return None
    gain = target - lufs
    if peak + gain > ceiling:
        print(
            f"loudness: {path}: {lufs:.2f} LUFS, peak {peak:.2f} dBFS: only {ceiling - peak:.2f} dB "
            f"of the {gain:.2f} dB fit below {ceiling} dBFS; it stays quieter",
            file=sys.stderr,
        )
        gain = ceiling - peak
    return gain


def main(argv):
    if len(argv) >= 2 and argv[0] == "measure":
        for path in argv[1:]:
            lufs, peak, seconds = measure(path)
            print(f"{path}\t{lufs:.2f}\t{peak:.2f}\t{seconds:.3f}")
        return 0
    if len(argv) >= 4 and len(argv) % 2 == 0 and argv[0] == "gain":
        ceiling = float(argv[1])
        for target, path in zip(argv[2::2], argv[3::2]):
            gain = gain_for(path, float(target), ceiling)
            if gain is None:
                return 1
            # Two decimals: the figure handed to sox is the same on every machine.
            print(f"{gain:.2f}")
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

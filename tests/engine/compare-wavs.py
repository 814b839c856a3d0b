#!/usr/bin/env python3
"""Compares two 16-bit WAV files written by the engine (44-byte canonical header).

compare-wavs.py MODE A.wav B.wav            A against B
compare-wavs.py MODE --join A1 A2 ... B     the A parts one after another against B

MODE: exact (the same bytes), within1 (same format and length, every sample within 1),
resampled (same format and length; within the tolerance below). Exits 1 with the reason on
standard output; for resampled inputs it prints the differences measured.
"""
import array
import math
import struct
import sys

# Two different resamplers (libsoxr's and Media Foundation's) agree this well on tones at
# -3 dB (measured: up to 74 steps apart, the difference 52 dB below the signal); the edges
# (the first and last 5 ms) are left out, where the filters start differently.
RESAMPLED_MAX_DIFF = 128       # in 16-bit steps
RESAMPLED_MIN_SNR_DB = 48.0    # the difference's level below the signal's


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 44 or data[0:4] != b"RIFF" or data[8:12] != b"WAVE" or data[36:40] != b"data":
        raise SystemExit(f"{path} is not a canonical WAV file")
    channels, rate = struct.unpack_from("<HI", data, 22)
    samples = array.array("h")
    samples.frombytes(data[44:])
    if sys.byteorder == "big":
        samples.byteswap()
    return channels, rate, samples


def main(argv):
    mode = argv[1]
    if argv[2] == "--join":
        parts = [read(p) for p in argv[3:-1]]
        a = (parts[0][0], parts[0][1], array.array("h", b"".join(p[2].tobytes() for p in parts)))
        b = read(argv[-1])
    else:
        a, b = read(argv[2]), read(argv[3])
    if a[0:2] != b[0:2]:
        return f"format {a[0]} channels {a[1]} Hz against {b[0]} channels {b[1]} Hz"
    if len(a[2]) != len(b[2]):
        return f"length {len(a[2]) // a[0]} frames against {len(b[2]) // b[0]} frames"
    sa, sb = a[2], b[2]
    if mode == "exact":
        if sa != sb:
            first = next(i for i in range(len(sa)) if sa[i] != sb[i])
            return f"sample {first} is {sa[first]} against {sb[first]}"
        return None
    if mode == "within1":
        worst = max((abs(x - y) for x, y in zip(sa, sb)), default=0)
        if worst > 1:
            return f"samples differ by up to {worst}"
        return None
    edge = a[1] // 200 * a[0]
    sa, sb = sa[edge:len(sa) - edge], sb[edge:len(sb) - edge]
    worst = max((abs(x - y) for x, y in zip(sa, sb)), default=0)
    signal = sum(x * x for x in sa) or 1
    noise = sum((x - y) ** 2 for x, y in zip(sa, sb)) or 1
    snr = 10 * math.log10(signal / noise)
    print(f"resampled: differs by up to {worst}, {snr:.1f} dB below the signal")
    if worst > RESAMPLED_MAX_DIFF or snr < RESAMPLED_MIN_SNR_DB:
        return f"differs by up to {worst} ({snr:.1f} dB below the signal; allowed {RESAMPLED_MAX_DIFF}, {RESAMPLED_MIN_SNR_DB} dB)"
    return None


if __name__ == "__main__":
    why = main(sys.argv)
    if why:
        print(why)
        sys.exit(1)

#!/usr/bin/env python3
"""The list filter's work in plain Python, for scale: N names made as brenzo-bench-view makes
them, each with its hash in hexadecimal and decimal, folded to lower case once; then the rows
whose text contains TEXT, and the full list again. Prints the median seconds of the filtering."""
import statistics
import sys
import time

n, text = int(sys.argv[1]), sys.argv[2].lower()
groups = ["SFX", "Vehicle", "voice", "Amb", "ui", "Weapon", "music", "Foley"]
words = ["engine_idle", "Horn", "door_open", "Step_Gravel", "shot", "Click", "wind"]
hay = []
for i in range(n):
    h = (i * 2654435761 + 12345) & 0xFFFFFFFF
    hay.append(f"{groups[i % 8]}_{words[(i // 8) % 7]}_{i}".lower() + f"\x1f0x{h:08x}\x1f{h}")
times = []
for _ in range(9):
    start = time.perf_counter()
    rows = [i for i, s in enumerate(hay) if text in s]
    everything = list(range(n))
    times.append(time.perf_counter() - start)
print(f"{statistics.median(times):.6f}")

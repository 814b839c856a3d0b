#!/usr/bin/env python3
"""Writes Brenzo's application icon: brenzo.svg and brenzo-SIZE.png for each size asked for.

One drawing, kept here as numbers on a 64-unit square: a rounded blue tile with a white
waveform across it. The SVG states it; the PNGs are the same shapes rasterised here (pure
Python, 4 samples a pixel), so that the build needs no image tool.
Usage: make-icons.py OUTDIR SIZE...
"""
import math
import struct
import sys
import zlib

TILE = (2.0, 2.0, 60.0, 60.0, 12.0)  # x, y, width, height, corner radius
TOP, BOTTOM = (120, 180, 255), (20, 70, 170)
EDGE = (15, 55, 140)
HEIGHTS = [6, 14, 22, 10, 18, 26, 12, 20, 8, 4]
STROKE = 2.6


def wave_points():
    points = [(8.0, 32.0)]
    for i, h in enumerate(HEIGHTS):
        x = 10 + i * 4.8
        points += [(x, 32.0 - h), (x + 2.4, 32.0 + h)]
    points.append((56.0, 32.0))
    return points


def svg():
    x, y, w, h, r = TILE
    path = " ".join(f"{'M' if i == 0 else 'L'}{px:g},{py:g}" for i, (px, py) in enumerate(wave_points()))
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
  <defs>
    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="rgb{TOP}"/>
      <stop offset="1" stop-color="rgb{BOTTOM}"/>
    </linearGradient>
  </defs>
  <rect x="{x:g}" y="{y:g}" width="{w:g}" height="{h:g}" rx="{r:g}" fill="url(#tile)" stroke="rgb{EDGE}" stroke-width="1.5"/>
  <path d="{path}" fill="none" stroke="#fff" stroke-width="{STROKE:g}" stroke-linecap="round" stroke-linejoin="round"/>
</svg>
"""


def inside_tile(px, py):
    x, y, w, h, r = TILE
    cx = min(max(px, x + r), x + w - r)
    cy = min(max(py, y + r), y + h - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r and x <= px <= x + w and y <= py <= y + h


def near_wave(px, py, segments):
    limit = (STROKE / 2) ** 2
    for (ax, ay, dx, dy, length2) in segments:
        t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
        if (px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2 <= limit:
            return True
    return False


def png(size):
    points = wave_points()
    segments = [(a[0], a[1], b[0] - a[0], b[1] - a[1], (b[0] - a[0]) ** 2 + (b[1] - a[1]) ** 2)
                for a, b in zip(points, points[1:])]
    scale = 64.0 / size
    offsets = (0.25, 0.75)
    rows = []
    for j in range(size):
        row = bytearray([0])
        for i in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for oy in offsets:
                for ox in offsets:
                    px, py = (i + ox) * scale, (j + oy) * scale
                    if not inside_tile(px, py):
                        continue
                    t = (py - TILE[1]) / TILE[3]
                    if 8 <= px <= 56 and 4 <= py <= 60 and near_wave(px, py, segments):
                        colour = (255, 255, 255)
                    else:
                        colour = tuple(a + (b - a) * t for a, b in zip(TOP, BOTTOM))
                    for k in range(3):
                        acc[k] += colour[k]
                    acc[3] += 1
            n = acc[3]
            if n:
                row += bytes([round(acc[0] / n), round(acc[1] / n), round(acc[2] / n), round(255 * n / 4)])
            else:
                row += bytes(4)
        rows.append(bytes(row))

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) +
            chunk(b"IEND", b""))


def main():
    out, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
    with open(f"{out}/brenzo.svg", "w", encoding="utf-8") as f:
        f.write(svg())
    for size in sizes:
        with open(f"{out}/brenzo-{size}.png", "wb") as f:
            f.write(png(size))


if __name__ == "__main__":
    main()

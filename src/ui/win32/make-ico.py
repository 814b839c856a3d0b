#!/usr/bin/env python3
"""Packs the application icon's PNGs (written by data/make-icons.py) into one Windows .ico.

Each image is stored as PNG inside the icon, which Windows reads from Vista on; the sizes are
read from the PNGs' own headers.
Usage: make-ico.py OUT.ico IMAGE.png...
"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("make-ico.py: not a PNG file")
    return struct.unpack(">II", data[16:24])


def main():
    out, inputs = sys.argv[1], sys.argv[2:]
    images = []
    for name in inputs:
        with open(name, "rb") as f:
            images.append(f.read())
    images.sort(key=lambda d: png_size(d)[0])
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, bodies = b"", b""
    for data in images:
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise SystemExit("make-ico.py: an icon image is at most 256 pixels wide")
        # 256 is written as 0: the field is one byte.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        bodies += data
    with open(out, "wb") as f:
        f.write(header + entries + bodies)


if __name__ == "__main__":
    main()

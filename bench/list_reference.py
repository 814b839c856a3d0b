#!/usr/bin/env python3
"""What `brenzo-cli list` does, written plainly in Python: parse a sound bank's directory and
info records, read "Hashes.ini", print index, name, duration and rate. The listing benchmark
compares the two."""
import struct
import sys


def read_names(path):
    names = {}
    section = False
    with open(path, "rb") as f:
        text = f.read().decode("utf-8", "replace")
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line[1:line.find("]")].strip().lower() == "hashes"
            continue
        if not section or "=" not in line:
            continue
        key, value = line.split("=", 1)
        key = key.strip()
        value = value.strip()
        if len(value) >= 2 and value[0] in "\"'" and value[-1] == value[0]:
            value = value[1:-1]
        if key.isdigit():
            names.setdefault(int(key), value[:2047])
    return names


def main():
    bank_path, ini_path = sys.argv[1], sys.argv[2]
    names = read_names(ini_path)
    with open(bank_path, "rb") as f:
        image = f.read()
    (count,) = struct.unpack_from("<I", image, 16)
    info_base = 28 + 16 * count
    out = []
    for i in range(count):
        offset, _, hash_, _ = struct.unpack_from("<IIII", image, 28 + 16 * i)
        _, _, _, size, size2, _, rate, _, comp = struct.unpack_from("<IIIIIiHHI", image, info_base + offset)
        seconds = size2 // rate if rate else 0
        name = names.get(hash_, "0x%04X" % hash_)
        out.append("%d\t%s\t%02d:%02d:%02d\t%d Hz" % (i, name, seconds // 3600 % 24, seconds // 60 % 60, seconds % 60, rate))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()

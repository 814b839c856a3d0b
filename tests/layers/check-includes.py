#!/usr/bin/env python3
"""Checks every #include "dir/..." under src/ against the layers of the design: a folder may
include its own headers and those of the folders below it, never one above or beside it.
Usage: check-includes.py SRC_DIR   (prints each include that points the wrong way; exit 1 if any)
"""
import pathlib
import re
import sys

# Each folder and the folders it builds on directly; what they build on is allowed too.
# `engine` knows nothing of containers, but it writes its WAV files through codec's one WAV
# header writer (codec/Wav.h) rather than a second copy, and reaches files through platform: so
# engine -> codec and engine -> platform are allowed, and nothing in codec may reach up into
# containers or the engine. The README's "Layout" section states the same rules.
LAYERS = {
    "common": [],
    "platform": ["common"],
    "codec": ["common"],
    "formats": ["codec", "common"],
    "radio": ["common", "platform"],
    "engine": ["codec", "common", "platform"],
    "workspace": ["formats", "platform"],
    "export": ["formats", "codec", "workspace"],
    "replace": ["formats", "codec", "workspace", "export", "engine"],
    "preview": ["engine", "export"],
    "control": ["workspace", "export", "replace", "preview", "engine"],
    "cli": ["workspace", "export", "replace", "preview", "radio", "engine"],
    "ui": ["control", "workspace", "export", "replace", "preview", "radio", "engine"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]*"', re.MULTILINE)


def allowed(folder):
    seen, todo = {folder}, list(LAYERS[folder])
    while todo:
        below = todo.pop()
        if below not in seen:
            seen.add(below)
            todo += LAYERS[below]
    return seen


def main():
    src = pathlib.Path(sys.argv[1])
    wrong = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in LAYERS:
            wrong.append(f"{path.relative_to(src)}: the folder {folder}/ is in no layer")
            continue
        ok = allowed(folder)
        for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if target in LAYERS and target not in ok:
                wrong.append(f"{path.relative_to(src)}: includes {target}/, which {folder}/ may not use")
    for line in wrong:
        print(line)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())

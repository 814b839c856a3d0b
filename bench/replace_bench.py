#!/usr/bin/env python3
"""The replace benchmarks, run by scripts/bench: replacing one sound of a 500 MB bank against
copying the file, with the replace's peak memory against the file's size; replacing all
channels of a 10-minute stereo file against ffmpeg encoding the same samples to IMA ADPCM;
importing a folder of 50 changed sounds into a 500 MB bank against replacing one of them."""
import os
import re
import shutil
import statistics
import subprocess
import sys
import time
import math
import struct
import wave
import json

RUNS = 5


def run(cmd):
    return subprocess.run(cmd, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def timed(cmd):
    """Wall time and peak resident memory (KiB) of a command."""
    start = time.perf_counter()
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, check=True, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True).stderr
    return time.perf_counter() - start, int(out.strip().splitlines()[-1])


def cpu_timed(cmd):
    """Wall time and processor time (user plus system) of a command."""
    start = time.perf_counter()
    out = subprocess.run(["/usr/bin/time", "-f", "%U %S"] + cmd, check=True, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True).stderr
    user, system = (float(x) for x in out.strip().splitlines()[-1].split())
    return time.perf_counter() - start, user + system


def main():
    bin_dir, work = sys.argv[1], sys.argv[2]
    sections = sys.argv[3:]
    bench = os.path.join(bin_dir, "brenzo-bench")
    cli = os.path.join(bin_dir, "brenzo-cli")
    f = lambda name: os.path.join(work, name)

    if "replace" in sections:
        run([bench, "makebig", "2000", "500", f("big.bin")])
        run([bench, "makepcm", "10", f("mono.wav")])
        size = os.path.getsize(f("big.bin"))
        whole, rebuild, save, theirs, synced, rss = [], [], [], [], [], []
        for _ in range(RUNS):
            # The rebuild and the save, timed inside the program (the file is already open in
            # the editor when a replace starts); then the whole CLI run for its memory.
            r, s = (float(x) for x in run([bench, "rebuild", f("big.bin"), "1000"]).stdout.split())
            rebuild.append(r)
            save.append(s)
            t, m = timed([cli, "replace", f("big.bin"), "--index", "1000", f("mono.wav")])
            whole.append(t)
            rss.append(m)
            theirs.append(timed(["cp", f("big.bin"), f("copy.bin")])[0])
            # A durable copy: cp, then the copy flushed to the disk (coreutils' sync FILE).
            synced.append(timed(["sh", "-c", 'cp "$1" "$2" && sync "$2"', "sh", f("big.bin"), f("copy2.bin")])[0])
            os.remove(f("copy.bin"))
            os.remove(f("copy2.bin"))
        mr, ms_, mw = statistics.median(rebuild), statistics.median(save), statistics.median(whole)
        mt, mf = statistics.median(theirs), statistics.median(synced)
        mo = mr + ms_
        print(f"{'rebuild+save 1 of 2000, ' + str(size >> 20) + ' MB':<34} ours {mo * 1000:9.1f} ms   "
              f"cp {mt * 1000:9.1f} ms   ratio {mt / mo:5.2f}x")
        print(f"{'  the same, both flushed to disk':<34} ours {mo * 1000:9.1f} ms   cp+fsync {mf * 1000:9.1f} ms   "
              f"ratio {mf / mo:5.2f}x   (rebuild {mr * 1000:.0f} ms, save {ms_ * 1000:.0f} ms; goal: ours at most "
              f"1.25x cp+fsync, ratio >= 0.80)")
        print(f"{'  whole brenzo-cli replace':<34} {mw * 1000:9.1f} ms (open, convert, rebuild, save)")
        print(f"{'  peak memory of that replace':<34} {max(rss) / 1024:.0f} MiB = {max(rss) * 1024 / size:.2f}x the file"
              f" (goal: at most 1.30x)")
        # Opening: the listing of the same (warm) file against reading it.
        ours, theirs = [], []
        for _ in range(RUNS):
            ours.append(timed([cli, "list", f("big.bin")])[0])
            theirs.append(timed(["sh", "-c", 'cat "$1" > /dev/null', "sh", f("big.bin")])[0])
        mo, mt = statistics.median(ours), statistics.median(theirs)
        print(f"{'list of that 500 MB bank':<34} ours {mo * 1000:9.1f} ms   cat {mt * 1000:9.1f} ms   "
              f"ratio {mt / mo:5.2f}x (goal: >= 0.67x)")
        os.remove(f("big.bin"))

    if "replace-multi" in sections:
        run([bench, "makemulti", "600", f("music.bin")])
        run([bench, "makestereo", "600", f("stereo.wav")])
        ours, theirs, ours_cpu, theirs_cpu = [], [], [], []
        for _ in range(RUNS):
            shutil.copyfile(f("music.bin"), f("m.bin"))
            t, c = cpu_timed([cli, "replace", f("m.bin"), f("stereo.wav")])
            ours.append(t)
            ours_cpu.append(c)
            t, c = cpu_timed(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", f("stereo.wav"), "-c:a",
                              "adpcm_ima_wav", f("ff.wav")])
            theirs.append(t)
            theirs_cpu.append(c)
        mo, mt = statistics.median(ours), statistics.median(theirs)
        print(f"{'replace all, 10 min stereo file':<34} ours {mo * 1000:9.1f} ms   ffmpeg {mt * 1000:9.1f} ms   "
              f"ratio {mt / mo:5.2f}x (goal: >= 2x)")
        # On a busy machine the wall time follows the processor time a run needs, whatever the
        # number of its threads.
        mo, mt = statistics.median(ours_cpu), statistics.median(theirs_cpu)
        print(f"{'  processor time (user + system)':<34} ours {mo * 1000:9.1f} ms   ffmpeg {mt * 1000:9.1f} ms   "
              f"ratio {mt / mo:5.2f}x")
        # A mono source copied to both channels (--mix), against ffmpeg making the same stereo file.
        run([bench, "makepcm", "600", f("mono.wav")])
        ours, theirs = [], []
        for _ in range(RUNS):
            shutil.copyfile(f("music.bin"), f("m.bin"))
            ours.append(cpu_timed([cli, "replace", f("m.bin"), f("mono.wav"), "--mix"])[0])
            theirs.append(cpu_timed(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", f("mono.wav"), "-ac", "2",
                                     "-c:a", "adpcm_ima_wav", f("ff.wav")])[0])
        mo, mt = statistics.median(ours), statistics.median(theirs)
        print(f"{'  a mono source copied to both':<34} ours {mo * 1000:9.1f} ms   ffmpeg {mt * 1000:9.1f} ms   "
              f"ratio {mt / mo:5.2f}x")

    if "replace-import" in sections:
        # Both runs name the sounds by their hashes (no names file), convert, rebuild and save
        # the whole bank once; the import converts and encodes 50 sounds instead of one.
        run([bench, "makebig", "2000", "500", f("big.bin")])
        none = f("no-names.ini")
        names = [e["name"] for e in json.loads(run([cli, "--hashes", none, "list", f("big.bin"), "--json"]).stdout)]
        folder = f("import")
        os.makedirs(folder, exist_ok=True)
        for k in range(50):
            with wave.open(os.path.join(folder, names[k * 40] + ".wav"), "wb") as w:
                w.setnchannels(1)
                w.setsampwidth(2)
                w.setframerate(22050)
                w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(i * (0.05 + k * 0.001))))
                                       for i in range(22050 * 3)))
        one = os.path.join(folder, names[0] + ".wav")
        single, many = [], []
        for _ in range(RUNS):
            single.append(timed([cli, "--hashes", none, "replace", f("big.bin"), "--index", "0", one,
                                 "--no-backup"])[0])
            many.append(timed([cli, "--hashes", none, "import-all", f("big.bin"), "-d", folder, "--no-backup"])[0])
        ms, mm = statistics.median(single), statistics.median(many)
        print(f"{'import-all 50 of 2000, 500 MB':<34} ours {mm * 1000:9.1f} ms   one replace {ms * 1000:9.1f} ms   "
              f"ratio {mm / ms:5.2f}x (goal: at most 1.50x)")
        shutil.rmtree(folder)
        os.remove(f("big.bin"))


if __name__ == "__main__":
    main()

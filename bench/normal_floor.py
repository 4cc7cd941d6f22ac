#!/usr/bin/env python3
"""The native floor of the Normal Backup's copy scheme, without Wine:
    bench/normal_floor.py [--repeat N] CORPUS_DIR

Times, best of N into an empty folder, `cp` of the .dat/.idx files then `sync`, and the same
files each written to a temporary name, flushed with fsync and renamed into place one after
another, as the program does for every file. The ratio between the two is the most any
implementation of that scheme can reach on this disk.
"""
import argparse
import os
import shutil
import subprocess
import tempfile
import time


def copy_flushed(src, dst, names):
    for name in names:
        tmp = os.path.join(dst, "~" + name + ".tmp")
        with open(os.path.join(src, name), "rb") as i, open(tmp, "wb") as o:
            shutil.copyfileobj(i, o, 1 << 20)
            o.flush()
            os.fsync(o.fileno())
        os.replace(tmp, os.path.join(dst, name))


def cp_then_sync(src, dst, names):
    subprocess.run(["cp", "-t", dst] + [os.path.join(src, n) for n in names], check=True)
    os.sync()


def best(run, src, names, repeat):
    times = []
    for _ in range(repeat):
        with tempfile.TemporaryDirectory() as dst:
            os.sync()
            start = time.perf_counter()
            run(src, dst, names)
            times.append(time.perf_counter() - start)
    return min(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("corpus")
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    names = sorted(n for n in os.listdir(args.corpus) if n.lower().endswith((".dat", ".idx")))
    cp = best(cp_then_sync, args.corpus, names, args.repeat)
    flushed = best(copy_flushed, args.corpus, names, args.repeat)
    print(f"cp && sync: {cp:.3f} s")
    print(f"temporary file, fsync, rename, one file after another: {flushed:.3f} s"
          f" ({cp / flushed:.2f}x the throughput of cp && sync)")


if __name__ == "__main__":
    main()

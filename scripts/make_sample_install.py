#!/usr/bin/env python3
"""Prepares a sample messenger install for trying Chathoard out.

Writes <root>/ICQ/db with generated *.dat and *.idx files (a few MB) and an empty
<root>/Backups folder to back up into. The database comes from bench/make_corpus.py;
when that is not available, a small built-in generator writes a plainer one.
An existing sample is left as it is, so repeated runs are quick and keep the user's
experiments (delete the ICQ folder to get a fresh one).
"""
import argparse
import os
import random
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "bench", "make_corpus.py")


def is_database_file(name):
    return name.lower().endswith((".dat", ".idx"))


def has_database(db):
    return os.path.isdir(db) and any(is_database_file(n) for n in os.listdir(db))


def write_plain_database(db, size_mb, seed):
    """Record-structured .dat files with a matching .idx table each."""
    rng = random.Random(seed)
    words = "hello see you tomorrow thanks ok the file is here call me later lol :)".split()
    os.makedirs(db, exist_ok=True)
    budget = int(size_mb * 1024 * 1024)
    uin = 12345678
    # One large history file, then ever smaller per-contact files.
    share = 0.5
    while budget > 0:
        target = max(2048, int(budget * share)) if share < 1 else budget
        share = min(1.0, share + 0.1)
        records, index, offset, stamp = [], [], 0, 1_000_000_000 + uin
        while offset < target:
            text = " ".join(rng.choice(words) for _ in range(rng.randint(3, 40))).encode()
            stamp += rng.randint(1, 5000)
            record = struct.pack("<IHII", len(text), 1, uin, stamp) + text
            index.append(struct.pack("<III", len(records), offset, stamp))
            records.append(record)
            offset += len(record)
        with open(os.path.join(db, "%d.dat" % uin), "wb") as f:
            f.write(b"".join(records))
        with open(os.path.join(db, "%d.idx" % uin), "wb") as f:
            f.write(b"".join(index))
        budget -= offset
        uin += 1


def make_database(db, size_mb, seed):
    if os.path.isfile(CORPUS):
        subprocess.run([sys.executable, CORPUS, "--size-mb", str(size_mb), "--out", db,
                        "--seed", str(seed)], check=True, stdout=subprocess.DEVNULL)
    else:
        write_plain_database(db, size_mb, seed)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", required=True, help="folder that receives ICQ and Backups")
    ap.add_argument("--size-mb", type=float, default=3)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args(argv)

    db = os.path.join(args.root, "ICQ", "db")
    if not has_database(db):
        make_database(db, args.size_mb, args.seed)
    os.makedirs(os.path.join(args.root, "Backups"), exist_ok=True)
    files = sorted(n for n in os.listdir(db) if is_database_file(n))
    size = sum(os.path.getsize(os.path.join(db, n)) for n in files)
    print("sample messenger install: %s (%d database files, %.1f MB)"
          % (os.path.join(args.root, "ICQ"), len(files), size / 1e6))


if __name__ == "__main__":
    main()

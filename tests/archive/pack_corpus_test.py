#!/usr/bin/env python3
"""Packs a small generated messenger database through the library's four entries (the
azip_bench driver) and checks the archive with every reader.

usage: pack_corpus_test.py AZIP_BENCH MAKE_CORPUS

Also checks that the corpus generator is deterministic (the sample install and the
benchmarks rely on it) and that packing the same files twice gives the same bytes, which
parallel compression must not disturb.
"""
import filecmp
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def main(azip_bench, make_corpus):
    with tempfile.TemporaryDirectory(prefix="azip32-corpus-") as tmp:
        corpora = []
        for name in ("a", "b"):
            out = os.path.join(tmp, name)
            subprocess.run([sys.executable, make_corpus, "--size-mb", "3", "--out", out],
                           check=True)
            corpora.append(out)
        same = filecmp.dircmp(*corpora)
        if same.diff_files or same.left_only or same.right_only:
            sys.exit("make_corpus.py is not deterministic: %r" % same.diff_files)

        corpus = corpora[0]
        files = sorted(f for f in os.listdir(corpus) if f.endswith((".dat", ".idx")))
        listing = os.path.join(tmp, "icqtemp.dat")
        with open(listing, "wb") as f:
            for name in files:
                f.write(os.path.join(corpus, name).encode() + b"\r\n")
        archives = [os.path.join(tmp, "one.zip"), os.path.join(tmp, "two.zip")]
        for archive in archives:
            subprocess.run([azip_bench, archive, listing], check=True)
        if not filecmp.cmp(*archives, shallow=False):
            sys.exit("two runs over the same files gave different archives")

        manifest = os.path.join(tmp, "manifest.txt")
        with open(manifest, "w") as f:
            for name in files:
                f.write("%s %s\n" % (name.encode().hex(),
                                     os.path.join(corpus, name).encode().hex()))
        subprocess.run([sys.executable, os.path.join(HERE, "check_zip.py"), archives[0],
                        manifest], check=True)


if __name__ == "__main__":
    main(*sys.argv[1:])

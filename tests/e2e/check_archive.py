#!/usr/bin/env python3
"""Reads the archive the end-to-end ZIP backup left and compares it with the sample messenger
database: exactly its *.dat and *.idx files, byte for byte, and a clean `unzip -t`.
Exits 77 (skipped) when the driver could not run the ZIP backup."""
import fnmatch
import os
import subprocess
import sys
import zipfile

work = sys.argv[1]
if os.path.exists(os.path.join(work, "zip-skipped")):
    print("ZIP backup was skipped by the driver")
    sys.exit(77)
archive = os.path.join(work, "n", "Zip", "chathoard.zip")
db = os.path.join(work, "m", "ICQ", "db")
expected = sorted(n for n in os.listdir(db)
                  if fnmatch.fnmatch(n.lower(), "*.dat") or fnmatch.fnmatch(n.lower(), "*.idx"))
with zipfile.ZipFile(archive) as z:
    assert z.testzip() is None, "a member fails its CRC check"
    names = sorted(os.path.basename(i.filename) for i in z.infolist())
    assert names == expected, f"archive holds {names}, expected {expected}"
    for info in z.infolist():
        with open(os.path.join(db, os.path.basename(info.filename)), "rb") as f:
            assert z.read(info) == f.read(), f"{info.filename} differs from the sample"
subprocess.run(["unzip", "-tq", archive], check=True)
print(f"{archive}: {len(expected)} files, all equal to the sample")

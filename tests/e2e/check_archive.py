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

# The ZIP Backup made while a password was set through the window: 7-Zip lists every entry as
# AES-256, and opens it with that password only.
encrypted = os.path.join(work, "n", "Encrypted", "chathoard.zip")
if os.path.exists(encrypted):
    listing = subprocess.run(["7z", "l", "-slt", "-ppa55 word", encrypted], check=True,
                             capture_output=True, text=True).stdout
    methods = [line for line in listing.splitlines() if line.startswith("Method = ")]
    assert len(methods) == len(expected), listing
    assert all("AES-256" in m for m in methods), methods
    subprocess.run(["7z", "t", "-ppa55 word", encrypted], check=True, capture_output=True)
    wrong = subprocess.run(["7z", "t", "-pwrong", encrypted], capture_output=True)
    assert wrong.returncode != 0, "7-Zip opened the encrypted archive with a wrong password"
    print(f"{encrypted}: {len(methods)} entries, all AES-256")

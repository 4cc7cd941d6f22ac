#!/usr/bin/env python3
"""Writes a ZIP archive whose bytes depend only on the files' names and contents.

    pack_zip.py OUT.zip FILE...

Every file is stored under its bare name, entries are sorted by name, and each entry
carries the same fixed date and attributes, so packing the same files twice (on any
day, in any order, with any timestamps or permissions on disk) gives the same archive.
The archive is written beside OUT.zip under a temporary name and renamed over it only
when complete.
"""
import os
import sys
import zipfile

# 2026-01-01 00:00:00, the date every entry carries.
FIXED_DATE = (2026, 1, 1, 0, 0, 0)
# -rw-r--r--, a regular file, in the upper half of the external attributes.
FILE_ATTRIBUTES = (0o100644 << 16)


def pack(out, paths):
    names = [os.path.basename(p) for p in paths]
    if len(set(n.lower() for n in names)) != len(names):
        raise ValueError("two files with the same name: %s" % ", ".join(sorted(names)))
    tmp = out + ".tmp"
    try:
        with zipfile.ZipFile(tmp, "w") as archive:
            for name, path in sorted(zip(names, paths)):
                info = zipfile.ZipInfo(name, FIXED_DATE)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.create_system = 3
                info.external_attr = FILE_ATTRIBUTES
                with open(path, "rb") as f:
                    archive.writestr(info, f.read(), compresslevel=9)
        os.replace(tmp, out)
    finally:
        if os.path.exists(tmp):
            os.remove(tmp)


def main(argv):
    if len(argv) < 2:
        sys.exit("usage: pack_zip.py OUT.zip FILE...")
    try:
        pack(argv[0], argv[1:])
    except (OSError, ValueError) as e:
        sys.exit("pack_zip: %s" % e)


if __name__ == "__main__":
    main(sys.argv[1:])

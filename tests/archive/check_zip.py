#!/usr/bin/env python3
"""Checks an archive written by azip32 with independent readers.

usage: check_zip.py ARCHIVE MANIFEST

MANIFEST has one line per expected entry, in archive order: the entry name and the path of
the file whose bytes it must hold, both hex-encoded (names and paths may be any bytes),
separated by a space. Python's zipfile reads every entry and compares its bytes, name,
UTF-8 flag, DOS time and extended timestamp; unzip -t, bsdtar -tf and 7z t must accept the
archive. Prints what differs and exits 1 on the first problem.
"""
import os
import subprocess
import sys
import time
import zipfile


def fail(message):
    print("check_zip: " + message)
    sys.exit(1)


def run(args, accept=(0,), also_ok=None):
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    out = done.stdout.decode("utf-8", "replace")
    if done.returncode not in accept and not (also_ok and also_ok in out):
        fail("%s exited %d:\n%s" % (" ".join(args), done.returncode, out))
    return out


def timestamp_extra(extra):
    i = 0
    while i + 4 <= len(extra):
        ident = int.from_bytes(extra[i:i + 2], "little")
        size = int.from_bytes(extra[i + 2:i + 4], "little")
        if ident == 0x5455:
            return int.from_bytes(extra[i + 5:i + 9], "little")
        i += 4 + size
    return None


def check_with_zipfile(archive, expected):
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            fail("zipfile: bad CRC in %r" % bad)
        infos = z.infolist()
        if len(infos) != len(expected):
            fail("zipfile: %d entries, expected %d" % (len(infos), len(expected)))
        for info, (name, path) in zip(infos, expected):
            utf8 = bool(info.flag_bits & 0x800)
            raw_name = info.filename.encode("utf-8" if utf8 else "cp437")
            if raw_name != name:
                fail("zipfile: name %r, expected %r" % (raw_name, name))
            if utf8 != any(b >= 0x80 for b in name):
                fail("zipfile: UTF-8 flag %s on %r" % (utf8, name))
            with open(path, "rb") as f, z.open(info) as packed:
                while True:
                    want = f.read(1 << 20)
                    if packed.read(1 << 20) != want:
                        fail("zipfile: content of %r differs from %r" % (name, path))
                    if not want:
                        break
            mtime = int(os.stat(path).st_mtime)
            if time.localtime(mtime)[:5] != info.date_time[:5]:
                fail("zipfile: DOS time %r of %r, file says %r" %
                     (info.date_time, name, time.localtime(mtime)[:6]))
            if timestamp_extra(info.extra) != mtime:
                fail("zipfile: extended timestamp of %r is %r, expected %d" %
                     (name, timestamp_extra(info.extra), mtime))


def main(argv):
    if len(argv) != 2:
        fail(__doc__)
    archive, manifest = argv
    expected = []
    with open(manifest) as f:
        for line in f:
            if line.strip():
                name, path = line.split()
                expected.append((bytes.fromhex(name), os.fsdecode(bytes.fromhex(path))))
    check_with_zipfile(archive, expected)
    # Info-ZIP's unzip calls an empty archive a warning (exit 1) but reads it.
    run(["unzip", "-tq", archive], also_ok="zipfile is empty" if not expected else None)
    listed = run(["bsdtar", "-tf", archive]).splitlines()
    if len(listed) != len(expected):
        fail("bsdtar lists %d entries, expected %d" % (len(listed), len(expected)))
    out = run(["7z", "t", archive])
    if "Everything is Ok" not in out:
        fail("7z t:\n" + out)
    print("check_zip: %s ok (%d entries)" % (archive, len(expected)))


if __name__ == "__main__":
    main(sys.argv[1:])

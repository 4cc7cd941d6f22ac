#!/usr/bin/env python3
"""Gives a help file compiled by chmcmd the same bytes on every build.

    normalize_chm.py FILE.chm EPOCH

chmcmd stamps the compile time (milliseconds of the day) into two places: the ITSF file
header and the #SYSTEM entry with code 10, which lives in the uncompressed section 0.
Both are set to the time of day of EPOCH (seconds since 1970, UTC), so a release keeps a
plausible stamp that depends only on the commit. The file is rewritten in place.

chmcmd also writes two bytes of uninitialised memory into the keyword index; those only
repeat when it runs without address-space randomisation (setarch -R), which is how
scripts/release.sh runs it.
"""
import sys

# #SYSTEM starts with its version (3) and then entry 10 (length 4: the time stamp),
# followed by entry 9 (the compiler's version text).
SYSTEM_START = b"\x03\x00\x00\x00\x0a\x00\x04\x00"
ENTRY_9 = b"\x09\x00"


def normalize(data, epoch):
    data = bytearray(data)
    if data[:4] != b"ITSF":
        raise ValueError("not a compiled help file (no ITSF signature)")
    stamp = (epoch % 86400) * 1000
    data[0x10:0x14] = stamp.to_bytes(4, "big")
    at = data.find(SYSTEM_START)
    while at >= 0 and data[at + 12:at + 14] != ENTRY_9:
        at = data.find(SYSTEM_START, at + 1)
    if at < 0:
        raise ValueError("no #SYSTEM time stamp found")
    data[at + 8:at + 12] = stamp.to_bytes(4, "little")
    return bytes(data)


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: normalize_chm.py FILE.chm EPOCH")
    path, epoch = argv[0], int(argv[1])
    try:
        with open(path, "rb") as f:
            data = normalize(f.read(), epoch)
        with open(path, "wb") as f:
            f.write(data)
    except (OSError, ValueError) as e:
        sys.exit("normalize_chm: %s: %s" % (path, e))


if __name__ == "__main__":
    main(sys.argv[1:])

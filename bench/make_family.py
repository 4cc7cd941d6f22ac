#!/usr/bin/env python3
"""Writes the family of deliberately different benchmark databases, each from a fixed seed.

The encoder's settings are chosen by the worst of these, so that a user's database, which
is none of them, is not the one the settings happened to be tuned on. Each corpus is a `db`
folder of .dat/.idx files (the files the ZIP Backup takes):

  today       make_corpus.py's messenger database (three large histories, many small ones)
  text        exported chat logs: timestamped lines in eleven languages and scripts, each
              file UTF-8 or UTF-16LE, no binary headers
  index       index-heavy: tables of small integers, offsets, deltas and bitmaps in several
              record layouts, with small .dat files beside them
  large       one history file of at least 512 MiB and its index
  small       5,000 small files of 4 to 64 KiB: record histories, text logs and tables
  compressed  histories with file transfers inline, plus received images and archives
              (JPEG-like noise, PNG-like deflate streams, real ZIP/deflate archives,
              uncompressed bitmaps) stored as .dat files

  make_family.py --out DIR [--only NAME ...] [--scale F]

Writes DIR/NAME for each corpus not yet complete (DIR/NAME/.complete marks a finished one).
--scale shrinks or grows every corpus but `large` (whose size is the point) and `small`
(whose file count is); the defaults give about 1.3 GB in all.
"""
import argparse
import os
import random
import shutil
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_corpus  # noqa: E402

MIB = 1 << 20

# Scripts beyond make_corpus's code-page languages, for the Unicode text corpora.
EXTRA_SCRIPTS = {
    "el": "κα το να ει ου τη με αι ερ ον πο ση λο γι στ ητ ια".split(),
    "zh": "的 一 是 不 了 人 我 在 有 他 这 中 大 来 上 国 个 到 说 们 为 子 和 你 地 出 道 也 时 年".split(),
    "ar": "ال ون ين ان ات لا من في ما ها با لي كر سل عم".split(),
    "he": "של את זה לא על הם אני מה כי גם יש היה".split(),
    "ko": "이 는 다 에 의 고 를 하 한 지 서 요 니 안녕 감사".split(),
}


class TextWriter(make_corpus.Writer):
    """make_corpus's Writer for any script; message() returns str, encoded by the caller."""

    def __init__(self, rng, lang):
        if lang in EXTRA_SCRIPTS:  # known to Writer only while it is built
            make_corpus.LANGUAGES[lang] = ("utf-8", EXTRA_SCRIPTS[lang])
            try:
                super().__init__(rng, lang)
            finally:
                del make_corpus.LANGUAGES[lang]
        else:
            super().__init__(rng, lang)
        self.encoding = "utf-8"

    def line(self):
        return self.message().decode("utf-8")


def all_text_writers(rng):
    langs = sorted(make_corpus.LANGUAGES) + sorted(EXTRA_SCRIPTS)
    return [TextWriter(rng, lang) for lang in langs]


def chat_log(rng, writers, size, encoding, start_time):
    """An exported conversation: '[date time] nick: text' lines, CRLF, in one encoding."""
    nicks = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(3, 9)))
             for _ in range(rng.randint(2, 5))]
    writer = rng.choice(writers)
    t = start_time
    out = [("\ufeff" if encoding == "utf-16-le" else "").encode(encoding)]
    written = len(out[0])
    while written < size:
        if rng.random() < 0.02:
            writer = rng.choice(writers)
        t += rng.choice((3, 10, 40, 300, 3600))
        y, rest = divmod(t, 31536000)
        line = "[%04d-%02d-%02d %02d:%02d:%02d] %s: %s\r\n" % (
            1970 + y, 1 + rest // 2678400 % 12, 1 + rest // 86400 % 28, rest // 3600 % 24,
            rest // 60 % 60, rest % 60, rng.choice(nicks), writer.line())
        data = line.encode(encoding)
        out.append(data)
        written += len(data)
    return b"".join(out)


def write(path, data, mtime=1262304000):
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (mtime, mtime))


def corpus_today(out, rng, scale):
    make_corpus.main(["--size-mb", str(256 * scale), "--out", out, "--seed", "1"])


def corpus_text(out, rng, scale):
    writers = all_text_writers(rng)
    total = int(96 * scale * MIB)
    i = 0
    while total > 0:
        size = min(total, int(rng.random() ** 3 * 12 * MIB) + 20000)
        encoding = "utf-16-le" if i % 2 else "utf-8"
        write(os.path.join(out, "%d.dat" % (20000000 + i)),
              chat_log(rng, writers, size, encoding, 1000000000 + i * 7777))
        total -= size
        i += 1


def index_table(rng, entries, layout):
    """One index table; layouts differ in width, field order and how values change."""
    rid, off, t = rng.randint(1, 1000), 64, 1000000000 + rng.randint(0, 10 ** 8)
    rows = []
    for _ in range(entries):
        step = rng.choice((46, 52, 60, 75, 90, 130, 200, 410)) + rng.randint(0, 40)
        rid += 1
        off += step
        t += rng.choice((1, 2, 5, 10, 45, 600))
        flags = rng.choice((0, 0, 1, 1, 0x10, 0x11))
        if layout == 0:    # id, offset, time, flags, reserved
            rows.append(struct.pack("<IIIII", rid, off, t, flags, 0))
        elif layout == 1:  # offset, length (u16), kind (u8), flags (u8)
            rows.append(struct.pack("<IHBB", off, step, rng.choice((1, 1, 1, 4, 6, 19)), flags))
        elif layout == 2:  # delta-coded: u16 offset delta, u16 time delta, u8 flags
            rows.append(struct.pack("<HHB", step, t & 0xFFFF, flags))
        elif layout == 3:  # 64-bit offsets and times, small counters
            rows.append(struct.pack("<QQHHI", off, t * 1000, rng.randint(0, 3), flags, rid))
        else:              # a presence bitmap word and a slot number
            rows.append(struct.pack("<IH", rng.getrandbits(8) << rng.randint(0, 24),
                                    rng.randint(0, 400)))
    return b"".join(rows)


def corpus_index(out, rng, scale):
    writers = [make_corpus.Writer(rng, lang) for lang in sorted(make_corpus.LANGUAGES)]
    contacts = rng.sample(range(10000, 400000000), 400)
    total = int(96 * scale * MIB)
    i = 0
    while total > 0:
        layout = i % 5
        entries = int(rng.random() ** 2 * 600000) + 500
        table = struct.pack("<4sII", b"ICIX", 0x20 + layout, entries) + index_table(
            rng, entries, layout)
        stem = str(30000000 + i)
        write(os.path.join(out, stem + ".idx"), table)
        total -= len(table)
        if i % 3 == 0:  # a small history beside some of them
            make_corpus.write_db_pair(out, stem + "h", rng.randint(2000, 60000), rng, writers,
                                      30000000 + i, contacts, 1000000000 + i)
        i += 1


def corpus_large(out, rng, scale):
    """One history file of 520 MiB. Python writes records at a few MB/s, so a 24 MiB pool
    of records is written once and the file is made of 1 MiB pieces of it taken in a
    seeded order; deflate sees 32 KiB at a time, so the pieces compress like new records."""
    writers = [make_corpus.Writer(rng, lang) for lang in sorted(make_corpus.LANGUAGES)]
    contacts = rng.sample(range(10000, 400000000), 300)
    pool_dir = os.path.join(out, "pool")
    os.makedirs(pool_dir)
    make_corpus.write_db_pair(pool_dir, "pool", 24 * MIB, rng, writers, 55555555, contacts,
                              1000000000)
    with open(os.path.join(pool_dir, "pool.dat"), "rb") as f:
        pool = f.read()
    with open(os.path.join(pool_dir, "pool.idx"), "rb") as f:
        index = f.read()
    shutil.rmtree(pool_dir)
    with open(os.path.join(out, "55555555.dat"), "wb") as f:
        for _ in range(520):
            start = rng.randrange(0, len(pool) - MIB)
            f.write(pool[start:start + MIB])
    with open(os.path.join(out, "55555555.idx"), "wb") as f:
        for _ in range(22):
            f.write(index)


def record_history(rng, writers, contacts, size):
    dat = make_corpus.DatFile(rng, writers, 12345678, contacts, 1000000000)
    chunks, written = [], 0
    while written < size:
        rec = dat.record(written)
        chunks.append(rec)
        written += len(rec)
    return b"".join(chunks)[:size]


def corpus_small(out, rng, scale):
    writers = [make_corpus.Writer(rng, lang) for lang in sorted(make_corpus.LANGUAGES)]
    text_writers = all_text_writers(rng)
    contacts = rng.sample(range(10000, 400000000), 400)
    for i in range(5000):
        size = int(4096 * 16 ** rng.random())  # 4 to 64 KiB, as many small as large
        kind = rng.random()
        if kind < 0.6:
            data, ext = record_history(rng, writers, contacts, size), ".dat"
        elif kind < 0.85:
            data = chat_log(rng, text_writers, size, rng.choice(("utf-8", "utf-16-le")),
                            1000000000 + i)[:size]
            ext = ".dat"
        else:
            data = index_table(rng, size // 16, rng.randrange(5))
            data = (data + bytes(size))[:size]
            ext = ".idx"
        write(os.path.join(out, "%d%s" % (40000000 + i, ext)), data)


def jpeg_like(rng, size):
    head = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    head += b"\xff\xdb\x00\x43\x00" + bytes(rng.randint(1, 40) for _ in range(64))
    return head + rng.randbytes(size - len(head) - 2) + b"\xff\xd9"


def bitmap(rng, size):
    """An uncompressed picture: smooth gradients with noise, which deflate shrinks a little."""
    width = 256
    base = [rng.randint(0, 255) for _ in range(3)]
    gradient = bytes((base[c] + x * (c + 1) // 3) & 0xFF for x in range(width) for c in range(3))
    shifts = [bytes((v + k) & 0xFF for v in range(256)) for k in range(256)]
    low_bits = int.from_bytes(b"\x07" * len(gradient), "little")
    rows = []
    for y in range(size // len(gradient) + 1):
        row = int.from_bytes(gradient.translate(shifts[y // 2 & 0xFF]), "little")
        noise = int.from_bytes(rng.randbytes(len(gradient)), "little") & low_bits
        rows.append((row ^ noise).to_bytes(len(gradient), "little"))
    return (b"BM" + b"".join(rows))[:size]


def corpus_compressed(out, rng, scale):
    writers = [make_corpus.Writer(rng, lang) for lang in sorted(make_corpus.LANGUAGES)]
    text_writers = all_text_writers(rng)
    contacts = rng.sample(range(10000, 400000000), 200)
    total = int(128 * scale * MIB)
    i = 0
    while total > 0:
        roll = rng.random()
        name = "%d.dat" % (60000000 + i)
        if roll < 0.3:
            size = rng.randint(1, 8) * MIB
            data = record_history(rng, writers, contacts, size)
            # File transfers inline every few hundred KiB: blocks change between text and
            # noise within one file.
            parts, pos = [], 0
            while pos < len(data):
                step = rng.randint(50000, 400000)
                parts.append(data[pos:pos + step])
                parts.append(rng.randbytes(rng.randint(2000, 40000)))
                pos += step
            data = b"".join(parts)
        elif roll < 0.5:
            data = jpeg_like(rng, rng.randint(20000, 3 * MIB))
        elif roll < 0.65:  # a PNG-like picture: a header and a deflate stream of a bitmap
            data = b"\x89PNG\r\n\x1a\n" + zlib.compress(bitmap(rng, rng.randint(50000, MIB)), 9)
        elif roll < 0.8:   # an archive someone sent: deflated chat logs
            log = chat_log(rng, text_writers, rng.randint(100000, 4 * MIB), "utf-8", 1000000000)
            data = b"PK\x03\x04" + zlib.compress(log, 6)
        elif roll < 0.9:
            data = bitmap(rng, rng.randint(50000, 2 * MIB))
        else:              # a history and its index, as in the plain database
            stem = str(60000000 + i)
            make_corpus.write_db_pair(out, stem, rng.randint(1, 6) * MIB, rng, writers,
                                      60000000 + i, contacts, 1000000000)
            total -= os.path.getsize(os.path.join(out, stem + ".dat"))
            i += 1
            continue
        write(os.path.join(out, name), data)
        total -= len(data)
        i += 1


CORPORA = {
    "today": (corpus_today, 1),
    "text": (corpus_text, 2),
    "index": (corpus_index, 3),
    "large": (corpus_large, 4),
    "small": (corpus_small, 5),
    "compressed": (corpus_compressed, 6),
}


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", required=True)
    ap.add_argument("--only", action="append", choices=sorted(CORPORA))
    ap.add_argument("--scale", type=float, default=1.0)
    args = ap.parse_args(argv)
    for name in args.only or CORPORA:
        make, seed = CORPORA[name]
        dir = os.path.join(args.out, name)
        if os.path.exists(os.path.join(dir, ".complete")):
            continue
        shutil.rmtree(dir, ignore_errors=True)
        os.makedirs(dir)
        print("make_family: writing %s" % dir, file=sys.stderr, flush=True)
        make(dir, random.Random(seed), args.scale)
        open(os.path.join(dir, ".complete"), "w").close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

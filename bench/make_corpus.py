#!/usr/bin/env python3
"""Writes a deterministic, messenger-like database folder for benchmarks and samples.

The folder looks like the `db` folder of a long-used messenger install: a few large
history files (`<uin>.dat`) with their index tables (`<uin>.idx`), many small per-contact
files, and a few unrelated files that are not database files at all.

  .dat  records: a binary header (length, kind, sender, timestamps, flags) followed by
        chat text in several languages and code pages; now and then an embedded file
        transfer (incompressible bytes) or a contact card.
  .idx  tables of fixed-size entries (record id, offset, timestamp, flags), in order.

The same --seed and --size-mb always give byte-identical files. Sizes are approximate
(within a few percent of the request); --size-mb accepts fractions, e.g. 0.5 or 3.
"""
import argparse
import os
import random
import struct
import sys
import zlib

# Syllables per language; words are built from them so that the vocabulary is large and
# follows a Zipf-like frequency, as real chat text does.
LANGUAGES = {
    "en": ("cp1252", "th he an er in re on at en nd ti es or te of ed is it al ar st to nt ng se ha "
                     "as ou io le ve co me de hi ri ro ic ne ea ra ce li ch ll be ma si om ur".split()),
    "de": ("cp1252", "en er ch de ei te in nd ie ge st ne be es un re an he au ng se it di ic sc "
                     "le da ns is ra al ü ä ö ß ung lich keit".split()),
    "es": ("cp1252", "de es en el la os ar ue ra re er as on st ad al an do or ta co se ci no ía "
                     "ción ñ á é ó mente".split()),
    "ru": ("cp1251", "ст но то на ен ов ни ра во ко ет пр ал ре ли ат ер ро ос по ла ка та ть ол "
                     "ом ва ие ел ги ый ая ую".split()),
    "cs": ("cp1250", "př ně st ov po ch na ní je pr ro ko ra te ta ho le en ku ře ší čí ží ů ý".split()),
    "ja": ("utf-8", "の に は を た が で て と し れ さ ある いる する こと ます です 日本 今日 "
                    "明日 元気 ありがとう".split()),
}
SMILEYS = [":)", ":(", ";)", ":D", ":-P", "lol", "))", "<3", "xD", "^_^"]
FIRST_UIN = 12345678


class Writer:
    """Builds one language's vocabulary and produces chat lines from it."""

    def __init__(self, rng, lang):
        self.rng = rng
        self.encoding, syllables = LANGUAGES[lang]
        sep = "" if lang == "ja" else " "
        self.sep = sep
        vocab = set()
        while len(vocab) < 3000:
            n = rng.choice((1, 2, 2, 3, 3, 4))
            vocab.add("".join(rng.choice(syllables) for _ in range(n)))
        self.vocab = sorted(vocab)
        rng.shuffle(self.vocab)
        # Zipf-like weights: the k-th word is about 1/k as frequent as the first.
        self.cum = []
        total = 0.0
        for k in range(1, len(self.vocab) + 1):
            total += 1.0 / k
            self.cum.append(total)
        # Sentences are reused, as people repeat themselves, which deflate exploits.
        self.sentences = [self._sentence() for _ in range(400)]

    def _sentence(self):
        rng = self.rng
        words = rng.choices(self.vocab, cum_weights=self.cum, k=rng.randint(2, 14))
        if rng.random() < 0.2:
            words.append(str(rng.randint(0, 99999)))
        text = self.sep.join(words)
        text = text[:1].upper() + text[1:]
        end = rng.choice((".", ".", "?", "!", "", "..."))
        if rng.random() < 0.25:
            end += " " + rng.choice(SMILEYS)
        return text + end

    def message(self):
        rng = self.rng
        n = rng.choice((1, 1, 1, 2, 2, 3, 5))
        parts = []
        for _ in range(n):
            if rng.random() < 0.9:
                parts.append(rng.choice(self.sentences))
            else:
                parts.append(self._sentence())
        if rng.random() < 0.03:
            parts.append("http://www.%s.example/%d" % (rng.choice(self.vocab[:50]),
                                                     rng.randint(1, 9999)))
        text = self.sep.join(parts) if self.sep else "".join(parts)
        return text.encode(self.encoding, errors="replace")


RECORD_MAGIC = 0x23A5
KIND_MESSAGE, KIND_URL, KIND_FILE, KIND_CONTACT, KIND_AUTH = 1, 4, 3, 0x13, 6


class DatFile:
    """Writes records to one .dat file and remembers them for its .idx table."""

    def __init__(self, rng, writers, owner_uin, contacts, start_time):
        self.rng = rng
        self.writers = writers
        self.owner = owner_uin
        self.contacts = contacts
        self.time = start_time
        self.next_id = 1
        self.index = []
        self.writer = rng.choice(writers)

    def text(self):
        # A conversation stays in one language for a while.
        if self.rng.random() < 0.01:
            self.writer = self.rng.choice(self.writers)
        return self.writer.message()

    def record(self, offset):
        rng = self.rng
        self.time += rng.choice((1, 2, 5, 10, 20, 45, 90, 600))
        if rng.random() < 0.0005:
            self.time += 86400  # a day without chatting
        roll = rng.random()
        if roll < 0.0006:
            kind = KIND_FILE
            name = ("IMG_%04d.jpg" % rng.randint(0, 9999)).encode()
            body = struct.pack("<H", len(name)) + name + rng.randbytes(rng.randint(2000, 20000))
        elif roll < 0.03:
            kind = KIND_CONTACT
            uin = rng.choice(self.contacts)
            body = b"\xfe".join((str(uin).encode(), self.text()[:24],
                                 b"", b"1"))
        elif roll < 0.04:
            kind = KIND_AUTH
            body = b"\x00" * 8 + self.text()[:60]
        else:
            kind = KIND_MESSAGE if roll < 0.98 else KIND_URL
            body = self.text()
        outgoing = rng.random() < 0.45
        sender = self.owner if outgoing else rng.choice(self.contacts)
        flags = (0x01 if outgoing else 0x00) | (0x10 if rng.random() < 0.1 else 0)
        header = struct.pack("<IHHIIIIHHH", 46 + len(body), RECORD_MAGIC, kind, self.next_id,
                             sender, self.time, self.time + rng.randint(0, 3), flags,
                             rng.randint(0, 4), 0)
        header += struct.pack("<IIII", len(body), 0, 0xFFFFFFFF, zlib.crc32(body))
        self.index.append((self.next_id, offset, self.time, flags))
        self.next_id += 1
        return header + body


def write_db_pair(out, stem, size, rng, writers, owner, contacts, start_time):
    dat = DatFile(rng, writers, owner, contacts, start_time)
    file_header = struct.pack("<4sIIII", b"ICDB", 0x0D, owner, start_time, 0)
    file_header += b"\x00" * (64 - len(file_header))
    chunks = [file_header]
    written = len(file_header)
    while written < size:
        rec = dat.record(written)
        chunks.append(rec)
        written += len(rec)
        if len(chunks) >= 4096:
            with open(os.path.join(out, stem + ".dat"), "ab") as f:
                f.write(b"".join(chunks))
            chunks = []
    with open(os.path.join(out, stem + ".dat"), "ab") as f:
        f.write(b"".join(chunks))
    entries = [struct.pack("<4sII", b"ICIX", 0x0D, len(dat.index))]
    entries += [struct.pack("<IIIII", rid, off, t, flags, 0)
                for rid, off, t, flags in dat.index]
    with open(os.path.join(out, stem + ".idx"), "wb") as f:
        f.write(b"".join(entries))
    # Fixed times keep archives of the corpus reproducible too.
    for ext in (".dat", ".idx"):
        os.utime(os.path.join(out, stem + ext), (dat.time, dat.time))
    return dat.time


def write_unrelated(out, rng):
    with open(os.path.join(out, "readme.txt"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("Do not edit the files in this folder while the messenger runs.\n")
    with open(os.path.join(out, "avatar.bmp"), "wb") as f:
        f.write(b"BM" + rng.randbytes(30000))
    with open(os.path.join(out, "update.log"), "w", encoding="ascii", newline="\r\n") as f:
        for i in range(200):
            f.write("%04d checked for updates: none\n" % i)


def plan_sizes(total, rng):
    """A few large history files carry most of the data, many small ones the rest."""
    large = [int(total * share) for share in (0.38, 0.2, 0.1)]
    small_total = total - sum(large)
    count = max(4, min(300, int(total / (1 << 20) / 2)))
    weights = [rng.random() ** 2 + 0.02 for _ in range(count)]
    scale = small_total / sum(weights)
    return large, [max(256, int(w * scale)) for w in weights]


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--size-mb", type=float, required=True,
                    help="approximate total size of the database files in MiB (e.g. 3, 256)")
    ap.add_argument("--out", required=True, help="folder to write (created if missing)")
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args(argv)
    if args.size_mb <= 0:
        ap.error("--size-mb must be positive")
    os.makedirs(args.out, exist_ok=True)
    if any(n.endswith((".dat", ".idx")) for n in os.listdir(args.out)):
        ap.error("%s already holds database files; use an empty folder" % args.out)

    rng = random.Random(args.seed)
    writers = [Writer(rng, lang) for lang in sorted(LANGUAGES)]
    contacts = rng.sample(range(10000, 400000000), 400)
    total = int(args.size_mb * (1 << 20))
    # Each file's payload is about 0.92 of its .dat+.idx pair.
    large, small = plan_sizes(int(total * 0.92), rng)
    time = 946684800  # 2000-01-01
    for i, size in enumerate(large):
        time = write_db_pair(args.out, str(FIRST_UIN + i), size, rng, writers,
                             FIRST_UIN + i, contacts, time)
    for i, size in enumerate(small):
        contact = contacts[i]
        write_db_pair(args.out, str(contact), size, rng, writers, FIRST_UIN, [contact],
                      time - 86400 * i)
    write_unrelated(args.out, rng)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Builds the program icon (.ico) from its pixel map, a text file with one character per pixel.

The map holds "colour" lines that give a palette letter its RGB value (the letter "." is the
transparent pixel), then one "image N" block of N rows of N letters per image. Every image is
written as a 16-colour (4 bits per pixel) icon image with its AND mask, the way the classic
icon format stores them.
"""
import struct
import sys


def parse(text):
    colours, images, current = {}, [], None
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] == "colour":
            if len(words) != 3 or len(words[1]) != 1 or len(words[2]) != 6:
                raise ValueError(f"line {number}: expected 'colour <letter> <rrggbb>'")
            colours[words[1]] = tuple(int(words[2][i:i + 2], 16) for i in (0, 2, 4))
        elif words[0] == "image":
            current = (int(words[1]), [])
            images.append(current)
        elif current is not None:
            current[1].append(line)
        else:
            raise ValueError(f"line {number}: pixel row before any 'image' line")
    if len(colours) > 16:
        raise ValueError("more than 16 colours")
    for size, rows in images:
        if len(rows) != size or any(len(r) != size for r in rows):
            raise ValueError(f"image {size}: needs {size} rows of {size} pixels")
        unknown = {c for r in rows for c in r} - set(colours) - {"."}
        if unknown:
            raise ValueError(f"image {size}: letters without a colour: {''.join(sorted(unknown))}")
    return colours, images


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4  # rows are padded to 32 bits


def icon_image(size, rows, letters, colours):
    index = {letter: i for i, letter in enumerate(letters)}
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0)
                       for r, g, b in (colours[l] for l in letters))
    palette += b"\0" * (64 - len(palette))
    xor, mask = b"", b""
    for row in reversed(rows):  # bottom-up, as in every DIB
        nibbles = [index.get(c, 0) for c in row]  # transparent pixels are 0 in the image
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += data.ljust(row_bytes(size * 4), b"\0")
        bits = 0
        for c in row:
            bits = (bits << 1) | (c == ".")
        mask += bits.to_bytes((size + 7) // 8, "big").ljust(row_bytes(size), b"\0")
    return header + palette + xor + mask


def build(text):
    colours, images = parse(text)
    letters = sorted(colours)
    blobs = [icon_image(size, rows, letters, colours) for size, rows in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for (size, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_icon.py <pixel map> <output.ico>")
    with open(sys.argv[1], encoding="ascii") as f:
        data = build(f.read())
    with open(sys.argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The icon converter: the program's pixel map becomes a 16-colour icon with a working mask."""
import os
import struct
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "win32"))
import make_icon  # noqa: E402


def images(ico):
    reserved, kind, count = struct.unpack_from("<HHH", ico)
    assert (reserved, kind) == (0, 1)
    for i in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        yield w or 256, h or 256, colours, bits, ico[offset:offset + size]


class MakeIcon(unittest.TestCase):
    def test_the_program_icon_has_a_32_and_a_16_pixel_image_of_16_colours(self):
        with open(os.path.join(HERE, "..", "..", "app", "win32", "chathoard_icon.txt")) as f:
            ico = make_icon.build(f.read())
        found = [(w, h, colours, bits) for w, h, colours, bits, _ in images(ico)]
        self.assertEqual(found, [(32, 32, 16, 4), (16, 16, 16, 4)])

    def test_pixels_and_mask_land_where_the_map_puts_them(self):
        text = "colour K 000000\ncolour Y ffff00\nimage 8\n" + "\n".join(
            ["K......Y"] + ["........"] * 7)
        (w, h, _, _, blob), = images(make_icon.build(text))
        header = struct.unpack_from("<IiiHHI", blob)
        self.assertEqual(header, (40, 8, 16, 1, 4, 0))  # height counts image and mask
        palette = blob[40:40 + 64]
        self.assertEqual(palette[:8], bytes([0, 0, 0, 0, 0, 255, 255, 0]))  # K, then Y as BGR
        xor = blob[104:104 + 8 * 4]
        mask = blob[104 + 32:]
        top_row = xor[7 * 4:8 * 4]  # rows are stored bottom-up
        self.assertEqual(top_row[0] >> 4, 0)  # K
        self.assertEqual(top_row[3] & 0x0F, 1)  # Y
        self.assertEqual(mask[7 * 4], 0b01111110)  # only the two painted pixels are opaque
        self.assertEqual(mask[0], 0xFF)

    def test_rejects_a_map_that_is_not_square_or_uses_an_unknown_letter(self):
        with self.assertRaises(ValueError):
            make_icon.build("colour K 000000\nimage 2\nKK\nK\n")
        with self.assertRaises(ValueError):
            make_icon.build("colour K 000000\nimage 1\nQ\n")


if __name__ == "__main__":
    unittest.main()

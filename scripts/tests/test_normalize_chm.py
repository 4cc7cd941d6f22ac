"""A help file compiled twice by chmcmd, the way the release does it, gives equal bytes."""
import importlib.util
import os
import platform
import shutil
import subprocess
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location(
    "normalize_chm", os.path.join(os.path.dirname(HERE), "normalize_chm.py"))
normalize_chm = importlib.util.module_from_spec(spec)
spec.loader.exec_module(normalize_chm)

PROJECT = """[OPTIONS]
Compiled file=t.chm
Contents file=t.hhc
Index file=t.hhk
Default topic=a.html
Title=Test help
Binary Index=Yes
Full-text search=Yes

[FILES]
a.html
"""
SITEMAP = """<HTML><BODY><UL><LI><OBJECT type="text/sitemap">
<param name="Name" value="Alpha"><param name="Local" value="a.html"></OBJECT></UL></BODY></HTML>
"""
EPOCH = 1_767_225_600 + 3723  # 01:02:03 of a day


@unittest.skipUnless(shutil.which("chmcmd"), "chmcmd (fp-utils) is not installed")
class RepeatableHelpFileTest(unittest.TestCase):
    def compile(self, folder):
        for name, text in (("t.hhp", PROJECT), ("t.hhc", SITEMAP), ("t.hhk", SITEMAP),
                           ("a.html", "<html><body><h1>Alpha</h1>backup words</body></html>")):
            with open(os.path.join(folder, name), "w") as f:
                f.write(text)
        subprocess.run(["setarch", platform.machine(), "-R", "chmcmd", "t.hhp"], cwd=folder,
                       check=True, capture_output=True)
        with open(os.path.join(folder, "t.chm"), "rb") as f:
            return f.read()

    def test_two_compiles_are_equal_once_normalised(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            first = self.compile(a)
            time.sleep(0.05)  # chmcmd's stamps count milliseconds
            second = self.compile(b)
            self.assertNotEqual(first, second, "chmcmd no longer stamps the time: drop the fix")
            first = normalize_chm.normalize(first, EPOCH)
            self.assertEqual(first, normalize_chm.normalize(second, EPOCH))
            stamp = (3723 * 1000).to_bytes(4, "big")
            self.assertEqual(first[0x10:0x14], stamp)
            self.assertIn(normalize_chm.SYSTEM_START + stamp[::-1] + normalize_chm.ENTRY_9, first)

    def test_other_files_are_refused(self):
        with self.assertRaises(ValueError):
            normalize_chm.normalize(b"MZ\x90\x00" + bytes(100), EPOCH)
        with self.assertRaises(ValueError):
            normalize_chm.normalize(b"ITSF" + bytes(100), EPOCH)


if __name__ == "__main__":
    unittest.main()

"""The release ZIP packer: the archive's bytes depend only on names and contents."""
import importlib.util
import os
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location(
    "pack_zip", os.path.join(os.path.dirname(HERE), "pack_zip.py"))
pack_zip = importlib.util.module_from_spec(spec)
spec.loader.exec_module(pack_zip)


class PackZipTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def make(self, folder, name, data, mtime, mode):
        os.makedirs(os.path.join(self.dir, folder), exist_ok=True)
        path = os.path.join(self.dir, folder, name)
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, mode)
        os.utime(path, (mtime, mtime))
        return path

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_same_files_same_bytes_whatever_their_dates_modes_and_order(self):
        files = {"chathoard.exe": b"MZ" + bytes(range(256)) * 40, "LICENSE": b"MIT\n",
                 "azip32.dll": b"MZ dll"}
        first = [self.make("a", n, d, 1_000_000_000, 0o600) for n, d in files.items()]
        second = [self.make("b", n, d, 1_700_000_000, 0o755) for n, d in files.items()]
        out1, out2 = os.path.join(self.dir, "1.zip"), os.path.join(self.dir, "2.zip")
        pack_zip.pack(out1, first)
        pack_zip.pack(out2, list(reversed(second)))
        self.assertEqual(self.read(out1), self.read(out2))

        with zipfile.ZipFile(out1) as archive:
            self.assertIsNone(archive.testzip())
            infos = archive.infolist()
            self.assertEqual([i.filename for i in infos], sorted(files))
            for info in infos:
                self.assertEqual(info.date_time, pack_zip.FIXED_DATE)
                self.assertEqual(archive.read(info), files[info.filename])
                self.assertEqual(info.external_attr >> 16, 0o100644)

    def test_failure_leaves_no_archive_and_no_temporary_file(self):
        good = self.make("a", "LICENSE", b"MIT\n", 0, 0o644)
        out = os.path.join(self.dir, "release.zip")
        with open(out, "wb") as f:
            f.write(b"the previous release")
        with self.assertRaises(OSError):
            pack_zip.pack(out, [good, os.path.join(self.dir, "a", "missing.dll")])
        self.assertEqual(self.read(out), b"the previous release")
        self.assertEqual(sorted(os.listdir(self.dir)), ["a", "release.zip"])

    def test_two_files_of_one_name_are_refused(self):
        a = self.make("a", "README.txt", b"1", 0, 0o644)
        b = self.make("b", "readme.TXT", b"2", 0, 0o644)
        with self.assertRaises(ValueError):
            pack_zip.pack(os.path.join(self.dir, "x.zip"), [a, b])


if __name__ == "__main__":
    unittest.main()

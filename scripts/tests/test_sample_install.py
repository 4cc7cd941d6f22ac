"""The sample messenger install: a db folder of both database kinds, repeatable, and
never rewritten once it exists."""
import importlib.util
import os
import tempfile
import unittest
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location(
    "make_sample_install", os.path.join(os.path.dirname(HERE), "make_sample_install.py"))
sample = importlib.util.module_from_spec(spec)
spec.loader.exec_module(sample)


def folder_bytes(folder):
    result = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            result[name] = f.read()
    return result


class BuiltInGeneratorTest(unittest.TestCase):
    """The generator used when bench/make_corpus.py is not there."""

    def test_pairs_of_dat_and_idx_near_the_requested_size(self):
        with tempfile.TemporaryDirectory() as tmp:
            sample.write_plain_database(tmp, 0.5, seed=1)
            files = folder_bytes(tmp)
            stems = {n.rsplit(".", 1)[0] for n in files}
            self.assertGreater(len(stems), 1)
            self.assertEqual(set(files), {s + ext for s in stems for ext in (".dat", ".idx")})
            total = sum(len(b) for b in files.values())
            self.assertLess(abs(total - 0.5 * 2**20), 0.2 * 2**20, total)
            self.assertTrue(all(files[n] for n in files), "no empty database file")

    def test_same_seed_same_bytes_other_seed_other_bytes(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b, \
                tempfile.TemporaryDirectory() as c:
            sample.write_plain_database(a, 0.2, seed=7)
            sample.write_plain_database(b, 0.2, seed=7)
            sample.write_plain_database(c, 0.2, seed=8)
            self.assertEqual(folder_bytes(a), folder_bytes(b))
            self.assertNotEqual(folder_bytes(a), folder_bytes(c))


class SampleInstallTest(unittest.TestCase):
    def run_main(self, root, corpus):
        with mock.patch.object(sample, "CORPUS", corpus), \
                mock.patch("builtins.print"):
            sample.main(["--root", root, "--size-mb", "0.2"])

    def test_layout_with_and_without_the_corpus_generator(self):
        for corpus in (sample.CORPUS, "/nonexistent/make_corpus.py"):
            with self.subTest(corpus=corpus), tempfile.TemporaryDirectory() as root:
                self.run_main(root, corpus)
                db = os.path.join(root, "ICQ", "db")
                names = os.listdir(db)
                self.assertTrue(any(n.endswith(".dat") for n in names), names)
                self.assertTrue(any(n.endswith(".idx") for n in names), names)
                self.assertEqual(os.listdir(os.path.join(root, "Backups")), [])

    def test_an_existing_sample_is_left_as_it_is(self):
        with tempfile.TemporaryDirectory() as root:
            self.run_main(root, "/nonexistent")
            db = os.path.join(root, "ICQ", "db")
            first = sorted(os.listdir(db))[0]
            with open(os.path.join(db, first), "wb") as f:
                f.write(b"edited by the user")
            with open(os.path.join(root, "Backups", "chathoard.zip"), "wb") as f:
                f.write(b"an earlier backup")
            before = folder_bytes(db)
            self.run_main(root, "/nonexistent")
            self.assertEqual(folder_bytes(db), before)
            self.assertEqual(os.listdir(os.path.join(root, "Backups")), ["chathoard.zip"])


if __name__ == "__main__":
    unittest.main()

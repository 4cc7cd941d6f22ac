#!/usr/bin/env python3
"""Real command-line runs of chathoard.exe under Wine: each exit code, the lines on standard
output and standard error, the entries of chathoard.log, the files and archive it leaves, and
that no window appears.

  CHATHOARD_BIN_DIR=<build>/bin python3 tests/cli/cli_test.py [--work <folder>]

Drive R: is the work folder (messenger folders, destinations, program folder) and S: the
staging drive named in defaultdrive.ini. A read-only destination is a tmpfs mounted
read-only; where this machine may not mount, a folder without write permission (the
wineserver runs without root's override of file permissions).
"""
import os
import re
import shutil
import stat
import subprocess
import unittest
import zipfile

import wine_env
from wine_env import Wine

WORK = None
LOG_ENTRY = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  (.*)$")
DONE_ZIP = ("[Done !] Your ICQ backup has been succesfully copied to: {}\\chathoard.zip "
            "You can unzip the files by using Winzip or pkunzip.exe")


def read_bytes(*parts):
    with open(os.path.join(*parts), "rb") as f:
        return f.read()


class CommandLineRuns(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        wine_env.fresh_folder(WORK)
        cls.wine = Wine(os.path.join(WORK, "..", "wine-reliability")).start()
        cls.addClassCleanup(cls.wine.stop)
        cls.wine.map_drive("r", WORK)
        cls.wine.map_drive("s", cls.path("staging-drive"))
        os.makedirs(cls.path("staging-drive"))
        cls.db = cls.path("icq", "db")
        wine_env.make_corpus(cls.db, 1.5)
        os.makedirs(cls.path("no-icq", "db"))
        with open(cls.path("no-icq", "db", "readme.txt"), "w") as f:
            f.write("not a database file")
        cls.watch = wine_env.WindowWatch()

    @staticmethod
    def path(*parts):
        return os.path.join(WORK, *parts)

    def setUp(self):
        self.program = self.path("prog-" + self._testMethodName)
        shutil.rmtree(self.program, ignore_errors=True)
        wine_env.make_program_folder(self.program, "S")

    def run_program(self, *args):
        with self.watch.during():
            result = self.wine.run_program(self.program, args, display=self.watch.available)
        self.assertEqual(self.watch.appeared, set(), "a window appeared during a command-line run")
        return result

    def log_lines(self):
        with open(os.path.join(self.program, "chathoard.log"), encoding="cp1252", newline="") as f:
            entries = f.read().split("\r\n")
        self.assertEqual(entries.pop(), "", "the log ends with a line break")
        texts = []
        for entry in entries:
            match = LOG_ENTRY.match(entry)
            self.assertIsNotNone(match, f"log entry without a timestamp: {entry!r}")
            texts.append(match.group(1))
        return texts

    def assert_no_leftovers(self, *folders):
        self.assertFalse(os.path.exists(self.path("staging-drive", "chathoard")))
        self.assertFalse(os.path.exists(os.path.join(self.program, "icqtemp.dat")))
        self.assertEqual(wine_env.temporary_files(*folders), [])

    def assert_same_as_database(self, names_and_bytes):
        expected = {n: read_bytes(self.db, n) for n in wine_env.database_names(self.db)}
        self.assertEqual(sorted(names_and_bytes), sorted(expected))
        for name, data in names_and_bytes.items():
            self.assertTrue(data == expected[name], f"{name} differs from the database")

    def test_zip_backup_of_a_good_folder_exits_0_with_a_tested_archive(self):
        dest = self.path("dest-zip")
        os.makedirs(dest)
        code, out, err = self.run_program("-ZIP", r"R:\icq", r"R:\dest-zip")
        self.assertEqual((code, err), (0, []))
        expected = [r"ZIP backup of R:\icq to R:\dest-zip", DONE_ZIP.format(r"R:\dest-zip"),
                    "Finished with exit code 0"]
        self.assertEqual(out, expected)
        self.assertEqual(self.log_lines(), expected)
        archive = os.path.join(dest, "chathoard.zip")
        self.assertTrue(wine_env.unzip_test(archive), "unzip -t rejects the archive")
        with zipfile.ZipFile(archive) as z:
            self.assert_same_as_database(
                {os.path.basename(i.filename): z.read(i) for i in z.infolist()})
        self.assertEqual(os.listdir(dest), ["chathoard.zip"])
        self.assert_no_leftovers(dest, self.program)

    def test_normal_backup_of_a_good_folder_exits_0_and_copies_every_file(self):
        dest = self.path("dest-normal")
        os.makedirs(dest)
        code, out, err = self.run_program("/Normal", r"R:\icq", r"R:\dest-normal")
        self.assertEqual((code, err), (0, []))
        expected = [r"Normal backup of R:\icq to R:\dest-normal",
                    r"[Done !] Your ICQ backup has been succesfully copied to: R:\dest-normal",
                    "Finished with exit code 0"]
        self.assertEqual(out, expected)
        self.assertEqual(self.log_lines(), expected)
        self.assert_same_as_database(
            {n: read_bytes(dest, n) for n in os.listdir(dest)})

    def test_keep_3_run_five_times_leaves_the_three_newest_archives(self):
        dest = self.path("dest-keep")
        os.makedirs(dest)
        mine = ["chathoard.zip", "chathoard-2001-01-01-000000.zip.bak", "notes.txt"]
        for name in mine:
            with open(os.path.join(dest, name), "w") as f:
                f.write("mine")
        made = []
        for _ in range(5):
            before = set(os.listdir(dest))
            code, out, err = self.run_program("/zip", r"R:\icq", r"R:\dest-keep", "/keep:3")
            self.assertEqual((code, err), (0, []))
            new = set(os.listdir(dest)) - before
            self.assertEqual(len(new), 1, new)
            made.append(new.pop())
            self.assertRegex(made[-1], r"^chathoard-\d{4}-\d\d-\d\d-\d{6}\.zip$")
        self.assertEqual(sorted(os.listdir(dest)), sorted(mine + made[-3:]))
        self.assertEqual(made, sorted(made))
        self.assertIn("Deleted the older backup R:\\dest-keep\\" + made[1], out[1])
        with zipfile.ZipFile(os.path.join(dest, made[-1])) as z:
            self.assert_same_as_database(
                {os.path.basename(i.filename): z.read(i) for i in z.infolist()})
        self.assert_no_leftovers(dest, self.program)

    def test_log_keeps_earlier_runs_and_first_start_warning_is_logged(self):
        os.remove(os.path.join(self.program, "defaultdrive.ini"))
        self.run_program("/normal", r"R:\no-icq", r"R:\dest-unused")
        code, _, err = self.run_program("/normal", r"R:\no-icq", r"R:\dest-unused")
        self.assertEqual(code, 1)
        log = self.log_lines()
        self.assertEqual(len(log), 4, log)
        self.assertEqual(log[0], log[2])
        self.assertEqual(err, log[1:2])

    def test_folder_without_database_exits_1_and_touches_nothing(self):
        dest = self.path("dest-none")
        os.makedirs(dest)
        for folder, problem in ((r"R:\no-icq", r"No messenger database (*.dat or *.idx files) "
                                               r"in R:\no-icq\db"),
                                (r"R:\missing", r"The messenger folder R:\missing cannot be opened")):
            for switch in ("/zip", "/normal"):
                with self.subTest(folder=folder, switch=switch):
                    code, out, err = self.run_program(switch, folder, r"R:\dest-none")
                    self.assertEqual(code, 1)
                    self.assertEqual(len(out), 1, out)
                    self.assertEqual(len(err), 1, err)
                    self.assertTrue(err[0].startswith(problem), err)
                    self.assertEqual(self.log_lines()[-1], err[0])
        self.assertEqual(os.listdir(dest), [])
        self.assert_no_leftovers(dest, self.program)

    def test_read_only_destination_exits_2_naming_the_file_and_reason(self):
        dest = self.path("dest-read-only")
        os.makedirs(dest)
        with wine_env.mounted_tmpfs(dest, "1m", read_only=True) as mounted:
            if not mounted:
                os.chmod(dest, stat.S_IRUSR | stat.S_IXUSR)
                self.addCleanup(os.chmod, dest, stat.S_IRWXU)
            for switch, named in (("/normal", r"R:\dest-read-only\12345678.dat"),
                                  ("/zip", r"R:\dest-read-only\chathoard.zip")):
                with self.subTest(switch=switch):
                    code, out, err = self.run_program(switch, r"R:\icq", r"R:\dest-read-only")
                    self.assertEqual(code, 2)
                    self.assertEqual(err[-1], "Finished with exit code 2")
                    self.assertEqual(len(err), 2, err)
                    self.assertIn("[Backup failed]", err[0])
                    self.assertIn(named, err[0])
                    self.assertIn("Reason: ", err[0])
                    self.assertEqual(self.log_lines()[-2:], err)
                    self.assertEqual(os.listdir(dest), [])
        self.assert_no_leftovers(self.program)

    def test_verify_passes_an_archive_of_any_tool_and_names_the_entry_a_cut_copy_breaks_in(self):
        dest = self.path("dest-verify")
        os.makedirs(dest)
        archive = os.path.join(dest, "other-tool.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
            for name in wine_env.database_names(self.db):
                z.write(os.path.join(self.db, name), "db/" + name)
        code, out, err = self.run_program("/verify", r"R:\dest-verify\other-tool.zip", r"R:\icq")
        self.assertEqual((code, err), (0, []), out)
        self.assertTrue(all("the same as in the database" in line for line in out[1:-2]), out)

        data = read_bytes(archive)
        with zipfile.ZipFile(archive) as z:
            infos = sorted(z.infolist(), key=lambda i: i.header_offset)
        cut = len(data) // 2
        broken = [i for i in infos if i.header_offset < cut][-1].filename
        with open(os.path.join(dest, "cut.zip"), "wb") as f:
            f.write(data[:cut])
        code, out, err = self.run_program("/verify", r"R:\dest-verify\cut.zip")
        self.assertEqual(code, 2)
        self.assertTrue(any(line.startswith(broken + ": DAMAGED") for line in out), out)
        self.assertIn("is DAMAGED or unreadable", err[0])

    def test_verify_passes_what_common_zip_tools_write(self):
        dest = self.path("dest-tools")
        os.makedirs(dest)
        icq = self.path("icq")
        made = {
            "infozip.zip": ["zip", "-q", "-r", "{}", "db"],
            "infozip-fd.zip": ["zip", "-q", "-r", "-fd", "{}", "db"],
            "7z-deflate.zip": ["7z", "a", "-tzip", "-mm=Deflate", "{}", "db"],
            "7z-store.zip": ["7z", "a", "-tzip", "-mm=Copy", "{}", "db"],
            "bsdtar.zip": ["bsdtar", "--format", "zip", "-cf", "{}", "db"],
        }
        for name, command in made.items():
            if shutil.which(command[0]):
                subprocess.run([a.format(os.path.join(dest, name)) for a in command], cwd=icq,
                               check=True, stdout=subprocess.DEVNULL)
        if shutil.which("zip"):  # streamed: sizes in data descriptors
            with open(os.path.join(dest, "infozip-stream.zip"), "wb") as f:
                zipped = subprocess.run(["zip", "-q", "-r", "-", "db"], cwd=icq, check=True,
                                        stdout=subprocess.PIPE)
                f.write(zipped.stdout)
        for name, method in (("py-store.zip", zipfile.ZIP_STORED),
                             ("py-comment.zip", zipfile.ZIP_DEFLATED)):
            with zipfile.ZipFile(os.path.join(dest, name), "w", method) as z:
                for db_name in wine_env.database_names(self.db):
                    z.write(os.path.join(self.db, db_name), "db/" + db_name)
                z.comment = b"made by a test"
        for name in sorted(os.listdir(dest)):
            code, out, err = self.run_program("/verify", "R:\\dest-tools\\" + name, r"R:\icq")
            self.assertEqual((code, err), (0, []), name + ":\n" + "\n".join(out))

    def test_misspelled_switch_exits_3_with_usage_and_a_log_entry(self):
        dest = self.path("dest-bad")
        os.makedirs(dest)
        for args in (("/zpi", r"R:\icq", r"R:\dest-bad"), ("/zip", r"R:\icq"),
                     ("zip", r"R:\icq", r"R:\dest-bad")):
            with self.subTest(args=args):
                code, out, err = self.run_program(*args)
                self.assertEqual((code, out), (3, []))
                self.assertEqual(err[0], "The arguments were not understood: " + " ".join(args))
                self.assertTrue(any("Exit codes:" in line for line in err), err)
                self.assertEqual(self.log_lines()[-2:], [err[0], "Finished with exit code 3"])
        self.assertEqual(os.listdir(dest), [])

    def test_usage_switch_exits_0_on_standard_output(self):
        for switch in ("/?", "/help", "-h"):
            with self.subTest(switch=switch):
                code, out, err = self.run_program(switch)
                self.assertEqual((code, err), (0, []))
                self.assertTrue(any("/zip" in line for line in out), out)
                self.assertTrue(any("3 bad arguments" in line for line in out), out)
                self.assertTrue(any("4 the database stayed in use" in line for line in out), out)
                self.assertEqual(self.log_lines()[-1], "Usage shown")

    def run_in_cmd(self, *lines):
        """Runs a batch file of lines with cmd in the program folder: (exit code, its output)."""
        with open(os.path.join(self.program, "run.bat"), "w", newline="\r\n") as f:
            f.write("@echo off\n" + "\n".join(lines) + "\n")
        with open(os.path.join(self.program, "run.out"), "w+b") as out:
            proc = self.wine.popen("cmd", ["/c", "run.bat"], self.program, stdout=out,
                                   stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
            code = proc.wait(timeout=120)
            out.seek(0)
            return code, wine_env.lines_of(out.read())

    def test_console_companion_relays_the_lines_and_sets_errorlevel_in_cmd(self):
        shutil.copy2(os.path.join(wine_env.bin_dir(), "chathoard.com"), self.program)
        os.makedirs(self.path("dest companion"))
        with open(self.path("dest companion", "broken.zip"), "wb") as f:
            f.write(b"PK\3\4 not an archive")
        # Bare "chathoard" must find chathoard.com before chathoard.exe; the quoted folder with
        # a blank reaches the program as one argument.
        code, out = self.run_in_cmd(
            r'chathoard /zip R:\icq "R:\dest companion"', "echo exit code %ERRORLEVEL%",
            r'chathoard.com /verify "R:\dest companion\broken.zip"', "echo exit code %ERRORLEVEL%")
        first = out.index("exit code 0")
        self.assertTrue(out[0].startswith("ZIP backup of ") and out[0].endswith("dest companion"),
                        out)
        self.assertEqual(out[first - 1], "Finished with exit code 0")
        self.assertEqual(out[-2:], ["Finished with exit code 2", "exit code 2"])
        self.assertTrue(wine_env.unzip_test(self.path("dest companion", "chathoard.zip")))
        self.assertEqual(self.log_lines()[-1], "Finished with exit code 2")

        # Without chathoard.exe beside it: a message naming the file, and its own code 9.
        alone = self.path("companion-alone")
        os.makedirs(alone, exist_ok=True)
        shutil.copy2(os.path.join(self.program, "chathoard.com"), alone)
        self.program = alone
        code, out = self.run_in_cmd("chathoard.com /zip R:\\icq R:\\dest", "exit %ERRORLEVEL%")
        self.assertEqual(code, 9, out)
        self.assertEqual(len(out), 1, out)
        self.assertIn("companion-alone\\chathoard.exe could not be started: ", out[0])


def main():
    global WORK
    WORK, argv = wine_env.work_folder_and_argv("cli-work")
    unittest.main(argv=argv, verbosity=2)


if __name__ == "__main__":
    main()

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
import struct
import subprocess
import unittest
import zipfile
import zlib

import wine_env
from wine_env import Wine

WORK = None
LOG_ENTRY = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  (.*)$")
DONE_ZIP = ("[Done !] Your ICQ backup has been succesfully copied to: {}\\chathoard.zip "
            "You can unzip the files by using Winzip or pkunzip.exe")
# "Summary: 12 files, 1.5 MB (1595295 bytes), archive 520.8 KB (533332 bytes), 1 second."
SIZE = r"(?:[\d.]+ [KMGT]B \((\d+) bytes\)|(\d+) bytes?)"
SUMMARY = re.compile(rf"^Summary: (\d+) files?, {SIZE}(?:, archive {SIZE})?, \d+ seconds?\.$")
SEE_USAGE = "Type chathoard /? to see how the command line is written."


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

    def run_program(self, *args, cwd=None, input_bytes=None):
        with self.watch.during():
            result = self.wine.run_program(self.program, args, display=self.watch.available,
                                           cwd=cwd, input_bytes=input_bytes)
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

    def assert_summary(self, line, db, archive=None):
        """The summary line: the database's files and bytes, and the archive's size."""
        match = SUMMARY.match(line)
        self.assertIsNotNone(match, line)
        names = wine_env.database_names(db)
        files, size, small_size, archive_size, small_archive_size = match.groups()
        self.assertEqual(int(files), len(names))
        self.assertEqual(int(size or small_size),
                         sum(os.path.getsize(os.path.join(db, n)) for n in names))
        archive_size = archive_size or small_archive_size
        self.assertEqual(archive_size and int(archive_size), archive and os.path.getsize(archive))

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
        archive = os.path.join(dest, "chathoard.zip")
        self.assert_summary(out.pop(2), self.db, archive)
        self.assertEqual(out, expected)
        self.assertEqual([line for line in self.log_lines() if not SUMMARY.match(line)], expected)
        self.assertTrue(wine_env.unzip_test(archive), "unzip -t rejects the archive")
        with zipfile.ZipFile(archive) as z:
            self.assert_same_as_database(
                {os.path.basename(i.filename): z.read(i) for i in z.infolist()})
        self.assertEqual(os.listdir(dest), ["chathoard.zip"])
        self.assert_no_leftovers(dest, self.program)

    def test_encrypted_zip_backup_opens_with_the_stored_password_only(self):
        dest = self.path("dest-aes")
        os.makedirs(dest)
        archive = os.path.join(dest, "chathoard.zip")
        self.addCleanup(self.run_program, "/password:remove")
        code, out, err = self.run_program("/zip", r"R:\icq", r"R:\dest-aes", "/encrypt")
        self.assertEqual(code, 7, out + err)
        self.assertFalse(os.path.exists(archive))
        code, out, _ = self.run_program("/password", input_bytes=b"Pa55 w0rd\r\nPa55 w0rd\r\n")
        self.assertEqual(code, 0, out)
        code, out, err = self.run_program("/zip", r"R:\icq", r"R:\dest-aes", "/encrypt")
        self.assertEqual((code, err), (0, []), out)
        self.assertNotIn("Pa55", "".join(self.log_lines()))

        def seven_zip(*args):
            return subprocess.run(["7z", *args, archive], capture_output=True, text=True)
        names = wine_env.database_names(self.db)
        listing = seven_zip("l", "-slt", "-pPa55 w0rd")
        self.assertEqual(listing.stdout.count("Method = AES-256"), len(names), listing.stdout)
        self.assertEqual(seven_zip("t", "-pPa55 w0rd").returncode, 0)
        self.assertNotEqual(seven_zip("t", "-pwrong").returncode, 0)
        extract = self.path("x-aes")
        os.makedirs(extract)
        self.assertNotEqual(subprocess.run(["bsdtar", "-xf", archive, "-C", extract],
                                           capture_output=True).returncode, 0)
        subprocess.run(["bsdtar", "--passphrase", "Pa55 w0rd", "-xf", archive, "-C", extract],
                       check=True)
        self.assert_same_as_database({n: read_bytes(extract, n) for n in os.listdir(extract)})
        self.assertEqual(self.run_program("/verify", r"R:\dest-aes\chathoard.zip", r"R:\icq")[0],
                         0)

        # Another stored password: refused as wrong, and the database is left as it was.
        self.assertEqual(self.run_program("/password", input_bytes=b"other\nother\n")[0], 0)
        before = {n: read_bytes(self.db, n) for n in names}
        code, out, err = self.run_program("/restore", r"R:\dest-aes\chathoard.zip", r"R:\icq")
        self.assertEqual(code, 7, out + err)
        self.assertTrue(any("the password given is wrong" in line for line in out + err), err)
        self.assertEqual(sorted(os.listdir(self.path("icq"))), ["db"])
        self.assertTrue(before == {n: read_bytes(self.db, n) for n in names})

    def test_normal_backup_of_a_good_folder_exits_0_and_copies_every_file(self):
        dest = self.path("dest-normal")
        os.makedirs(dest)
        code, out, err = self.run_program("/Normal", r"R:\icq", r"R:\dest-normal")
        self.assertEqual((code, err), (0, []))
        expected = [r"Normal backup of R:\icq to R:\dest-normal",
                    r"[Done !] Your ICQ backup has been succesfully copied to: R:\dest-normal",
                    "Finished with exit code 0"]
        self.assert_summary(out.pop(2), self.db)
        self.assertEqual(out, expected)
        self.assertEqual(len(self.log_lines()), 4)
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
        self.assertEqual(out[2], "Deleted the older backup R:\\dest-keep\\" + made[1])
        self.assertTrue(out[1].startswith("[Done !]") and "Deleted" not in out[1], out[1])
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
        self.assertEqual(len(log), 6, log)
        self.assertEqual(log[:3], log[3:])
        self.assertEqual(err, log[4:6])
        self.assertEqual(err[-1], "Finished with exit code 1")

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
                    self.assertEqual(len(err), 2, err)
                    self.assertTrue(err[0].startswith(problem), err)
                    self.assertEqual(err[1], "Finished with exit code 1")
                    self.assertEqual(self.log_lines()[-2:], err)
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
        self.assertEqual(err, [r"The backup R:\dest-verify\cut.zip is DAMAGED: it cannot be "
                               "restored.", "Finished with exit code 2"])
        code, out, err = self.run_program("/verify", r"R:\dest-verify\gone.zip")
        self.assertEqual((code, err), (2, [r"The backup R:\dest-verify\gone.zip was not found.",
                                           "Finished with exit code 2"]))

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

    def test_an_archive_of_a_windows_tool_with_oem_names_and_unicode_fields_is_restored(self):
        # As Windows tools write a name outside ASCII: the OEM code page (850) in the headers,
        # flag bit 11 clear, and the UTF-8 spelling in a Unicode path field (0x7075) that
        # carries the CRC-32 of the header's name.
        files = {"M\u00fcller.dat": b"chats " * 500, "M\u00fcller.idx": b"index",
                 "Caf\u00e9.dat": b"more chats"}
        out, central = bytearray(), bytearray()
        for name, data in files.items():
            raw, utf8 = name.encode("cp850"), name.encode("utf-8")
            extra = struct.pack("<HHBI", 0x7075, 5 + len(utf8), 1, zlib.crc32(raw)) + utf8
            packer = zlib.compressobj(6, zlib.DEFLATED, -15)
            packed = packer.compress(data) + packer.flush()
            fields = (8, 0, 0x21, zlib.crc32(data), len(packed), len(data), len(raw), len(extra))
            central += struct.pack("<IHHH", 0x02014B50, 20, 20, 0)
            central += struct.pack("<HHHIIIHH", *fields) + struct.pack("<HHHII", 0, 0, 0, 0,
                                                                        len(out)) + raw + extra
            out += struct.pack("<IHH", 0x04034B50, 20, 0) + struct.pack("<HHHIIIHH", *fields)
            out += raw + extra + packed
        end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(files), len(files), len(central),
                          len(out), 0)
        dest = self.path("dest-oem")
        os.makedirs(dest)
        with open(os.path.join(dest, "windows-tool.zip"), "wb") as f:
            f.write(bytes(out + central + end))
        code, lines, err = self.run_program("/verify", r"R:\dest-oem\windows-tool.zip")
        self.assertEqual((code, err), (0, []), lines)
        self.assertIn("M\u00fcller.dat: intact, 3000 bytes", lines)

        os.makedirs(self.path("icq-oem"))
        code, lines, err = self.run_program("/restore", r"R:\dest-oem\windows-tool.zip",
                                            r"R:\icq-oem")
        self.assertEqual((code, err), (0, []), lines)
        for name, data in files.items():
            self.assertEqual(read_bytes(self.path("icq-oem", "db", name)), data)

    def test_a_bad_argument_exits_3_naming_it_and_why(self):
        dest = self.path("dest-bad")
        os.makedirs(dest)
        for args, problem in (
                (("/zpi", r"R:\icq", r"R:\dest-bad"), "/zpi: not a switch of Chathoard"),
                (("/zip", r"R:\icq"), "/zip: give the messenger folder and the destination folder"),
                (("zip", r"R:\icq", r"R:\dest-bad"),
                 "zip: the command line starts with /normal, /zip, /verify or /restore"),
                (("/zip", r"R:\icq", r"R:\dest-bad", "/keep:1000"),
                 "/keep:1000: keep 1 to 999 backups"),
                (("/zip", r"R:\icq", r"R:\dest-bad", "/wait", "/Wait:5"),
                 "/Wait:5: /wait is given twice")):
            with self.subTest(args=args):
                code, out, err = self.run_program(*args)
                self.assertEqual((code, out), (3, []))
                self.assertEqual(err, [problem, SEE_USAGE, "Finished with exit code 3"])
                self.assertEqual(self.log_lines()[-3:], err)
        self.assertEqual(os.listdir(dest), [])

    def test_paths_are_taken_from_the_working_folder_and_named_in_full(self):
        """As Task Scheduler's "Start in" sets it: R:\ and R:\start-in here."""
        start_in = self.path("start-in")
        os.makedirs(start_in, exist_ok=True)
        code, out, err = self.run_program("/zip", "icq", r"Backups\cli", cwd=WORK)
        self.assertEqual((code, err), (0, []), out)
        self.assertEqual(out[:2], [r"ZIP backup of R:\icq to R:\Backups\cli",
                                   r"Created the destination folder R:\Backups\cli"])
        archive = self.path("Backups", "cli", "chathoard.zip")
        self.assertTrue(wine_env.unzip_test(archive))
        self.assert_summary(out[-2], self.db, archive)
        for args, first in (
                (("/normal", r"..\icq", r"\dest-rel\a\b"),
                 r"Normal backup of R:\icq to R:\dest-rel\a\b"),
                (("/normal", ".\\..\\icq\\", "R:copies"),
                 r"Normal backup of R:\icq to R:\start-in\copies")):
            with self.subTest(args=args):
                code, out, err = self.run_program(*args, cwd=start_in)
                self.assertEqual((code, err), (0, []), out)
                self.assertEqual(out[0], first)
        self.assert_same_as_database(
            {n: read_bytes(self.path("dest-rel", "a", "b"), n)
             for n in os.listdir(self.path("dest-rel", "a", "b"))})
        code, out, err = self.run_program("/verify", r"..\Backups\cli\chathoard.zip", r"\icq",
                                          cwd=start_in)
        self.assertEqual((code, err), (0, []), out)
        self.assertEqual(out[0], r"Checking the backup R:\Backups\cli\chathoard.zip against the "
                                 r"database in R:\icq\db")

    def test_a_destination_that_cannot_be_used_exits_2_and_writes_nothing(self):
        before = sorted(os.listdir(self.db))
        for args, problem in (
                (("/zip", r"R:\icq", r"Q:\Backups"),
                 r"The destination folder Q:\Backups cannot be used: drive Q: is not available "
                 "(a removable disk may be unplugged)."),
                (("/normal", r"R:\icq", r"R:\icq\db"), "A backup must go elsewhere"),
                (("/zip", r"R:\icq", r"R:\icq\DB\sub", "/keep:2"), "A backup must go elsewhere")):
            with self.subTest(args=args):
                code, out, err = self.run_program(*args)
                self.assertEqual(code, 2)
                self.assertEqual(len(err), 2, err)
                self.assertIn(problem, err[0])
                self.assertEqual(err[1], "Finished with exit code 2")
                self.assertEqual(self.log_lines()[-2:], err)
        self.assertEqual(sorted(os.listdir(self.db)), before)
        self.assert_no_leftovers(self.program)

    def test_restore_takes_a_file_of_a_normal_backup_for_its_folder(self):
        dest = self.path("dest-restore")
        code, out, err = self.run_program("/normal", r"R:\icq", r"R:\dest-restore", "/keep:2")
        self.assertEqual((code, err), (0, []), out)
        [stamp] = os.listdir(dest)
        target = self.path("icq-restore")
        shutil.rmtree(target, ignore_errors=True)
        os.makedirs(os.path.join(target, "db"))
        with open(os.path.join(target, "db", "old.dat"), "wb") as f:
            f.write(b"old")
        name = wine_env.database_names(self.db)[0]
        code, out, err = self.run_program(
            "/restore", "R:\\dest-restore\\" + stamp + "\\" + name, r"R:\icq-restore")
        self.assertEqual((code, err), (0, []), out)
        self.assertEqual(out[0], "Restoring the backup R:\\dest-restore\\" + stamp +
                         r" into R:\icq-restore\db")
        self.assertEqual(sorted(os.listdir(os.path.join(target, "db"))),
                         sorted(wine_env.database_names(self.db)))

    def test_every_switch_takes_a_network_share_by_its_own_name(self):
        # Wine reaches \\nas\backups through the link dosdevices/unc/nas/backups.
        share = self.path("nas-backups")
        shutil.rmtree(share, ignore_errors=True)
        os.makedirs(share)
        unc = os.path.join(self.wine.prefix, "dosdevices", "unc", "nas")
        os.makedirs(unc, exist_ok=True)
        link = os.path.join(unc, "backups")
        if os.path.islink(link):
            os.unlink(link)
        os.symlink(share, link)
        self.addCleanup(os.unlink, link)

        code, out, err = self.run_program("/zip", r"R:\icq", r"\\nas\backups")
        self.assertEqual((code, err), (0, []), out)
        self.assertEqual(out[0], r"ZIP backup of R:\icq to \\nas\backups")
        self.assertTrue(wine_env.unzip_test(os.path.join(share, "chathoard.zip")))

        code, out, err = self.run_program("/normal", r"R:\icq", r"\\nas\backups\plain",
                                          "/keep:2")
        self.assertEqual((code, err), (0, []), out)
        self.assertEqual(out[1], r"Created the destination folder \\nas\backups\plain")
        [stamp] = os.listdir(os.path.join(share, "plain"))
        self.assert_same_as_database({n: read_bytes(share, "plain", stamp, n)
                                      for n in os.listdir(os.path.join(share, "plain", stamp))})

        code, out, err = self.run_program("/zip", r"R:\icq", r"\\?\UNC\nas\backups\gens",
                                          "/keep:3")
        self.assertEqual((code, err), (0, []), out)
        [archive] = os.listdir(os.path.join(share, "gens"))
        self.assertRegex(archive, r"^chathoard-\d{4}-\d\d-\d\d-\d{6}\.zip$")

        code, out, err = self.run_program("/verify", r"\\nas\backups\chathoard.zip", r"R:\icq")
        self.assertEqual((code, err), (0, []), out)
        self.assertIn(r"The backup \\nas\backups\chathoard.zip is intact", out[-2])

        target = self.path("icq-from-share")
        shutil.rmtree(target, ignore_errors=True)
        os.makedirs(os.path.join(target, "db"))
        code, out, err = self.run_program("/restore", "\\\\nas\\backups\\plain\\" + stamp,
                                          r"R:\icq-from-share")
        self.assertEqual((code, err), (0, []), out)
        self.assertEqual(sorted(os.listdir(os.path.join(target, "db"))),
                         sorted(wine_env.database_names(self.db)))

        code, out, err = self.run_program("/zip", r"R:\icq", r"\\nas\gone\daily")
        self.assertEqual(code, 2, out)
        self.assertIn(r"the network share \\nas\gone cannot be reached", "\n".join(err))

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

#!/usr/bin/env python3
"""Both backups under Wine against a full disk, a database file held open by another Windows
program, and a database file the user may not read: the failure is reported in plain words
naming the file, the earlier backup stays as it was, and no temporary file is left.

  CHATHOARD_BIN_DIR=<build>/bin CHATHOARD_LOCKER=<build>/.../file_locker.exe \
      python3 tests/reliability/failure_scenarios_test.py [--work <folder>]

A full disk is a small tmpfs mapped as drive T:, filled up to a few hundred KB by a file
outside the backup's folders. The file holder is file_locker.exe, a Windows program in the
same Wine, which opens the file without sharing as the running messenger does. An unreadable
file has no read permission; the wineserver runs without root's override of permissions.
"""
import os
import shutil
import signal
import subprocess
import sys
import threading
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))
import wine_env  # noqa: E402
from wine_env import Wine  # noqa: E402

WORK = None
LOCKED = "12345679.idx"  # a database file of every corpus make_corpus.py writes


class Scenarios(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        wine_env.fresh_folder(WORK)
        cls.wine = Wine(os.path.join(WORK, "..", "wine-reliability")).start()
        cls.addClassCleanup(cls.wine.stop)
        cls.wine.map_drive("r", WORK)
        cls.db = cls.path("icq", "db")
        wine_env.make_corpus(cls.db, 3)
        cls.names = wine_env.database_names(cls.db)
        old_db = cls.path("icq-old", "db")
        wine_env.make_older_database(cls.db, old_db)

    @staticmethod
    def path(*parts):
        return os.path.join(WORK, *parts)

    def setUp(self):
        self.case = self.path(self._testMethodName)
        self.program = wine_env.make_program_folder(os.path.join(self.case, "prog"), "S")
        self.staging_drive = os.path.join(self.case, "staging-drive")
        os.makedirs(self.staging_drive)
        self.wine.map_drive("s", self.staging_drive)

    def run_backup(self, kind, messenger, destination):
        return self.wine.run_program(self.program, ["/" + kind, messenger, destination])

    def make_earlier_backup(self, kind, destination_unix, destination):
        os.makedirs(destination_unix, exist_ok=True)
        code, _, err = self.run_backup(kind, r"R:\icq-old", destination)
        self.assertEqual(code, 0, err)
        return wine_env.tree_hashes(destination_unix)

    def assert_failed_plainly(self, result, *words):
        code, out, err = result
        self.assertEqual(code, 2, (out, err))
        self.assertEqual(len(err), 2, err)
        self.assertTrue(err[0].startswith("[Backup failed] "), err)
        for word in words:
            self.assertIn(word, err[0])
        self.assertEqual(err[1], "Finished with exit code 2")

    def assert_nothing_left(self, *folders):
        self.assertEqual(os.listdir(self.staging_drive), [])
        self.assertFalse(os.path.exists(os.path.join(self.program, "icqtemp.dat")))
        self.assertEqual(wine_env.temporary_files(self.program, *folders), [])

    def assert_earlier_backup_kept(self, destination_unix, earlier, result):
        """After a normal backup that failed before putting any copy in place: every file is
        the earlier backup's, byte for byte, and the message says so."""
        self.assertEqual(wine_env.tree_hashes(destination_unix), earlier)
        self.assertIn("was changed; the earlier backup there is as it was.", result[2][0])

    def fill_up(self, mount, leave):
        free = os.statvfs(mount).f_bavail * os.statvfs(mount).f_frsize
        with open(os.path.join(mount, "filler.bin"), "wb") as f:
            f.write(b"\0" * max(0, free - leave))

    # Full disk

    def test_destination_on_a_full_disk_keeps_the_earlier_backup(self):
        for kind in ("normal", "zip"):
            with self.subTest(kind=kind), \
                    wine_env.mounted_tmpfs(os.path.join(self.case, "t-" + kind), "8m") as mount:
                if mount is None:
                    self.skipTest("this machine may not mount a tmpfs")
                self.wine.map_drive("t", mount)
                dest = os.path.join(mount, "backup")
                earlier = self.make_earlier_backup(kind, dest, r"T:\backup")
                self.fill_up(mount, 256 << 10)
                result = self.run_backup(kind, r"R:\icq", r"T:\backup")
                self.assert_failed_plainly(result, "Reason: ", "disk is full"
                                           if kind == "normal" else "disk may be full")
                if kind == "zip":
                    self.assertEqual(wine_env.tree_hashes(dest), earlier)
                else:
                    self.assert_earlier_backup_kept(dest, earlier, result)
                self.assert_nothing_left(dest)

    def test_full_staging_drive_keeps_the_earlier_archive(self):
        dest = os.path.join(self.case, "dest")
        earlier = self.make_earlier_backup("zip", dest, "R:\\" + self._testMethodName + r"\dest")
        with wine_env.mounted_tmpfs(os.path.join(self.case, "s-full"), "4m") as mount:
            if mount is None:
                self.skipTest("this machine may not mount a tmpfs")
            self.wine.map_drive("s", mount)
            self.fill_up(mount, 256 << 10)
            result = self.run_backup("zip", r"R:\icq", "R:\\" + self._testMethodName + r"\dest")
            self.assert_failed_plainly(result, "could not be copied to the staging folder",
                                       r"To: S:\chathoard", "Reason: the disk is full",
                                       r"was not written")
            self.assertEqual(os.listdir(mount), ["filler.bin"])
        self.assertEqual(wine_env.tree_hashes(dest), earlier)
        self.assert_nothing_left(dest)

    def test_log_on_a_full_disk_keeps_its_earlier_lines(self):
        """The program folder, and so chathoard.log, on a full disk: the backup is made, the
        log keeps every earlier line byte for byte, and standard error says so once."""
        with wine_env.mounted_tmpfs(os.path.join(self.case, "p-full"), "8m") as mount:
            if mount is None:
                self.skipTest("this machine may not mount a tmpfs")
            program = wine_env.make_program_folder(os.path.join(mount, "prog"), "S")
            log = os.path.join(program, "chathoard.log")
            # Exactly one page of earlier runs: rewriting it with one more line needs a page
            # more than the disk has, as appending does.
            earlier = b"".join(b"2026-12-06 02:00:%02d  [Done !] an earlier run\r\n" % (i % 60)
                               for i in range(200))[:4096]
            with open(log, "wb") as f:
                f.write(earlier)
            self.fill_up(mount, 0)
            os.makedirs(os.path.join(self.case, "dest"))
            code, out, err = self.wine.run_program(
                program, ["/normal", r"R:\icq", "R:\\" + self._testMethodName + r"\dest"])
            self.assertEqual(code, 0, (out, err))
            for name in self.names:
                self.assertEqual(wine_env.file_hash(os.path.join(self.case, "dest", name)),
                                 wine_env.file_hash(os.path.join(self.db, name)), name)
            with open(log, "rb") as f:
                self.assertEqual(f.read()[:len(earlier)], earlier)
            failures = [line for line in err if "chathoard.log could not be written" in line]
            self.assertEqual(len(failures), 1, err)
            self.assertIn("the disk is full", failures[0])

    # Code page 932

    def japanese_locale(self):
        """A compiled ja_JP.UTF-8 locale (LOCPATH) from which Wine takes code page 932."""
        path = os.path.abspath(os.path.join(WORK, "..", "locale-ja"))
        if not os.path.isdir(os.path.join(path, "ja_JP.UTF-8")):
            os.makedirs(path, exist_ok=True)
            subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8",
                            os.path.join(path, "ja_JP.UTF-8")],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.isdir(os.path.join(path, "ja_JP.UTF-8")):
            self.skipTest("no ja_JP locale can be compiled here (localedef)")
        return path

    def test_code_page_932_names_are_kept_whole(self):
        """Under code page 932 the second byte of "表" is 0x5C, a backslash: the ZIP backup
        must still store 表.dat under its own name, and leave nothing behind."""
        db = self.path(self._testMethodName, "icq", "db")
        os.makedirs(db)
        for name, data in (("表.dat", b"hyou " * 1000), ("a.idx", b"index")):
            with open(os.path.join(db, name), "wb") as f:
                f.write(data)
        dest = os.path.join(self.case, "dest")
        os.makedirs(dest)
        saved = dict(self.wine.env)
        self.wine.env.update(LOCPATH=self.japanese_locale(), LC_ALL="ja_JP.UTF-8")
        try:
            messenger = "R:\\" + self._testMethodName + r"\icq"
            code, out, err = self.run_backup("zip", messenger, "R:\\" + self._testMethodName
                                             + r"\dest")
        finally:
            self.wine.env = saved
        self.assertEqual(code, 0, (out, err))
        with zipfile.ZipFile(os.path.join(dest, "chathoard.zip")) as z:
            self.assertEqual(sorted(z.namelist()), ["a.idx", "表.dat"])
            self.assertEqual(z.read("表.dat"), b"hyou " * 1000)
        self.assert_nothing_left(dest)

    # Locked and unreadable database files

    def hold_open(self, path):
        """Starts file_locker.exe on path; returns what lets the file go again."""
        return self.run_locker(["R:\\" + os.path.relpath(path, WORK).replace("/", "\\")])

    def run_locker(self, args, first_line=b"locked"):
        locker = os.environ.get("CHATHOARD_LOCKER")
        if not locker:
            self.skipTest("set CHATHOARD_LOCKER to file_locker.exe")
        proc = self.wine.popen(locker, args, self.case, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if proc.stdout.readline().strip() != first_line:
            proc.wait()
            self.fail("file_locker could not hold it: " + proc.stderr.read().decode())

        def release():
            proc.stdin.close()
            try:
                proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
            said = proc.stdout.read()
            release.locked = b"locked" in said
            release.refused = b"refused" in said
            proc.stdout.close()
            proc.stderr.close()
        return release

    def test_ctrl_c_through_the_companion_cancels_the_wait_for_another_backup(self):
        # Both outputs redirected: chathoard.exe has no console, so the Ctrl+C reaches only
        # chathoard.com, which must pass it on.
        shutil.copy2(os.path.join(wine_env.bin_dir(), "chathoard.com"), self.program)
        dest = os.path.join(self.case, "dest")
        log = os.path.join(self.program, "chathoard.log")
        release = self.run_locker(["--backup-lock"])
        try:
            with open(os.path.join(self.case, "out"), "w+b") as out:
                windows_dest = "R:\\" + self._testMethodName + r"\dest"
                proc = self.wine.popen("chathoard.com", ["/normal", r"R:\icq", windows_dest],
                                       self.program, stdout=out, stderr=subprocess.STDOUT,
                                       stdin=subprocess.DEVNULL)
                # Once the run has begun, well within its 20 seconds' wait for the lock.
                for _ in range(300):
                    if os.path.exists(log) or proc.poll() is not None:
                        break
                    time.sleep(0.1)
                time.sleep(1)
                proc.send_signal(signal.SIGINT)
                code = proc.wait(timeout=60)
                out.seek(0)
                lines = wine_env.lines_of(out.read())
        finally:
            release()
        self.assertEqual(code, 6, lines)
        self.assertEqual(lines[-1], "Finished with exit code 6")
        self.assertFalse(os.path.exists(dest) and os.listdir(dest), os.listdir(self.case))

    # A virus scanner that opens each new file as it appears, sharing reading and writing but
    # not deleting: the staged copy stays the backup's own from its copy to its packing, so
    # the scanner cannot open it, nothing else can change it, and it goes once packed.

    def test_a_scanner_cannot_hold_a_staged_copy_so_the_clean_up_completes(self):
        dest = os.path.join(self.case, "dest")
        os.makedirs(dest)
        windows_dest = "R:\\" + self._testMethodName + r"\dest"
        staging = os.path.join(self.staging_drive, "chathoard")
        os.makedirs(staging)  # there before the run, with a file of the user's
        with open(os.path.join(staging, "notes.txt"), "w") as f:
            f.write("the user's")
        release = self.run_locker(["--when-made", "S:\\chathoard\\" + LOCKED], b"watching")
        try:
            code, out, err = self.run_backup("zip", r"R:\icq", windows_dest)
        finally:
            release()
        self.assertTrue(release.refused, "file_locker never saw the staged copy")
        self.assertFalse(release.locked, "file_locker opened the staged copy")
        self.assertEqual((code, err), (0, []), out)
        self.assertEqual(out[-1], "Finished with exit code 0")
        self.assertTrue(wine_env.unzip_test(os.path.join(dest, "chathoard.zip")))
        self.assertEqual(os.listdir(staging), ["notes.txt"])
        self.assertFalse(os.path.exists(os.path.join(self.program, "icqtemp.dat")))
        self.assertEqual(wine_env.temporary_files(self.program, dest), [])

    @staticmethod
    def take_read_permission(path):
        os.chmod(path, 0)
        return lambda: os.chmod(path, 0o644)

    def check_refused_source(self, block, reason):
        for kind in ("normal", "zip"):
            with self.subTest(kind=kind):
                dest = os.path.join(self.case, "dest-" + kind)
                windows_dest = "R:\\" + self._testMethodName + "\\dest-" + kind
                earlier = self.make_earlier_backup(kind, dest, windows_dest)
                unblock = block(os.path.join(self.db, LOCKED))
                try:
                    result = self.run_backup(kind, r"R:\icq", windows_dest)
                finally:
                    unblock()
                self.assert_failed_plainly(result, "The file " + LOCKED, "R:\\icq\\db\\" + LOCKED,
                                           reason)
                if kind == "zip":
                    self.assertIn("chathoard.zip was not written", result[2][0])
                    self.assertEqual(wine_env.tree_hashes(dest), earlier)
                else:
                    self.assert_earlier_backup_kept(dest, earlier, result)
                self.assert_nothing_left(dest)

    def test_database_file_held_open_by_the_messenger_stops_the_run_with_code_4(self):
        for kind in ("normal", "zip"):
            with self.subTest(kind=kind):
                dest = os.path.join(self.case, "dest-" + kind)
                windows_dest = "R:\\" + self._testMethodName + "\\dest-" + kind
                earlier = self.make_earlier_backup(kind, dest, windows_dest)
                release = self.hold_open(os.path.join(self.db, LOCKED))
                try:
                    code, out, err = self.run_backup(kind, r"R:\icq", windows_dest)
                finally:
                    release()
                self.assertEqual(code, 4, (out, err))
                self.assertEqual(err, [
                    "The database stayed in use: R:\\icq\\db\\" + LOCKED + " is held open by "
                    "another program. If ICQ is running, close it and try again, or add /wait to "
                    "wait for it to close.", "Finished with exit code 4"])
                self.assertEqual(wine_env.tree_hashes(dest), earlier)
                self.assert_nothing_left(dest)

    def test_wait_goes_on_once_the_messenger_lets_the_file_go(self):
        dest = os.path.join(self.case, "dest")
        os.makedirs(dest)
        release = self.hold_open(os.path.join(self.db, LOCKED))
        result = []
        run = threading.Thread(target=lambda: result.append(self.wine.run_program(
            self.program, ["/normal", r"R:\icq", "R:\\" + self._testMethodName + r"\dest",
                           "/wait:1"])))
        run.start()
        try:
            time.sleep(20)
        finally:
            release()
            run.join()
        code, out, err = result[0]
        self.assertEqual((code, err), (0, []))
        self.assertIn("is in use: waiting for ICQ to close (up to 1 minute", out[1])
        self.assertEqual(out[2], "ICQ has closed: the database is no longer in use")
        self.assertEqual(out[-1], "Finished with exit code 0")
        self.assertEqual(sorted(os.listdir(dest)), self.names)

    # Two backups at once

    def test_a_backup_started_while_another_runs_exits_5_and_touches_nothing(self):
        dest = os.path.join(self.case, "dest")
        windows_dest = "R:\\" + self._testMethodName + r"\dest"
        earlier = self.make_earlier_backup("zip", dest, windows_dest)
        # file_locker plays the backup that is running: it holds the machine's backup lock.
        release = self.run_locker(["--backup-lock"])
        db_before = wine_env.tree_hashes(self.db)
        try:
            code, out, err = self.run_backup("zip", r"R:\icq", windows_dest)
            # A restore does not replace the database under a running backup either.
            restore = self.wine.run_program(
                self.program, ["/restore", windows_dest + r"\chathoard.zip", r"R:\icq"])
        finally:
            release()
        self.assertEqual(restore[0], 5, restore)
        self.assertIn("The restore waited 20 seconds", restore[2][0])
        self.assertEqual(wine_env.tree_hashes(self.db), db_before)
        self.assertEqual(code, 5, (out, err))
        self.assertTrue(err[0].startswith("[Another backup is running] Another backup is running "
                                          "on this computer"), err)
        self.assertIn("nothing was written", err[0])
        self.assertEqual(err[-1], "Finished with exit code 5")
        self.assertEqual(wine_env.tree_hashes(dest), earlier)
        self.assertEqual(os.listdir(self.staging_drive), [])
        self.assertFalse(os.path.exists(os.path.join(self.program, "icqtemp.dat")))
        # Once the other backup has let go, a backup runs to its end.
        code, out, err = self.run_backup("zip", r"R:\icq", windows_dest)
        self.assertEqual(code, 0, (out, err))
        self.assertTrue(wine_env.unzip_test(os.path.join(dest, "chathoard.zip")))
        self.assert_nothing_left(dest)

    def test_unreadable_database_file_is_named(self):
        if os.geteuid() == 0 and not wine_env.PERMISSIONS_APPLY:
            self.skipTest("file permissions do not apply to root here")
        self.check_refused_source(self.take_read_permission, "access was denied")


def main():
    global WORK
    WORK, argv = wine_env.work_folder_and_argv("failure-work")
    unittest.main(argv=argv, verbosity=2)


if __name__ == "__main__":
    main()

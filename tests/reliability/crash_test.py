#!/usr/bin/env python3
"""Kills chathoard.exe (SIGKILL of its Wine process) at random moments of a backup and checks
that nothing of the user's was lost or half-written.

  CHATHOARD_BIN_DIR=<build>/bin python3 tests/reliability/crash_test.py \
      [--size-mb 300] [--kills 20] [--seed 1] [--work <folder>] [--backups normal,zip]

Each backup first runs once over an older version of the database (every file half as long),
which gives the earlier backup. Then, per kill, the destination is put back to that earlier
backup, the program is started on the current database and killed after a random delay
(seeded) within the time a whole run takes. After the kill:
  - every file in the destination is the earlier backup's version or the database's current
    one, or one of our temporary files;
  - chathoard.zip is the earlier archive, or a new one that passes `unzip -t` and holds the
    current database;
  - nothing outside the destination, the staging folder and the program folder changed.
Then the program runs again to its end: it must succeed, leave the current database in the
destination, and leave no temporary file, staged copy, staging folder or list file behind.
Exits 1 when any check fails.
"""
import argparse
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import time
import zipfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))
import wine_env  # noqa: E402
from wine_env import Wine  # noqa: E402


class Checker:
    def __init__(self):
        self.failures = []

    def check(self, ok, what):
        if not ok:
            self.failures.append(what)
            print("  FAIL:", what, flush=True)
        return ok


class Scene:
    """The work folder: R: is its root, S: the staging drive, D: the destination's drive."""

    def __init__(self, work, size_mb, seed):
        self.work = work
        self.db = os.path.join(work, "icq", "db")
        self.program = os.path.join(work, "prog")
        self.staging_drive = os.path.join(work, "staging-drive")
        self.size_mb = size_mb
        self.seed = seed

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def prepare(self, wine):
        wine_env.fresh_folder(self.work)
        os.makedirs(self.staging_drive)
        wine_env.make_corpus(self.db, self.size_mb, self.seed)
        old_db = self.path("icq-old", "db")
        wine_env.make_older_database(self.db, old_db)
        wine_env.make_program_folder(self.program, "S")
        wine.map_drive("r", self.work)
        wine.map_drive("s", self.staging_drive)
        self.names = wine_env.database_names(self.db)
        self.new = {n: wine_env.file_hash(os.path.join(self.db, n)) for n in self.names}
        self.new_crc = {n: crc32_of(os.path.join(self.db, n)) for n in self.names}
        self.old = {n: wine_env.file_hash(os.path.join(old_db, n)) for n in self.names}

    def destination(self, kind):
        return self.path("dest-" + kind)

    def saved_earlier(self, kind):
        return self.path("earlier-" + kind)

    def restore_earlier(self, kind):
        dest = self.destination(kind)
        shutil.rmtree(dest, ignore_errors=True)
        shutil.copytree(self.saved_earlier(kind), dest)

    def outside(self):
        skip = [self.destination("normal"), self.destination("zip"), self.staging_drive,
                self.program]
        return wine_env.tree_hashes(self.work, skip)


def crc32_of(path):
    crc = 0
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            crc = zlib.crc32(chunk, crc)
    return crc


def archive_holds(archive, expected_crc):
    """True when the archive passes `unzip -t` and holds exactly these files and contents."""
    if not wine_env.unzip_test(archive):
        return False
    with zipfile.ZipFile(archive) as z:
        found = {os.path.basename(i.filename): i.CRC for i in z.infolist()}
    return found == expected_crc


def backup_args(kind, scene):
    return ["/" + kind, r"R:\icq", "R:\\dest-" + kind]


def check_after_kill(kind, scene, earlier_archive_hash, c):
    dest = scene.destination(kind)
    temporary = set(wine_env.temporary_files(dest))
    for name in sorted(os.listdir(dest)):
        full = os.path.join(dest, name)
        if full in temporary:
            continue
        if kind == "normal":
            h = wine_env.file_hash(full)
            c.check(name in scene.names and h in (scene.old[name], scene.new[name]),
                    f"{kind}: {name} is neither the earlier nor the current version")
        else:
            c.check(name == "chathoard.zip", f"{kind}: unexpected file {name}")
            c.check(wine_env.file_hash(full) == earlier_archive_hash
                    or archive_holds(full, scene.new_crc),
                    f"{kind}: chathoard.zip is neither the earlier archive nor a whole new one")
    if kind == "zip":
        c.check(os.path.exists(os.path.join(dest, "chathoard.zip")), "zip: the archive is gone")
    return temporary


def check_after_next_run(kind, scene, result, c):
    code, out, err = result
    c.check(code == 0, f"{kind}: the run after the kill ended with {code}: {err}")
    dest = scene.destination(kind)
    if kind == "normal":
        found = {n: wine_env.file_hash(os.path.join(dest, n)) for n in os.listdir(dest)}
        c.check(found == scene.new, f"{kind}: the destination does not hold the current database")
    else:
        c.check(os.listdir(dest) == ["chathoard.zip"],
                f"{kind}: the destination holds {os.listdir(dest)}")
        c.check(archive_holds(os.path.join(dest, "chathoard.zip"), scene.new_crc),
                f"{kind}: the new archive fails unzip -t or misses data")
    staging = os.path.join(scene.staging_drive, "chathoard")
    if os.path.isdir(staging):
        c.check(False, f"{kind}: the staging folder was left, holding {os.listdir(staging)}")
    c.check(not os.path.exists(os.path.join(scene.program, "icqtemp.dat")),
            f"{kind}: the list file icqtemp.dat was left")
    c.check(wine_env.temporary_files(dest, scene.program) == [],
            f"{kind}: temporary files left: {wine_env.temporary_files(dest, scene.program)}")


def timed_run(wine, scene, kind):
    started = time.monotonic()
    wine.run_program(scene.program, backup_args(kind, scene))
    return time.monotonic() - started


def kill_loop(kind, scene, wine, kills, rng, c):
    dest = scene.destination(kind)
    os.makedirs(dest)
    code, _, err = wine.run_program(scene.program,
                                    ["/" + kind, r"R:\icq-old", "R:\\dest-" + kind])
    if not c.check(code == 0, f"{kind}: the earlier backup failed: {err}"):
        return
    shutil.copytree(dest, scene.saved_earlier(kind))
    earlier_archive = os.path.join(dest, "chathoard.zip")
    earlier_hash = wine_env.file_hash(earlier_archive) if kind == "zip" else None
    outside = scene.outside()

    durations = [timed_run(wine, scene, kind)]
    print(f"{kind}: a whole run takes {durations[0]:.1f} s", flush=True)

    # Kills that come after the run has ended prove nothing, so they are not counted; the
    # length of a whole run is re-estimated from every run to its end.
    landed = attempts = leftovers = 0
    while landed < kills and attempts < 2 * kills:
        attempts += 1
        scene.restore_earlier(kind)
        delay = rng.uniform(0.0, 0.9 * statistics.median(durations))
        proc = wine.popen("chathoard.exe", backup_args(kind, scene), scene.program,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          stdin=subprocess.DEVNULL)
        time.sleep(delay)
        finished = proc.poll() is not None
        if not finished:
            proc.send_signal(signal.SIGKILL)
            landed += 1
        proc.wait()
        print(f"  kill {attempts} after {delay:.2f} s"
              + (" came after the run had ended" if finished else ""), flush=True)
        left = check_after_kill(kind, scene, earlier_hash, c)
        if os.path.isdir(os.path.join(scene.staging_drive, "chathoard")) or left or \
                os.path.exists(os.path.join(scene.program, "icqtemp.dat")):
            leftovers += 1
        c.check(scene.outside() == outside, f"{kind}: files outside the backup's folders changed")
        started = time.monotonic()
        result = wine.run_program(scene.program, backup_args(kind, scene))
        durations.append(time.monotonic() - started)
        check_after_next_run(kind, scene, result, c)
        c.check(scene.outside() == outside, f"{kind}: files outside the backup's folders changed")
    c.check(landed > 0, f"{kind}: none of {attempts} kills came during a run")
    print(f"{kind}: {landed} kills during the run, {leftovers} of them left "
          f"temporary files for the next run", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size-mb", type=float, default=300)
    parser.add_argument("--kills", type=int, default=20)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--work", default=os.path.join(os.getcwd(), "crash-work"))
    parser.add_argument("--backups", default="normal,zip")
    args = parser.parse_args()

    work = os.path.abspath(args.work)
    wine = Wine(os.path.join(os.path.dirname(work), "wine-reliability")).start()
    c = Checker()
    try:
        scene = Scene(work, args.size_mb, args.seed)
        scene.prepare(wine)
        print(f"database: {len(scene.names)} files, "
              f"{sum(os.path.getsize(os.path.join(scene.db, n)) for n in scene.names) >> 20} MB",
              flush=True)
        for kind in args.backups.split(","):
            kill_loop(kind, scene, wine, args.kills, random.Random(f"{args.seed}-{kind}"), c)
    finally:
        wine.stop()
    print(f"crash_test: {len(c.failures)} failed checks")
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())

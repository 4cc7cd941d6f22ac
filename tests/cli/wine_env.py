"""Runs chathoard.exe under Wine for the command-line and reliability tests.

Every test run gets a Wine prefix of its own (created once, then reused) with its own
wineserver, so that the tests may map drive letters, kill the program and stop the server
without touching anyone else's Wine. When run as root, the wineserver and the programs run
without the capabilities that let root ignore file permissions: a file without read
permission is then unreadable to the program, as it is to a Windows user without access.
"""
import argparse
import contextlib
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
MAKE_CORPUS = os.path.join(ROOT, "bench", "make_corpus.py")

# Root may read and write any file; without these two capabilities it may not.
_DAC_CAPS = "-dac_override,-dac_read_search"
PERMISSIONS_APPLY = (["setpriv", f"--inh-caps={_DAC_CAPS}", f"--bounding-set={_DAC_CAPS}"]
                     if os.geteuid() == 0 else [])

TEMP_NAME_PARTS = ("~chathoard-", ".azip")  # our copy's and the library's temporary names


def bin_dir():
    path = os.environ.get("CHATHOARD_BIN_DIR")
    if not path or not os.path.isfile(os.path.join(path, "chathoard.exe")):
        raise SystemExit("set CHATHOARD_BIN_DIR to the folder holding chathoard.exe and azip32.dll")
    return path


class Wine:
    """One Wine prefix with a wineserver this test started, and drive letters it mapped."""

    def __init__(self, prefix):
        self.prefix = os.path.abspath(prefix)
        self.env = {k: v for k, v in os.environ.items() if k != "WINEDEBUG"}
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all")
        self._links = []

    def start(self):
        if not os.path.isfile(os.path.join(self.prefix, "system.reg")):
            os.makedirs(self.prefix, exist_ok=True)
            subprocess.run(["wineboot", "-i"], env=self._env(display=False), check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        # A server left by an interrupted run of these tests may hold other capabilities.
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        # The server outlives this call: it must not hold the caller's output open.
        subprocess.run(PERMISSIONS_APPLY + ["wineserver", "-p"], env=self.env, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return self

    def stop(self):
        for link in self._links:
            if os.path.islink(link):
                os.unlink(link)
        self._links.clear()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)

    def map_drive(self, letter, unix_path):
        link = os.path.join(self.prefix, "dosdevices", letter.lower() + ":")
        if os.path.islink(link):
            os.unlink(link)
        os.symlink(os.path.abspath(unix_path), link)
        self._links.append(link)

    def _env(self, display):
        env = dict(self.env)
        if not display:
            env.pop("DISPLAY", None)
        return env

    def popen(self, program, args, cwd, display=False, **kwargs):
        return subprocess.Popen(PERMISSIONS_APPLY + ["wine", program] + list(args), cwd=cwd,
                                env=self._env(display), **kwargs)

    def run_program(self, program_folder, args, timeout=120, display=False, cwd=None,
                    input_bytes=None):
        """Runs chathoard.exe from its program folder, in the working folder cwd (a Linux path;
        default the program folder), its standard input input_bytes (default none); returns
        (exit code, out lines, err lines)."""
        code, out, err = self._run_once(program_folder, args, timeout, display, cwd, input_bytes)
        if code != 0 and not out and not err:
            # Every run of the program says at least how it finished, on one stream or the
            # other, and logs its first line. Silence means Wine never got it going: seen
            # once in CI (exit status 66, the low byte of STATUS_DLL_INIT_FAILED) and once in
            # eight loaded runs of this suite here (exit status 1, nothing in the program's
            # log). The run is made once more, and said here so that it shows in the test's
            # log; a program that fails this way every time still fails the test.
            print(f"note: chathoard.exe {' '.join(args)} ended with exit status {code} without "
                  "a word; started again", file=sys.stderr)
            code, out, err = self._run_once(program_folder, args, timeout, display, cwd,
                                            input_bytes)
        return code, out, err

    def _run_once(self, program_folder, args, timeout, display, cwd, input_bytes):
        # Files, not pipes: Wine's service processes started by this run inherit the handles
        # and would hold a pipe open long after the program has ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
                tempfile.TemporaryFile() as given:
            given.write(input_bytes or b"")
            given.seek(0)
            program = "chathoard.exe" if cwd is None else os.path.join(program_folder,
                                                                        "chathoard.exe")
            proc = self.popen(program, args, cwd or program_folder, display, stdout=out,
                              stderr=err, stdin=given if input_bytes else subprocess.DEVNULL)
            try:
                code = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                raise
            out.seek(0)
            err.seek(0)
            return code, lines_of(out.read()), lines_of(err.read())


def lines_of(data):
    return [line for line in data.decode("cp1252").splitlines() if line]


def make_program_folder(path, staging_letter):
    """A fresh program folder: the program, its library and a defaultdrive.ini."""
    os.makedirs(path, exist_ok=True)
    for name in ("chathoard.exe", "azip32.dll"):
        shutil.copy2(os.path.join(bin_dir(), name), path)
    with open(os.path.join(path, "defaultdrive.ini"), "wb") as f:
        f.write(staging_letter.encode() + b"\r\n")
    return path


def make_corpus(folder, size_mb, seed=1):
    subprocess.run(["python3", MAKE_CORPUS, "--size-mb", str(size_mb), "--out", folder,
                    "--seed", str(seed)], check=True, stdout=subprocess.DEVNULL)


def make_older_database(db_folder, old_db_folder):
    """The same files, each half as long: the database as it was before the chats went on."""
    os.makedirs(old_db_folder)
    for name in os.listdir(db_folder):
        with open(os.path.join(db_folder, name), "rb") as f:
            data = f.read()
        with open(os.path.join(old_db_folder, name), "wb") as f:
            f.write(data[: len(data) // 2])


def work_folder_and_argv(default_name):
    """A test script's --work folder, and the arguments left over for unittest."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", default=os.path.join(os.getcwd(), default_name))
    args, rest = parser.parse_known_args()
    return os.path.abspath(args.work), [sys.argv[0]] + rest


def database_names(db_folder):
    return sorted(n for n in os.listdir(db_folder)
                  if n.lower().endswith((".dat", ".idx")))


def file_hash(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()


def tree_hashes(folder, skip=()):
    """{relative path: hash} of every file below folder, leaving out the folders in skip."""
    skip = {os.path.abspath(s) for s in skip}
    result = {}
    for dirpath, dirnames, filenames in os.walk(folder):
        dirnames[:] = [d for d in dirnames if os.path.abspath(os.path.join(dirpath, d)) not in skip]
        for name in filenames:
            full = os.path.join(dirpath, name)
            result[os.path.relpath(full, folder)] = file_hash(full)
    return result


def temporary_files(*folders):
    """Names in the folders that are temporary files of the program or its library."""
    found = []
    for folder in folders:
        if os.path.isdir(folder):
            found += [os.path.join(folder, n) for n in os.listdir(folder)
                      if any(part in n.lower() for part in TEMP_NAME_PARTS)]
    return found


def unzip_test(archive):
    """True when `unzip -t` accepts the archive."""
    return subprocess.run(["unzip", "-tqq", archive], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


class WindowWatch:
    """Watches the X display for visible windows that appear while it runs."""

    def __init__(self):
        self.available = bool(os.environ.get("DISPLAY")) and shutil.which("xdotool") is not None
        self.appeared = set()
        self._stop = threading.Event()

    def _visible(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""],
                               capture_output=True, text=True)
        return set(found.stdout.split())

    def _watch(self, before):
        while not self._stop.is_set():
            self.appeared |= self._visible() - before
            time.sleep(0.1)

    @contextlib.contextmanager
    def during(self):
        if not self.available:
            yield self
            return
        # Each run is watched afresh: a stop left set by the last run would end this watch
        # before its first look.
        self._stop.clear()
        self.appeared = set()
        thread = threading.Thread(target=self._watch, args=(self._visible(),))
        thread.start()
        try:
            yield self
        finally:
            self._stop.set()
            thread.join()


def fresh_folder(path):
    """Empties path for a new run, first unmounting what an interrupted run left mounted."""
    path = os.path.abspath(path)
    with open("/proc/mounts") as f:
        mounts = [line.split()[1] for line in f]
    for mount in sorted(mounts, reverse=True):
        if mount.startswith(path + os.sep):
            subprocess.run(["umount", "-l", mount], stderr=subprocess.DEVNULL)
    if os.path.isdir(path):
        for dirpath, dirnames, _ in os.walk(path):
            for d in dirnames:
                os.chmod(os.path.join(dirpath, d), 0o755)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


@contextlib.contextmanager
def mounted_tmpfs(path, size, read_only=False):
    """A tmpfs of the given size ("2m") at path, or None when this machine may not mount."""
    os.makedirs(path, exist_ok=True)
    options = f"size={size}" + (",ro" if read_only else "")
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", path],
                             stderr=subprocess.DEVNULL).returncode == 0
    try:
        yield path if mounted else None
    finally:
        if mounted:
            subprocess.run(["umount", "-l", path], check=True)

#!/usr/bin/env python3
"""Times azip32 against the usual ZIP tools and plain copies on one corpus, in one run.

Called by bench/run.sh, which builds the corpus and the drivers first. Every command packs
(or copies) the same *.dat and *.idx files with a warm page cache; the table gives wall
seconds, throughput, archive size, ratios to zip -6 and peak RSS (from wait4).

  bench.py --corpus DIR --work DIR --azip PATH [--wine-azip PATH] [--e2e CMD] [--repeat N]
  bench.py --memory --azip PATH --corpus DIR [--corpus DIR ...] --work DIR
  bench.py --family --corpus DIR [--corpus DIR ...] --work DIR --azip PATH [--wine-azip PATH]
           [--e2e CMD] [--repeat N]
      the family's peers (zip -6/-9, 7z -mx=1/-mx=5, azip32 natively and under Wine, the
      program) on every corpus, a table each, then the sizes and speeds of all side by side
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20
RSS_LIMIT_KIB = 16 * 1024


def database_files(corpus):
    files = sorted(glob.glob(os.path.join(corpus, "*.dat")) +
                   glob.glob(os.path.join(corpus, "*.idx")))
    if not files:
        sys.exit("bench: no database files in " + corpus)
    return files


def warm(files):
    for f in files:
        with open(f, "rb") as fh:
            while fh.read(8 * MIB):
                pass


def timed(argv, cwd=None):
    """Runs a command; returns (seconds, CPU seconds, peak RSS in KiB) or exits on failure.

    GNU time measures the peak RSS: a child forked straight from this Python process would
    report Python's own size, which Linux carries across exec.

    The clock stops when the command ends. Its standard error goes to a file, not a pipe:
    Wine's desktop process, started by a program with a user interface, inherits the
    program's streams and lives on for a second or two after it, and a pipe would be read
    until that process ended too."""
    rss_file = os.path.join(os.path.abspath(os.environ.get("TMPDIR", "/tmp")),
                            "bench-rss-%d" % os.getpid())
    with tempfile.TemporaryFile() as errors:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", rss_file] + argv,
                              cwd=cwd, stdout=subprocess.DEVNULL, stderr=errors)
        seconds = time.perf_counter() - start
        if done.returncode != 0:
            errors.seek(0)
            sys.exit("bench: %s failed (%d): %s" % (" ".join(argv), done.returncode,
                                                   errors.read().decode(errors="replace")))
    with open(rss_file) as f:
        user, system, rss = f.read().split()[-3:]
    os.remove(rss_file)
    return seconds, float(user) + float(system), int(rss)


def write_list(path, files, windows=False):
    with open(path, "wb") as f:
        for p in files:
            if windows:
                p = "Z:" + p.replace("/", "\\")
            f.write(p.encode() + b"\r\n")


def windows_path(p):
    return "Z:" + os.path.abspath(p).replace("/", "\\")


def peers(files, work, args):
    """(label, argv or callable, archive path or None) for every contender."""
    names = [os.path.basename(f) for f in files]
    corpus = os.path.dirname(files[0])
    out = lambda name: os.path.join(work, name)
    copy_dir = os.path.join(work, "copy")
    quoted = " ".join("'%s'" % n for n in names)
    rows = []
    for level in ((6, 9) if args.family else (1, 6, 9)):
        rows.append(("zip -j -%d" % level, ["zip", "-q", "-j", "-%d" % level,
                                            out("zip%d.zip" % level)] + names, out("zip%d.zip" % level)))
    for level in (1, 5):
        rows.append(("7z -tzip -mx=%d" % level,
                     ["7z", "a", "-tzip", "-mx=%d" % level, "-bd", "-bso0", "-bsp0",
                      out("7z%d.zip" % level)] + names, out("7z%d.zip" % level)))
    py = ("import sys, zipfile\n"
          "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "    for n in sys.argv[2:]: z.write(n)\n")
    if not args.family:
        rows.append(("python zipfile", [sys.executable, "-c", py, out("py.zip")] + names,
                     out("py.zip")))
        rows.append(("cp", ["sh", "-c", "cp %s '%s'/" % (quoted, copy_dir)], None))
        rows.append(("cp && sync", ["sh", "-c", "cp %s '%s'/ && sync" % (quoted, copy_dir)],
                     None))
    list_file = out("list.txt")
    write_list(list_file, files)
    rows.append(("azip32 (native)", [args.azip, out("azip.zip"), list_file], out("azip.zip")))
    if not args.family:
        # The same encoder with a shorter search, placing it at the size of the fast tools.
        rows.append(("azip32 (native), chain 8, lazy 8", [args.azip, "--chain", "8", "--lazy",
                     "8", "--good", "4", out("azip-fast.zip"), list_file], out("azip-fast.zip")))
    if args.wine_azip:
        wine_list = out("list-wine.txt")
        write_list(wine_list, files, windows=True)
        rows.append(("azip32.dll under Wine", ["wine", args.wine_azip, windows_path(out("wine.zip")),
                                               windows_path(wine_list)], out("wine.zip")))
    if args.e2e:
        # The whole program's ZIP backup under Wine; the command gets the corpus folder and
        # the archive to write and must leave that archive behind.
        rows.append(("program ZIP Backup (Wine)", ["sh", "-c", args.e2e, "e2e", corpus,
                                                   out("e2e.zip")], out("e2e.zip")))
    return corpus, copy_dir, rows


def run_table(args):
    files = database_files(args.corpus)
    total = sum(os.path.getsize(f) for f in files)
    os.makedirs(args.work, exist_ok=True)
    corpus, copy_dir, rows = peers(files, args.work, args)
    warm(files)
    results = []
    for label, argv, archive in rows:
        best = None
        for _ in range(args.repeat):
            if archive and os.path.exists(archive):
                os.remove(archive)
            shutil.rmtree(copy_dir, ignore_errors=True)
            os.makedirs(copy_dir)
            run = timed(argv, cwd=corpus)
            if best is None or run[0] < best[0]:
                best = run
        size = os.path.getsize(archive) if archive else None
        results.append((label, best[0], best[1], best[2], size))
        print("  %-28s %7.2f s" % (label, best[0]), file=sys.stderr, flush=True)
    shutil.rmtree(copy_dir, ignore_errors=True)
    for _, _, archive in rows:
        if archive and os.path.exists(archive):
            os.remove(archive)  # the family's archives would fill the disk otherwise

    ref = {r[0]: r for r in results}["zip -j -6"]
    with open("/proc/loadavg") as f:
        load = f.read().split()[0]
    print("Corpus: %s, %d files, %.1f MiB; best of %d run(s) each, page cache warm; %d cores; "
          "load average %s at the end." % (args.corpus, len(files), total / MIB, args.repeat,
                                            os.cpu_count(), load))
    print()
    print("| Command | Seconds | CPU seconds | MB/s | Archive bytes | Archive/input | "
          "Speed vs zip -6 | Size vs zip -6 | Peak RSS MiB |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for label, seconds, cpu, rss, size in results:
        print("| %s | %.2f | %.2f | %.1f | %s | %s | %.2fx | %s | %.1f |" % (
            label, seconds, cpu, total / seconds / 1e6,
            "%d" % size if size is not None else "-",
            "%.3f" % (size / total) if size is not None else "-",
            ref[1] / seconds,
            "%.4f" % (size / ref[4]) if size is not None else "-",
            rss / 1024))
    return total, load, results


def run_family(args):
    """One table per corpus, then every corpus's sizes and speeds against zip -6."""
    summary = []
    corpora = args.corpus
    for corpus in corpora:
        args.corpus = corpus
        print("### %s" % os.path.basename(os.path.normpath(corpus)))
        print()
        with open("/proc/loadavg") as f:
            print("Load average %s before the run." % f.read().split()[0])
        summary.append((corpus,) + run_table(args))
        print(flush=True)
    labels = [r[0] for r in summary[0][3]]
    print("### Size vs zip -6, every corpus")
    print()
    print("| Corpus | MiB | zip -6 bytes | " + " | ".join(labels[1:]) + " |")
    print("|---|---:|---:|" + "---:|" * (len(labels) - 1))
    worst = None
    for corpus, total, _, results in summary:
        ref = results[0][4]
        name = os.path.basename(os.path.normpath(corpus))
        print("| %s | %.0f | %d | %s |" % (name, total / MIB, ref, " | ".join(
            "%.4f" % (r[4] / ref) for r in results[1:])))
        ratio = {r[0]: r[4] / ref for r in results}["azip32 (native)"]
        if worst is None or ratio > worst[1]:
            worst = (name, ratio)
    print()
    print("### Speed vs zip -6 (its seconds over each command's), every corpus")
    print()
    print("| Corpus | zip -6 seconds | load at end | " + " | ".join(labels[1:]) + " |")
    print("|---|---:|---:|" + "---:|" * (len(labels) - 1))
    for corpus, total, load, results in summary:
        ref = results[0][1]
        print("| %s | %.2f | %s | %s |" % (os.path.basename(os.path.normpath(corpus)), ref, load,
                                           " | ".join("%.2fx" % (ref / r[1]) for r in results[1:])))
    print()
    print("Worst corpus for azip32's size: %s, %.4f of zip -6's." % worst)
    ours = "program ZIP Backup (Wine)"
    if ours in labels:
        print()
        print("### The whole ZIP Backup against zip -j -6 (%s)" % args.wine_build)
        print()
        print("| Corpus | MiB | files | ours | zip -6 | speed | size vs zip -6 |")
        print("|---|---:|---:|---:|---:|---:|---:|")
        for corpus, total, _, results in summary:
            ref = results[0]
            row = {r[0]: r for r in results}[ours]
            print("| %s | %.0f | %d | %.2f s | %.2f s | %.2fx | %.4f |" % (
                os.path.basename(os.path.normpath(corpus)), total / MIB,
                len(database_files(corpus)), row[1], ref[1], ref[1] / row[1], row[4] / ref[4]))


def run_memory(args):
    os.makedirs(args.work, exist_ok=True)
    print("| Corpus | Input MiB | Seconds | Peak RSS MiB | Under 16 MiB |")
    print("|---|---:|---:|---:|---|")
    worst = 0
    for corpus in args.corpus:
        files = database_files(corpus)
        total = sum(os.path.getsize(f) for f in files)
        list_file = os.path.join(args.work, "list.txt")
        write_list(list_file, files)
        archive = os.path.join(args.work, "mem.zip")
        if os.path.exists(archive):
            os.remove(archive)
        warm(files)
        seconds, _, rss = timed([args.azip, archive, list_file])
        os.remove(archive)
        worst = max(worst, rss)
        print("| %s | %.1f | %.2f | %.1f | %s |" % (corpus, total / MIB, seconds, rss / 1024,
                                                    "yes" if rss < RSS_LIMIT_KIB else "NO"))
    return 0 if worst < RSS_LIMIT_KIB else 1


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--corpus", action="append", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--azip", required=True, help="the native bench driver (azip_bench)")
    ap.add_argument("--wine-azip", help="azip_bench.exe beside azip32.dll, run under wine")
    ap.add_argument("--e2e", help="shell command timing the program's ZIP Backup under Wine; "
                                  "gets $1 = corpus folder, $2 = archive to write")
    ap.add_argument("--wine-build", default="the 32-bit program under Wine",
                    help="which build the Wine rows ran, for the summary's title")
    ap.add_argument("--repeat", type=int, default=1)
    ap.add_argument("--memory", action="store_true")
    ap.add_argument("--family", action="store_true")
    args = ap.parse_args()
    if args.memory:
        return run_memory(args)
    if args.family:
        run_family(args)
        return 0
    args.corpus = args.corpus[0]
    run_table(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())

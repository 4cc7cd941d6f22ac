"""Paired runs of azip_bench over a corpus, for the benches that weigh one option's cost.

The same archive of the corpus's *.dat and *.idx files is made alternately with each kind's
extra arguments, repeat times each; each run's wall and CPU time (the child's user + system)
is kept per kind.
"""
import os
import resource
import subprocess
import sys
import time


def paired_runs(azip, corpus, work, repeat, kinds):
    """kinds: (name, extra arguments) pairs. Returns (files, wall, cpu, stderr): the files
    packed, each kind's wall and CPU times, and each kind's last run's standard error."""
    os.makedirs(work, exist_ok=True)
    files = sorted(os.path.join(corpus, n) for n in os.listdir(corpus)
                   if n.endswith((".dat", ".idx")))
    listing = os.path.join(work, "list.txt")
    with open(listing, "w") as f:
        f.write("\n".join(files) + "\n")
    archive = os.path.join(work, "bench.zip")
    wall = {name: [] for name, _ in kinds}
    cpu = {name: [] for name, _ in kinds}
    stderr = {}
    for _ in range(repeat):
        for name, extra in kinds:
            if os.path.exists(archive):
                os.remove(archive)
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            run = subprocess.run([azip] + extra + [archive, listing], capture_output=True,
                                 text=True)
            wall[name].append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu[name].append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
            if run.returncode != 0:
                sys.exit(f"azip_bench failed: {run.stderr}")
            stderr[name] = run.stderr
    return files, wall, cpu, stderr

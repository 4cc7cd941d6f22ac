#!/bin/sh
# What listening to addZIP's progress reports costs: the same archive of the generated
# messenger database, alternately without and with a progress callback, N times each;
# prints the median wall time of both and the difference in per cent.
#
#   bench/progress.sh [--size-mb N] [--repeat N]     (default 256 MB, 5 runs each)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
size=256
repeat=5
while [ $# -gt 0 ]; do
    case "$1" in
    --size-mb) size=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    *) echo "usage: $0 [--size-mb N] [--repeat N]" >&2; exit 2 ;;
    esac
done

bench=$root/build/bench
corpus=$bench/corpus-$size
if [ ! -f "$corpus/.complete" ]; then
    rm -rf "$corpus"
    python3 "$root/bench/make_corpus.py" --size-mb "$size" --out "$corpus" >&2
    touch "$corpus/.complete"
fi
cmake -S "$root" -B "$bench/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench/host" -j2 --target azip_bench >/dev/null

exec python3 - "$bench/host/azip32/azip_bench" "$corpus" "$bench/work-progress" "$repeat" <<'PY'
import os, statistics, subprocess, sys, time
azip, corpus, work, repeat = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
os.makedirs(work, exist_ok=True)
files = sorted(os.path.join(corpus, n) for n in os.listdir(corpus) if n.endswith((".dat", ".idx")))
listing = os.path.join(work, "list.txt")
with open(listing, "w") as f:
    f.write("\n".join(files) + "\n")
archive = os.path.join(work, "bench.zip")
times = {"without": [], "with": []}
for _ in range(repeat):
    for kind, extra in (("without", []), ("with", ["--progress"])):
        if os.path.exists(archive):
            os.remove(archive)
        start = time.perf_counter()
        run = subprocess.run([azip] + extra + [archive, listing], capture_output=True, text=True)
        times[kind].append(time.perf_counter() - start)
        if run.returncode != 0:
            sys.exit(f"azip_bench failed: {run.stderr}")
        if extra:
            reports = run.stderr.strip()
size = sum(os.path.getsize(p) for p in files) / 2**20
without, with_ = statistics.median(times["without"]), statistics.median(times["with"])
print(f"{size:.0f} MB, {len(files)} files, {repeat} runs each ({reports})")
print(f"without progress: {without:.2f} s (median)")
print(f"with progress:    {with_:.2f} s (median)")
print(f"difference:       {100 * (with_ - without) / without:+.2f} %")
PY

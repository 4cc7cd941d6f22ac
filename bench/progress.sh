#!/bin/sh
# What listening to addZIP's progress reports costs: the same archive of the generated
# messenger database, alternately without and with a progress callback, N times each;
# prints the median wall and CPU time of both and the differences in per cent (CPU time
# is the steadier one on a machine that is doing other work).
#
#   bench/progress.sh [--size-mb N] [--repeat N]     (default 256 MB, 5 runs each)
#   bench/progress.sh --instructions [--size-mb N]  instructions executed, counted by
#                                                   valgrind (steady on a busy machine)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
size=256
repeat=5
instructions=no
while [ $# -gt 0 ]; do
    case "$1" in
    --size-mb) size=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --instructions) instructions=yes; shift ;;
    *) echo "usage: $0 [--size-mb N] [--repeat N] [--instructions]" >&2; exit 2 ;;
    esac
done

. "$root/bench/corpus_and_bench.sh"

if [ "$instructions" = yes ]; then
    work=$bench/work-progress
    mkdir -p "$work"
    ls "$corpus"/*.dat "$corpus"/*.idx >"$work/list.txt"
    for option in "" --progress; do
        rm -f "$work/bench.zip"
        count=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
            "$bench/host/azip32/azip_bench" $option "$work/bench.zip" "$work/list.txt" 2>&1 |
            sed -n 's/.*Collected : //p')
        echo "${option:-no progress}: $count instructions"
    done
    exit 0
fi

exec python3 - "$root/bench" "$bench/host/azip32/azip_bench" "$corpus" "$bench/work-progress" \
    "$repeat" <<'PY'
import os, statistics, sys
sys.path.insert(0, sys.argv[1])
from paired_runs import paired_runs
azip, corpus, work, repeat = sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
files, times, cpu, stderr = paired_runs(azip, corpus, work, repeat,
                                        (("without", []), ("with", ["--progress"])))
reports = stderr["with"].strip()
size = sum(os.path.getsize(p) for p in files) / 2**20
print(f"{size:.0f} MB, {len(files)} files, {repeat} runs each ({reports})")
for label, data in (("wall time", times), ("CPU time", cpu)):
    without, with_ = statistics.median(data["without"]), statistics.median(data["with"])
    print(f"{label}: without progress {without:.2f} s, with progress {with_:.2f} s (medians), "
          f"difference {100 * (with_ - without) / without:+.2f} %")
    print("  runs without: " + " ".join(f"{t:.2f}" for t in data["without"]))
    print("  runs with:    " + " ".join(f"{t:.2f}" for t in data["with"]))
PY

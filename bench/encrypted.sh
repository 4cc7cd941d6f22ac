#!/bin/sh
# What encryption costs a ZIP Backup's archive: the same archive of the generated messenger
# database, alternately plain and encrypted (AES-256 with a password), N times each; prints
# the median wall and CPU time of both and the difference in per cent. The target is at most
# 10 % more.
#
#   bench/encrypted.sh [--size-mb N] [--repeat N]     (default 256 MB, 5 runs each)
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

. "$root/bench/corpus_and_bench.sh"

exec python3 - "$root/bench" "$bench/host/azip32/azip_bench" "$corpus" "$bench/work-encrypted" \
    "$repeat" <<'PY'
import os, statistics, sys
sys.path.insert(0, sys.argv[1])
from paired_runs import paired_runs
azip, corpus, work, repeat = sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
files, times, cpu, _ = paired_runs(azip, corpus, work, repeat,
                                   (("plain", []), ("encrypted", ["--password", "bench pass"])))
size = sum(os.path.getsize(p) for p in files) / 2**20
print(f"{size:.0f} MB, {len(files)} files, {repeat} runs each")
for label, data in (("wall time", times), ("CPU time", cpu)):
    plain, enc = statistics.median(data["plain"]), statistics.median(data["encrypted"])
    verdict = "within" if enc <= 1.10 * plain else "OVER"
    print(f"{label}: plain {plain:.2f} s, encrypted {enc:.2f} s (medians), "
          f"difference {100 * (enc - plain) / plain:+.2f} % ({verdict} the 10 % target)")
PY

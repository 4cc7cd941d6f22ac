#!/bin/sh
# The Normal Backup against `cp` then `sync` on the same .dat/.idx files (the target is at
# least 0.8x the throughput of cp && sync), best of N runs each, as a Markdown table:
#   bench/normal_backup.sh [--repeat N] [CORPUS_DIR]
# Rows: cp && sync into an empty folder and over an earlier copy; the program's Normal Backup
# code timed inside one Wine process (normal_backup_bench.cpp), into an empty folder and over
# an earlier backup; the same copies without the flush, as the ZIP Backup's staging makes
# them; the whole `chathoard.exe /normal` run with Wine's process start-up; and
# that start-up alone (`chathoard.exe /?`). The Wine server is kept running between runs, as
# a desktop session would have it. NORMAL_BENCH_EXE and CHATHOARD_EXE replace the programs
# built here, e.g. to compare two versions.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bench=$root/build/bench
repeat=5
if [ "${1:-}" = --repeat ]; then
    repeat=$2
    shift 2
fi
corpus=${1:-$bench/corpus-256}
[ -d "$corpus" ] || python3 "$root/bench/make_corpus.py" --size-mb 256 --out "$corpus"
corpus=$(realpath "$corpus")

cmake -S "$root" -B "$bench/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$bench/win32" -j2 --target normal_backup_bench chathoard >/dev/null
driver=${NORMAL_BENCH_EXE:-$bench/win32/bin/normal_backup_bench.exe}
export CHATHOARD_EXE="${CHATHOARD_EXE:-$bench/win32/bin/chathoard.exe}"

export WINEPREFIX="${WINEPREFIX:-$bench/wineprefix}" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
# Started here with no terminal or pipe of ours: the server and the system processes of the
# first program outlive it and would hold a pipe open. The first run also warms the cache.
wineserver -p 30 </dev/null >/dev/null 2>&1 || true # already running is as good
wine "$CHATHOARD_EXE" /? </dev/null >/dev/null 2>&1

work=$(mktemp -d "${TMPDIR:-/tmp}/chathoard-normal.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ICQ" "$work/dest" "$work/cp"
ln -s "$corpus" "$work/ICQ/db"
# The files the backup copies, in a list that survives odd names.
(cd "$corpus" && find . -maxdepth 1 -type f \( -iname '*.dat' -o -iname '*.idx' \) -print0) \
    >"$work/files"
count=$(tr -cd '\0' <"$work/files" | wc -c)
megabytes=$(cd "$corpus" && xargs -0 stat -c %s <"$work/files" |
    awk '{ s += $1 } END { printf "%.1f", s / 1e6 }')

now() { date +%s.%N; }
# Best of $repeat wall times of "$@", in seconds; $prepare runs untimed before each.
best() {
    b=
    i=0
    while [ $i -lt "$repeat" ]; do
        $prepare
        t0=$(now)
        "$@" >/dev/null
        t1=$(now)
        b=$(awk -v a="$t0" -v z="$t1" -v b="$b" 'BEGIN { t = z - a; print (b == "" || t < b) ? t : b }')
        i=$((i + 1))
    done
    echo "$b"
}
copy_all() { (cd "$corpus" && xargs -0 cp -t "$work/cp" <"$work/files") && sync; }
empty_cp() { rm -rf "$work/cp" && mkdir "$work/cp" && sync; }
# e2e_backup.sh replaces its output folder; an absent one keeps that deletion out of the time.
no_e2e() { rm -rf "$work/e2e" && sync; }
e2e() { "$root/bench/e2e_backup.sh" normal "$corpus" "$work/e2e"; }

prepare=empty_cp
cp_fresh=$(best copy_all)
prepare=true
cp_replace=$(best copy_all)
driver_lines=$(wine "$driver" "$(winepath -w "$work/ICQ")" "$(winepath -w "$work/dest")" "$repeat")
own_fresh=$(echo "$driver_lines" | sed -n 's/^new destination: \([0-9.]*\) s.*/\1/p')
own_replace=$(echo "$driver_lines" | sed -n 's/^replacing: \([0-9.]*\) s.*/\1/p')
own_staging=$(echo "$driver_lines" | sed -n 's/^staging copies: \([0-9.]*\) s.*/\1/p')
prepare=no_e2e
whole=$(best e2e)
prepare=true
startup=$(best wine "$CHATHOARD_EXE" /?)

echo "Corpus: $corpus, $count files, $megabytes MB; best of $repeat run(s) each, page cache warm;" \
    "$(nproc) cores; load average $(cut -d' ' -f1 /proc/loadavg) at the end."
echo
echo "| Command | Seconds | MB/s | Throughput vs cp && sync (new folder) |"
echo "|---|---:|---:|---:|"
row() {
    awk -v name="$1" -v s="$2" -v mb="$megabytes" -v base="$cp_fresh" 'BEGIN {
        if (s == "") printf "| %s | - | - | - |\n", name
        else if (mb == "-") printf "| %s | %.3f | - | - |\n", name, s
        else printf "| %s | %.3f | %.1f | %.2fx |\n", name, s, mb / s, base / s }'
}
row "cp && sync, new folder" "$cp_fresh"
row "cp && sync, over an earlier copy" "$cp_replace"
row "Normal Backup in one process, new folder" "$own_fresh"
row "Normal Backup in one process, over an earlier backup" "$own_replace"
row "The same copies unflushed, as the ZIP Backup stages them" "$own_staging"
row "chathoard.exe /normal (Wine process included)" "$whole"
megabytes=- row "Wine start-up alone (chathoard.exe /?)" "$startup"

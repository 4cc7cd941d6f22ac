#!/bin/sh
# Two builds of the program side by side, under Wine:
#   bench/compare_builds.sh [--pairs N] FOLDER_A FOLDER_B CORPUS_DIR
# Each FOLDER holds a chathoard.exe and its azip32.dll (one executable with two libraries is
# how a library change is weighed). The whole ZIP Backup of CORPUS_DIR (bench/e2e_backup.sh
# zip) runs N times with each (default 5), A then B, so that a slower or busier stretch of the
# machine falls on both. Prints each pair's wall seconds, the medians, and whether the two
# archives are the same bytes. Wine's own settings (WINEPREFIX, the loader) come from the
# caller's environment, as for bench/e2e_backup.sh.
set -eu
pairs=5
if [ "${1:-}" = --pairs ]; then pairs=$2; shift 2; fi
[ $# -eq 3 ] || { echo "usage: $0 [--pairs N] FOLDER_A FOLDER_B CORPUS_DIR" >&2; exit 2; }
a=$(realpath "$1") b=$(realpath "$2") corpus=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/chathoard-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Wall milliseconds of one whole ZIP Backup with the program in folder $1, archive to $2.
run() {
    start=$(date +%s%N)
    CHATHOARD_EXE="$1/chathoard.exe" "$here/e2e_backup.sh" zip "$corpus" "$2" </dev/null >/dev/null
    echo $((($(date +%s%N) - start) / 1000000))
}
echo "| pair | A (s) | B (s) |"
echo "|---:|---:|---:|"
for i in $(seq "$pairs"); do
    ta=$(run "$a" "$work/a.zip") tb=$(run "$b" "$work/b.zip")
    echo "$ta" >>"$work/a.txt" && echo "$tb" >>"$work/b.txt"
    awk -v i="$i" -v a="$ta" -v b="$tb" 'BEGIN {printf "| %d | %.2f | %.2f |\n", i, a / 1000, b / 1000}'
done
median() { sort -n "$1" | awk '{v[NR] = $1} END {print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) / 1000}'; }
echo
echo "A: $a, median $(median "$work/a.txt") s"
echo "B: $b, median $(median "$work/b.txt") s"
if cmp -s "$work/a.zip" "$work/b.zip"; then echo "The archives are the same bytes."
else echo "The archives differ: $(stat -c %s "$work/a.zip") and $(stat -c %s "$work/b.zip") bytes."; fi

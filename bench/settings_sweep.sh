#!/bin/sh
# How the deflate encoder's search settings trade speed for size on the bench corpus: packs
# it natively with azip_bench once per setting (both cores, read-back check included) and
# prints a Markdown table beside zip -6's size. The library ships the first row's settings.
#   bench/settings_sweep.sh [CORPUS_DIR]      default build/bench/corpus-256
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(realpath "${1:-$root/build/bench/corpus-256}")
bench=$root/build/bench
work=$bench/work/sweep
mkdir -p "$work"
cmake -S "$root" -B "$bench/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench/host" -j2 --target azip_bench >/dev/null
azip=$bench/host/azip32/azip_bench
list=$work/list.txt
find "$corpus" -maxdepth 1 -type f \( -name '*.dat' -o -name '*.idx' \) | sort >"$list"
zip6=$work/zip6.zip
[ -f "$zip6" ] || (cd "$corpus" && zip -q -j -6 "$zip6" $(sed 's|.*/||' "$list"))
zip6size=$(stat -c %s "$zip6")

echo "| chain | nice | lazy | good | Seconds | Archive bytes | Size vs zip -6 |"
echo "|---:|---:|---:|---:|---:|---:|---:|"
for setting in "40 96 16 6" "24 96 16 6" "32 96 16 6" "48 96 16 6" "64 128 32 8" \
    "128 128 16 8" "16 96 16 6" "8 96 8 4" "4 96 4 4"; do
    set -- $setting
    start=$(date +%s.%N)
    "$azip" --chain "$1" --nice "$2" --lazy "$3" --good "$4" "$work/sweep.zip" "$list"
    end=$(date +%s.%N)
    size=$(stat -c %s "$work/sweep.zip")
    awk -v c="$1" -v n="$2" -v l="$3" -v g="$4" -v s="$start" -v e="$end" -v b="$size" \
        -v z="$zip6size" 'BEGIN { printf "| %d | %d | %d | %d | %.2f | %d | %.4f |\n",
        c, n, l, g, e - s, b, b / z }'
done

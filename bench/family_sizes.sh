#!/bin/sh
# Archive sizes only, for choosing the encoder's settings by the worst corpus of the family:
# packs every corpus under build/family/ natively with azip_bench (any --chain/--nice/--lazy/
# --good options are passed on) and prints each size against zip -6's, which is made once
# per corpus and kept. Sizes do not depend on the machine's load; nothing here is timed.
#   bench/family_sizes.sh [--chain N --nice N --lazy N --good N]
# FAMILY_ONLY="text index" limits the run to those corpora.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
family=$root/build/family
work=$root/build/bench/work-sizes
azip=${AZIP_BENCH:-$root/build/bench/host/azip32/azip_bench}
mkdir -p "$work"
[ -x "$azip" ] || {
    cmake -S "$root" -B "$root/build/bench/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build/bench/host" -j2 --target azip_bench >/dev/null
}
echo "| Corpus | zip -6 bytes | azip32 bytes | Size vs zip -6 |"
echo "|---|---:|---:|---:|"
for dir in "$family"/*/; do
    name=$(basename "$dir")
    case " ${FAMILY_ONLY:-$name} " in *" $name "*) ;; *) continue ;; esac
    [ -f "$dir/.complete" ] || continue
    find "$dir" -maxdepth 1 -type f \( -name '*.dat' -o -name '*.idx' \) | sort >"$work/$name.list"
    ref=$work/$name.zip6
    if [ ! -f "$ref" ]; then
        (cd "$dir" && sed 's|.*/||' "$work/$name.list" | zip -q -j -6 -@ "$work/$name.zip")
        stat -c %s "$work/$name.zip" >"$ref"
        rm -f "$work/$name.zip"
    fi
    rm -f "$work/$name.azip.zip"
    "$azip" "$@" "$work/$name.azip.zip" "$work/$name.list"
    size=$(stat -c %s "$work/$name.azip.zip")
    rm -f "$work/$name.azip.zip"
    awk -v n="$name" -v z="$(cat "$ref")" -v b="$size" \
        'BEGIN { printf "| %s | %d | %d | %.4f |\n", n, z, b, b / z }'
done

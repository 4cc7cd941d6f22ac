#!/bin/sh
# Times the folder list on a folder of 10,000 subfolders and the file list on a db folder of
# 5,000 files, under Wine (the target is under 0.2 s each). Prints the measuring program's
# lines.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bench=$root/build/bench
cmake -S "$root" -B "$bench/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$bench/win32" -j2 --target list_fill_bench >/dev/null
lists=$bench/lists
if [ ! -f "$lists/.complete" ]; then
    rm -rf "$lists"
    mkdir -p "$lists/folders" "$lists/db"
    (cd "$lists/folders" && seq -f "contact %05g" 1 10000 | xargs -d '\n' mkdir)
    (cd "$lists/db" && seq -f "%09g" 1 2500 | while read -r n; do
        : >"$n.dat"
        : >"$n.idx"
    done)
    touch "$lists/.complete"
fi
export WINEPREFIX="${WINEPREFIX:-$bench/wineprefix}" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
wine "$bench/win32/bin/list_fill_bench.exe" "$(winepath -w "$lists/folders")" \
    "$(winepath -w "$lists/db")"

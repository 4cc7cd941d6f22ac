#!/bin/sh
# Every peer on every corpus of the family, in one run (see docs/performance.md):
#   bench/family.sh [--repeat N] [--only NAME ...]
# zip -j -6 and -9, 7z -tzip -mx=1 and -mx=5, azip32 natively (bench/azip_bench), and, when
# mingw-w64 and Wine are present, azip32.dll and the program's whole ZIP Backup
# (chathoard.exe /zip) under Wine. Corpora are made once under build/family/ by
# make_family.py (about 1.3 GB); archives are deleted after each corpus.
#
# Wine rows: the 32-bit build is used when this machine runs 32-bit programs; otherwise
# the x86-64 build (toolchain cmake/mingw-x86_64.cmake) under Wine's 64-bit loader stands
# in, and the output says which.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=1
only=""
while [ $# -gt 0 ]; do
    case "$1" in
    --repeat) repeat=$2; shift 2 ;;
    --only) only="$only $2"; shift 2 ;;
    *) echo "usage: $0 [--repeat N] [--only NAME ...]" >&2; exit 2 ;;
    esac
done
names=${only:-today text index large small compressed}
family=$root/build/family
bench=$root/build/bench
mkdir -p "$family" "$bench"
for name in $names; do
    python3 "$root/bench/make_family.py" --out "$family" --only "$name"
done

echo "bench: building the native driver" >&2
cmake -S "$root" -B "$bench/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench/host" -j2 --target azip_bench >/dev/null
set -- --family --work "$bench/work-family" --azip "$bench/host/azip32/azip_bench" \
    --repeat "$repeat"
for name in $names; do
    set -- "$@" --corpus "$family/$name"
done

if command -v wine >/dev/null 2>&1; then
    # 32-bit when this machine runs 32-bit programs (scripts/lib.sh tries one), else x86-64.
    arch=win32 toolchain=mingw-i686.cmake
    if ! bash -c ". '$root/scripts/lib.sh' && runs_32bit_programs"; then
        arch=win64 toolchain=mingw-x86_64.cmake
        # Debian's "wine" picks the 32-bit loader; this folder's "wine" is the 64-bit one.
        export PATH="$root/scripts/wine64-path:$PATH" WINEARCH=win64
    fi
    echo "bench: Wine rows use the $arch build" >&2
    cmake -S "$root" -B "$bench/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
    cmake --build "$bench/$arch" -j2 --target azip_bench chathoard >/dev/null
    export WINEPREFIX="${WINEPREFIX:-$bench/wineprefix-$arch}" WINEDEBUG=-all
    [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || {
        echo "bench: wineboot failed for $WINEPREFIX" >&2
        exit 1
    }
    # Started with no pipe of ours, so the timed runs find the server running (see run.sh).
    # It stays until the end of the run (the zip -9 rows take minutes, longer than any
    # timeout would), then this prefix's server is stopped.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    wine "$bench/$arch/bin/azip_bench.exe" </dev/null >/dev/null 2>&1 || true
    export CHATHOARD_EXE="$bench/$arch/bin/chathoard.exe"
    if [ "$arch" = win32 ]; then
        build="the 32-bit program under Wine"
    else
        build="the x86-64 build under wine64: this machine runs no 32-bit programs"
    fi
    set -- "$@" --wine-build "$build" --wine-azip "$bench/$arch/bin/azip_bench.exe" \
        --e2e "$root/bench/e2e_backup.sh zip \"\$1\" \"\$2\""
    echo "Wine rows: the $arch build ($(wine --version))."
    echo
fi
echo "Machine: $(nproc) cores; $(uptime)."
echo
python3 "$root/bench/bench.py" "$@"

#!/bin/sh
# Benchmarks the ZIP backup's archiving against the usual tools on a generated messenger
# database, in one run, and prints a Markdown table (see docs/performance.md).
#
#   bench/run.sh [--size-mb N] [--repeat N]   speed and size table (default 256 MB)
#   bench/run.sh --memory                     peak memory of addZIP on 256 MB and 1 GB
#
# Corpora and archives live under build/bench/ (kept between runs; a corpus is built only
# when missing). Needs zip, 7z, python3, /usr/bin/env wine for the Wine rows.
#
# Wine rows: when build/bench-win32/bin/azip_bench.exe can be built, azip32.dll is timed
# under Wine too. The program's own ZIP Backup joins the table when BENCH_E2E_CMD is set:
# a shell command run as  sh -c "$BENCH_E2E_CMD" e2e CORPUS_DIR ARCHIVE_PATH  that backs up
# CORPUS_DIR (the db folder) with chathoard.exe under Wine and leaves the archive at
# ARCHIVE_PATH.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
size=256
repeat=1
memory=no
while [ $# -gt 0 ]; do
    case "$1" in
    --size-mb) size=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --memory) memory=yes; shift ;;
    *) echo "usage: $0 [--size-mb N] [--repeat N] [--memory]" >&2; exit 2 ;;
    esac
done

bench=$root/build/bench
mkdir -p "$bench"

corpus() { # corpus SIZE -> prints its folder, building it when missing
    dir=$bench/corpus-$1
    if [ ! -f "$dir/.complete" ]; then
        rm -rf "$dir"
        echo "bench: generating a $1 MB corpus in $dir" >&2
        python3 "$root/bench/make_corpus.py" --size-mb "$1" --out "$dir" >&2
        touch "$dir/.complete"
    fi
    echo "$dir"
}

echo "bench: building the native driver" >&2
cmake -S "$root" -B "$bench/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench/host" -j2 --target azip_bench >/dev/null
azip=$bench/host/azip32/azip_bench

if [ "$memory" = yes ]; then
    exec python3 "$root/bench/bench.py" --memory --azip "$azip" --work "$bench/work" \
        --corpus "$(corpus 256)" --corpus "$(corpus 1024)"
fi

set -- --corpus "$(corpus "$size")" --work "$bench/work" --azip "$azip" --repeat "$repeat"
if command -v wine >/dev/null 2>&1 && command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1; then
    echo "bench: building azip32.dll and its driver" >&2
    cmake -S "$root" -B "$bench/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$bench/win32" -j2 --target azip_bench chathoard >/dev/null
    export WINEPREFIX="${WINEPREFIX:-$bench/wineprefix}" WINEDEBUG=-all
    [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
    # Started here with no pipe of ours: the server and Wine's system processes outlive the
    # first program and would hold a timed run's pipe open, and their start-up is Wine's, not
    # the program's. The timed runs then find them running.
    wineserver -p 60 </dev/null >/dev/null 2>&1 || true
    wine "$bench/win32/bin/azip_bench.exe" </dev/null >/dev/null 2>&1 || true
    set -- "$@" --wine-azip "$bench/win32/bin/azip_bench.exe"
    # The whole ZIP Backup of the program (staging copies, list file, archive, clean-up).
    : "${BENCH_E2E_CMD:=$root/bench/e2e_backup.sh zip \"\$1\" \"\$2\"}"
fi
if [ -n "${BENCH_E2E_CMD:-}" ]; then
    set -- "$@" --e2e "$BENCH_E2E_CMD"
fi
exec python3 "$root/bench/bench.py" "$@"

#!/bin/sh
# The program's own backup, end to end under Wine, for bench/run.sh:
#   bench/e2e_backup.sh zip|normal CORPUS_DIR OUTPUT
# CORPUS_DIR is a db folder; it is linked into a throw-away messenger folder, and
# chathoard.exe (command-line mode, the same code as the buttons) backs it up. For zip the
# archive is moved to OUTPUT; for normal the copies land in the folder OUTPUT.
set -eu
kind=$1 corpus=$(realpath "$2") output=$3
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${CHATHOARD_EXE:-$root/build/bench/win32/bin/chathoard.exe}
work=$(mktemp -d "${TMPDIR:-/tmp}/chathoard-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ICQ" "$work/dest"
ln -s "$corpus" "$work/ICQ/db"
# The Windows name of a Unix path: drive Z: is the root in a prefix as Wine makes it, which
# spares the timed run two starts of winepath (about half a second); else winepath says.
windows_path() {
    if [ "$(readlink "${WINEPREFIX:-$HOME/.wine}/dosdevices/z:")" = / ]; then
        printf 'Z:%s\n' "$1" | tr / '\\'
    else
        winepath -w "$1"
    fi
}
wine "$exe" "/$kind" "$(windows_path "$work/ICQ")" "$(windows_path "$work/dest")" >/dev/null
if [ "$kind" = zip ]; then
    mv "$work/dest/chathoard.zip" "$output"
else
    rm -rf "$output" && mv "$work/dest" "$output"
fi

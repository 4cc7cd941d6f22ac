#!/usr/bin/env bash
# Takes a screenshot of Chathoard's main window: runs the program under Wine on a
# virtual X display (Xvfb) at the given DPI, waits for the window and saves a PNG
# cropped to it.
#
#   scripts/screenshot.sh [--dpi N] [--out FILE] [--full] [--program-dir DIR]
#                         [--prefix DIR] [--cwd DIR]
#
#   --dpi N            screen DPI the program sees (default 96; 144 is 150 %)
#   --out FILE         where to write the PNG (default docs/screenshot.png)
#   --full             keep the whole screen instead of cropping to the window
#   --program-dir DIR  run chathoard.exe from DIR (default: a temporary copy of the
#                      build tree's program folder build/win32/bin, or build/win64/bin
#                      where 32-bit programs cannot run)
#   --prefix DIR       Wine prefix (default build/wineprefix-shot, kept between runs;
#                      build/wineprefix-shot-x64 for the x86-64 build)
#   --cwd DIR          Linux folder the program starts in, i.e. the folder its lists
#                      show first (default: the prefix's drive C:)
# The program folder gets a defaultdrive.ini holding C when it has none, so that the
# first-start warning does not cover the window.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

choose_windows_build
dpi=96 out=$ROOT/docs/screenshot.png full=0 program_dir= prefix=$ROOT/build/wineprefix-shot$(prefix_suffix)
cwd= inner=0
while (($# > 0)); do
    case $1 in
    --dpi) dpi=$2 && shift ;;
    --out) out=$2 && shift ;;
    --full) full=1 ;;
    --program-dir) program_dir=$2 && shift ;;
    --prefix) prefix=$2 && shift ;;
    --cwd) cwd=$2 && shift ;;
    --inner) inner=1 ;;
    *) die "unknown option $1 (see the comment at the top of $0)" ;;
    esac
    shift
done
[[ $dpi =~ ^[0-9]+$ ]] || die "--dpi takes a number, not '$dpi'"

# Runs on the virtual display: start, wait, capture, end.
capture() {
    local raw=$out.raw.png geometry
    (cd "$cwd" && exec wine "$program_dir/chathoard.exe") >/dev/null 2>&1 &
    if ! wait_for_window "$APP_CAPTION" 60; then
        import -window root "$out"
        stop_wine
        echo "screenshot: the main window did not appear within 60 s;" \
            "the screen at that moment is in $out. Windows seen:" >&2
        xwininfo -root -tree | grep -E '^ +0x[0-9a-f]+ "' >&2 || true
        return 1
    fi
    sleep 2 # let every control paint
    import -window root "$raw"
    if ((full)); then
        mv "$raw" "$out"
    else
        geometry=$(xwininfo -name "$APP_CAPTION" | awk '
            /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
            /Width:/ {w=$NF} /Height:/ {h=$NF} END {printf "%dx%d+%d+%d", w, h, x, y}')
        convert "$raw" -crop "$geometry" +repage "$out"
        rm -f "$raw"
    fi
    stop_wine
}

if ((inner)); then
    capture
    exit
fi

use_wine_prefix "$prefix"
set_wine_dpi "$dpi"
if [[ -z $program_dir ]]; then
    built=$ROOT/build/$WIN_PRESET/bin
    [[ -f $built/chathoard.exe ]] ||
        die "build/$WIN_PRESET/bin/chathoard.exe is missing; build it first" \
            "(cmake --preset $WIN_PRESET && cmake --build --preset $WIN_PRESET)"
    program_dir=$(mktemp -d /tmp/chathoard-shot.XXXXXX)
    trap 'rm -rf "$program_dir"' EXIT
    cp "$built"/{chathoard.exe,azip32.dll} "$program_dir/"
    cp "$built"/chathoard.chm "$program_dir/" 2>/dev/null || true
fi
program_dir=$(cd "$program_dir" && pwd)
if [[ ! -f $program_dir/defaultdrive.ini ]]; then
    printf 'C\r\n' >"$program_dir/defaultdrive.ini"
    echo "screenshot: wrote $program_dir/defaultdrive.ini (drive C), as the first start would"
fi
cwd=${cwd:-$WINEPREFIX/drive_c}
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inner --dpi "$dpi" --out "$out" \
    --program-dir "$program_dir" --prefix "$prefix" --cwd "$cwd" $( ((full)) && echo --full)
echo "screenshot ($dpi DPI): $out"

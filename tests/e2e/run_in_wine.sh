#!/bin/sh
# Runs a Windows test program under Wine for ctest.
#   run_in_wine.sh <prefix> <work folder or -> <program.exe> [arguments]
# The Wine prefix is $CHATHOARD_WINEPREFIX when set (the test command prepares one), else
# <prefix>, created on first use. Without a display the run goes under Xvfb.
# With a work folder, the end-to-end drives are set up in the prefix: m: and n: are fresh
# empty folders inside it, q: points at a folder that does not exist (a drive that is not
# ready); p: is a drive the test can pull out like a USB stick: once the program has listed it,
# the test makes the file pull-p in the work folder, the watcher here removes p: from the
# prefix and answers with pulled-p. The program sees the work folder's Unix path as
# CHATHOARD_E2E_WORK.
set -eu
default_prefix=$1 work=$2
shift 2

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$default_prefix" "$work" "$@"
fi

export WINEPREFIX="${CHATHOARD_WINEPREFIX:-$default_prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    DISPLAY= wineboot -i >/dev/null 2>&1
    # Xvfb has no window manager: Wine is not to wait for one (up to 2 s a window).
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
fi

if [ "$work" = "-" ]; then
    exec wine "$@"
fi

rm -rf "$work"
mkdir -p "$work/m" "$work/n" "$work/p"
for drive in m n p; do
    ln -sfn "$work/$drive" "$WINEPREFIX/dosdevices/$drive:"
done
ln -sfn "$work/not-ready" "$WINEPREFIX/dosdevices/q:"
export CHATHOARD_E2E_WORK="$work"

(
    while [ ! -e "$work/pull-p" ]; do sleep 0.2; done
    rm -f "$WINEPREFIX/dosdevices/p:"
    : >"$work/pulled-p"
) &
watcher=$!
status=0
wine "$@" || status=$?
kill "$watcher" 2>/dev/null || true
rm -f "$WINEPREFIX/dosdevices/p:"
exit "$status"

#!/usr/bin/env bash
# Builds everything and runs Chathoard under Wine, with a sample messenger install
# to try a backup on. Run as root, or as a user who may use sudo (asked for only
# when packages have to be installed).
#
# With a display ($DISPLAY set) the program's window opens on it and the script
# waits until the program ends. Without one, the program runs on a virtual display,
# a screenshot is saved to build/screenshot.png and the program is ended.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

run_setup
choose_windows_build
log "building the Windows program (preset $WIN_PRESET)"
build_preset "$WIN_PRESET"
program_dir=$ROOT/build/$WIN_PRESET/bin
[[ -f $program_dir/chathoard.exe ]] || die "the build made no $program_dir/chathoard.exe"

use_wine_prefix "$ROOT/build/wineprefix$(prefix_suffix)"
drive_c=$WINEPREFIX/drive_c
python3 "$ROOT/scripts/make_sample_install.py" --root "$drive_c"

cat <<INFO

Program folder:  $(winepath -w "$program_dir" 2>/dev/null)
                 ($program_dir)
Sample messenger install (open it under "Your ICQ directory:", on the left):
                 C:\\ICQ   ($drive_c/ICQ)
A folder to back up into (open it under "Backup directory:", on the right):
                 C:\\Backups   ($drive_c/Backups)
Wine prefix:     $WINEPREFIX   (WINEPREFIX=$WINEPREFIX wine ... to use it yourself)

INFO

if [[ -n ${DISPLAY:-} ]]; then
    log "starting chathoard.exe; the script ends when the program does"
    cd "$drive_c"
    wine "$program_dir/chathoard.exe"
else
    log "no display: running on a virtual display to take a screenshot"
    "$ROOT/scripts/screenshot.sh" --full --program-dir "$program_dir" \
        --prefix "$WINEPREFIX" --cwd "$drive_c" --out "$ROOT/build/screenshot.png"
fi

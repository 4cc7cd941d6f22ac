#!/usr/bin/env bash
# Tests the installer under Wine in a fresh prefix: silent install for the current user,
# it sets the staging drive to the Windows drive, the installed program starts and makes a
# Normal and a ZIP Backup without a word about the setting, its console companion
# chathoard.com returns the run's exit code in cmd, an install while it runs fails and
# changes nothing, silent uninstall removes the program folder, the Start menu shortcut and
# the uninstall entry, and leaves the backup.
#
#   scripts/release_test.sh [SETUP.exe]     (default out/chathoard-0.10-setup.exe)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

choose_windows_build
setup_exe=${1:-$ROOT/out/chathoard-0.10-setup.exe}
[[ -f $setup_exe ]] || die "$setup_exe is missing; build it with scripts/release.sh"
setup_exe=$(cd "$(dirname "$setup_exe")" && pwd)/$(basename "$setup_exe")
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Chathoard'
INSTALLED=(chathoard.exe chathoard.com azip32.dll chathoard.chm README.txt LICENSE uninstall.exe)

passes=0 failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok      $what"
        passes=$((passes + 1))
    else
        echo "FAILED  $what"
        failures=$((failures + 1))
    fi
}
absent() { [[ ! -e $1 ]]; }
registry_has_uninstall_entry() { wine reg query "$UNINSTALL_KEY" /v UninstallString >/dev/null 2>&1; }
registry_lacks_uninstall_entry() { ! registry_has_uninstall_entry; }
all_installed() {
    local f
    for f in "${INSTALLED[@]}"; do [[ -f $program_dir/$f ]] || return 1; done
}
# Every database file of folder $1 has an equal copy in folder $2.
same_files() {
    local f n=0
    for f in "$1"/*.dat "$1"/*.idx; do
        cmp -s "$f" "$2/$(basename "$f")" || return 1
        n=$((n + 1))
    done
    ((n > 0))
}

# The "Start in" folder of shortcut $1 (its working-directory string).
shortcut_start_folder() {
    python3 - "$1" <<'EOF'
import struct, sys
d = open(sys.argv[1], "rb").read()
flags, pos = struct.unpack_from("<I", d, 20)[0], 76
if flags & 1:  # the item ID list, then the link info
    pos += 2 + struct.unpack_from("<H", d, pos)[0]
if flags & 2:
    pos += struct.unpack_from("<I", d, pos)[0]
wide = 2 if flags & 0x80 else 1
for bit in (0x4, 0x8, 0x10):  # description, relative path, working directory
    if flags & bit:
        n = struct.unpack_from("<H", d, pos)[0] * wide
        text = d[pos + 2 : pos + 2 + n].decode("utf-16-le" if wide == 2 else "latin-1")
        pos += 2 + n
        if bit == 0x10:
            print(text.rstrip("\0"))
EOF
}

prefix=$(mktemp -d /tmp/chathoard-release-test.XXXXXX)
cleanup() {
    stop_wine
    rm -rf "$prefix"
}
trap cleanup EXIT
use_wine_prefix "$prefix"
drive_c=$WINEPREFIX/drive_c
# The per-user folders of the one Wine user.
user_dir=$(find "$drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
program_dir=$user_dir/AppData/Local/Programs/Chathoard
shortcut="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Chathoard.lnk"

log "installing silently: $(basename "$setup_exe") /S"
wine "$setup_exe" /S
wineserver -w
check "program files in %LOCALAPPDATA%\\Programs\\Chathoard" all_installed
check "Start menu shortcut" test -f "$shortcut"
start_in=$(shortcut_start_folder "$shortcut")
check "the shortcut starts in the user's folder (was $start_in)" \
    test "$start_in" = "C:\\users\\$(basename "$user_dir")"
check "entry in the user's list of installed programs" registry_has_uninstall_entry
windows_drive=$(wine cmd /c 'echo %SystemDrive%' 2>/dev/null | tr -d '\r' | head -c 1)
check "defaultdrive.ini holds the Windows drive ($windows_drive)" \
    test "$(cat "$program_dir/defaultdrive.ini" 2>/dev/null)" = "$windows_drive"$'\r'

log "running the installed program"
python3 "$ROOT/scripts/make_sample_install.py" --root "$drive_c" --size-mb 0.5
status=0
wine "$program_dir/chathoard.exe" /normal 'C:\ICQ' 'C:\Backups' || status=$?
wineserver -w
check "command-line Normal Backup exits with 0 (was $status)" test "$status" -eq 0
check "the backup equals the messenger's database" same_files "$drive_c/ICQ/db" "$drive_c/Backups"
# The console companion, as a Command Prompt runs it: the run's lines and its exit code. Into
# a file, not a pipe: Wine's own processes could hold a pipe open after the run.
companion() { (cd "$program_dir" && wine cmd /c chathoard.com "$@" >"$prefix.out" 2>&1); }
companion /verify 'C:\Backups' 'C:\ICQ' && status=0 || status=$?
check "chathoard.com /verify in cmd exits with 0 and relays the verdict (was $status)" \
    bash -c '(($1 == 0)) && grep -q "the same as in the database" "$2"' _ "$status" "$prefix.out"
companion /zip 'C:\ICQ' 'C:\Zips' && status=0 || status=$?
check "a first ZIP Backup exits with 0 and says nothing of defaultdrive.ini (was $status)" \
    bash -c '(($1 == 0)) && ! grep -qi "defaultdrive" "$2"' _ "$status" "$prefix.out"
companion /zip 'C:\ICQ' && status=0 || status=$?
check "chathoard.com with a folder missing exits with 3 (was $status)" test "$status" -eq 3
rm -f "$prefix.out"
wineserver -w
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source "$1/scripts/lib.sh"
    wine "$2" >/dev/null 2>&1 &
    wait_for_window "$APP_CAPTION" 60
    rc=$?
    wineserver -k
    exit $rc' _ "$ROOT" "$program_dir/chathoard.exe" &&
    started=0 || started=$?
check "the main window opens" test "$started" -eq 0

log "installing again while the program runs"
cp "$program_dir/chathoard.exe" "$prefix.exe"
printf 'old\r\n' >"$program_dir/README.txt"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source "$1/scripts/lib.sh"
    wine "$2" >/dev/null 2>&1 &
    wait_for_window "$APP_CAPTION" 60 || exit 99
    wine "$3" /S
    rc=$?
    wineserver -k
    exit $rc' _ "$ROOT" "$program_dir/chathoard.exe" "$setup_exe" && rerun=0 || rerun=$?
check "setup.exe /S while the program runs fails (was $rerun)" test "$rerun" -ne 0 -a "$rerun" -ne 99
check "... and changes no file" bash -c 'cmp -s "$1" "$2" && [[ $(cat "$3") == old* ]]' _ \
    "$prefix.exe" "$program_dir/chathoard.exe" "$program_dir/README.txt"
rm -f "$prefix.exe"
printf 'e\r\n' >"$program_dir/defaultdrive.ini"
wine "$setup_exe" /S && rerun=0 || rerun=$?
wineserver -w
check "once it is closed setup.exe /S installs (was $rerun)" \
    bash -c '(($1 == 0)) && ! grep -q "^old" "$2"' _ "$rerun" "$program_dir/README.txt"
check "... and keeps the staging drive set before" \
    test "$(cat "$program_dir/defaultdrive.ini")" = $'e\r'
# The end-to-end driver's smoke cases on the installed files, when the driver is built.
driver=$ROOT/build/$WIN_PRESET/bin/e2e_driver.exe
if [[ -f $driver ]]; then
    smoke=0
    CHATHOARD_WINEPREFIX=$WINEPREFIX CHATHOARD_BIN_DIR=$program_dir \
        sh "$ROOT/tests/e2e/run_in_wine.sh" "$WINEPREFIX" "$prefix-e2e" "$driver" \
        --gtest_filter='MainWindow.StartsWith*:NormalBackup.CopiesEveryDatabaseFileByteForByte' ||
        smoke=$?
    rm -rf "$prefix-e2e"
    check "end-to-end smoke: start, find the messenger folder, Normal Backup" test "$smoke" -eq 0
else
    echo "skipped end-to-end smoke: $driver is not built (cmake --build --preset $WIN_PRESET)"
fi
# What the program writes beside itself must go with it.
for f in defaultdrive.ini chathoard.log icqtemp.dat; do
    [[ -e $program_dir/$f ]] || printf 'C\r\n' >"$program_dir/$f"
done

log "uninstalling silently: uninstall.exe /S"
wine "$program_dir/uninstall.exe" /S
wineserver -w # the uninstaller runs on from a copy of itself
check "program folder removed" absent "$program_dir"
check "Start menu shortcut removed" absent "$shortcut"
check "uninstall entry removed" registry_lacks_uninstall_entry
check "the backup is still there" same_files "$drive_c/ICQ/db" "$drive_c/Backups"

echo "release_test: $passes passed, $failures failed"
((failures == 0))

#!/usr/bin/env bash
# The shipped 32-bit program, run once as a user would, on any machine: in a fresh Wine
# prefix, a ZIP Backup and a Normal Backup of a small database from the command line (the
# archive read back with unzip -t, every file compared), /verify of the archive, and a
# screenshot of the main window (build/smoke32-window.png).
#
#   scripts/smoke32.sh [PROGRAM_DIR]     (default build/win32/bin)
#
# Where the kernel runs 32-bit programs, they run natively. Where it does not, Debian's
# qemu-user-static runs Wine's 32-bit loader in user-mode emulation: the binfmt_misc entry
# that hands i386 programs to qemu is registered in a user namespace of this script's own,
# so the machine's own answer to "does this kernel run 32-bit programs?" never changes, and
# the entry is gone when the script ends, however it ends. CHATHOARD_SMOKE_EMULATE=1 forces
# the emulation, to try it on a machine that would not need it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BINFMT=/proc/sys/fs/binfmt_misc
# i386 ELF executables and shared objects (ET_EXEC, ET_DYN), as Debian's qemu-user-static
# describes them for other hosts.
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

emulated=0
if [[ ${1:-} == --emulated ]]; then
    emulated=1
    shift
fi
program_dir=$(cd "${1:-$ROOT/build/win32/bin}" && pwd)
[[ -f $program_dir/chathoard.exe && -f $program_dir/azip32.dll ]] ||
    die "no chathoard.exe and azip32.dll in $program_dir; build the win32 preset first"

# Inside the namespace: a binfmt_misc instance of its own, with qemu for i386 programs.
register_emulation() {
    mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null ||
        die "this kernel has no binfmt_misc of its own for a user namespace (Linux 6.7 or later)"
    printf '%s' ":chathoard-i386:M::$I386_MAGIC:$I386_MASK:/usr/bin/qemu-i386-static:F" \
        >"$BINFMT/register"
    runs_32bit_programs || die "the emulation was registered, but an i386 program still cannot run"
}

work=
clean_up() {
    [[ -n $work ]] || return 0
    WINEPREFIX=$work/wine-reliability wineserver -k 2>/dev/null || true
    rm -rf "$work"
}

smoke() {
    local rc=0
    work=$(mktemp -d /tmp/chathoard-smoke32.XXXXXX)
    trap clean_up EXIT
    trap 'exit 130' INT TERM
    # Only the 32-bit side of Wine, whatever the calling script chose for its own tests.
    export PATH=${PATH//$ROOT\/scripts\/wine64-path:/}
    unset WINEARCH
    export CHATHOARD_ARCH=x86 CHATHOARD_WINDOWS_BUILD="32-bit build (preset win32), the product"
    export CHATHOARD_BIN_DIR=$program_dir
    log "32-bit smoke run of $program_dir ($( ((emulated)) && echo "under qemu emulation" || echo natively))"
    xvfb-run -a -s "-screen 0 1280x1024x24" python3 "$ROOT/tests/cli/cli_test.py" \
        --work "$work/cli-work" \
        CommandLineRuns.test_zip_backup_of_a_good_folder_exits_0_with_a_tested_archive \
        CommandLineRuns.test_normal_backup_of_a_good_folder_exits_0_and_copies_every_file \
        CommandLineRuns.test_verify_passes_an_archive_of_any_tool_and_names_the_entry_a_cut_copy_breaks_in ||
        rc=1
    # The same prefix again: creating one is the slow part under emulation.
    "$ROOT/scripts/screenshot.sh" --program-dir "$work/cli-work/prog-test_zip_backup_of_a_good_folder_exits_0_with_a_tested_archive" \
        --prefix "$work/wine-reliability" --out "$ROOT/build/smoke32-window.png" || rc=1
    return $rc
}

if ((emulated)); then
    register_emulation
    smoke
elif [[ ${CHATHOARD_SMOKE_EMULATE:-} != 1 ]] && machine_runs_32bit; then
    smoke
else
    # Quick when qemu and wine32 are there already.
    run_setup --emulation || die "setup failed"
    # The namespace, and the registration with it, ends with this command.
    exec unshare --user --map-root-user --mount --propagation private \
        bash "$0" --emulated "$program_dir"
fi

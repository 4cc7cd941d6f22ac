#!/usr/bin/env bash
# Builds everything and runs every test: the scripts' own tests, the native unit
# tests (also under AddressSanitizer and UBSan), the Windows and end-to-end tests
# under Wine on a virtual display, and the installer's install-use-uninstall test.
# Exits non-zero when anything fails.
# Run as root, or as a user who may use sudo (asked for only when packages have to
# be installed).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

run_setup || die "setup failed"
choose_windows_build

LOGS=$ROOT/build/test-logs
mkdir -p "$LOGS"
passed=0 failed=0 failed_steps=0
summary=()

# Adds the test counts of a step's log to the totals: ctest's "N tests failed out of M",
# a script's own "name: P passed, F failed", or Python unittest's "Ran M tests" with
# "FAILED (failures=F, errors=E)". False when the log holds no count.
count_tests() {
    local line total fails=0
    line=$(grep -E 'tests failed out of [0-9]+' "$1" | tail -1)
    if [[ -n $line ]]; then
        fails=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
    elif line=$(grep -E '^[a-z_]+: [0-9]+ passed, [0-9]+ failed$' "$1" | tail -1); then
        total=$(awk '{print $2 + $4}' <<<"$line")
        fails=$(awk '{print $4}' <<<"$line")
    else
        line=$(grep -E '^Ran [0-9]+ tests?' "$1" | tail -1)
        [[ -n $line ]] || return 1
        total=$(awk '{print $2}' <<<"$line")
        for n in $(grep -E '^FAILED \(' "$1" | grep -oE '(failures|errors)=[0-9]+' | cut -d= -f2); do
            fails=$((fails + n))
        done
    fi
    passed=$((passed + total - fails))
    failed=$((failed + fails))
}

# Runs one step, keeping its output in build/test-logs/<name>.log and on the terminal.
step() {
    local name=$1 started=$SECONDS rc
    shift
    log "$name"
    "$@" 2>&1 | tee "$LOGS/$name.log"
    rc=${PIPESTATUS[0]}
    if ! count_tests "$LOGS/$name.log" && ((rc != 0)); then
        failed=$((failed + 1)) # it failed before any test ran, e.g. in the build
    fi
    if ((rc == 0)); then
        summary+=("ok      $name ($((SECONDS - started)) s)")
    else
        summary+=("FAILED  $name ($((SECONDS - started)) s), log: $LOGS/$name.log")
        failed_steps=$((failed_steps + 1))
    fi
    return $rc
}

# Every C++ file as the checked-in .clang-format lays it out, so style does not drift.
format_check() {
    local files
    mapfile -t files < <(cd "$ROOT" && git ls-files '*.cpp' '*.h')
    (cd "$ROOT" && clang-format --dry-run -Werror "${files[@]}") &&
        echo "format: ${#files[@]} files as .clang-format lays them out"
}

scripts_tests() {
    (cd "$ROOT" && python3 -m unittest discover -s scripts/tests -v)
}

host_tests() {
    build_preset "$1" && (cd "$ROOT" && ctest --preset "$1" -j 2)
}

# The Windows tests get a fresh Wine prefix of their own, removed afterwards (also
# when the run is interrupted: a step runs in a subshell, whose exit runs the trap).
wine_prefix=
remove_wine_prefix() {
    [[ -n $wine_prefix ]] || return 0
    stop_wine
    rm -rf "$wine_prefix"
    wine_prefix=
}

# The Windows tests of preset $1 under Wine on a virtual display; all of them, or with a
# target name as $2 only that target, built alone, and its test.
windows_tests() {
    local preset=$1 only=${2:-} rc
    if [[ -n $only ]]; then
        build_preset "$preset" "$only" || return 1
        set -- -R "^$only\$"
    else
        # The bench's measuring programs are no tests, but must keep building with the code
        # they time.
        build_preset "$preset" && build_preset "$preset" list_fill_bench normal_backup_bench ||
            return 1
        set --
    fi
    wine_prefix=$(mktemp -d /tmp/chathoard-test-wine.XXXXXX)
    trap remove_wine_prefix EXIT
    [[ $preset == win64 ]] && use_wine64
    use_wine_prefix "$wine_prefix"
    export CHATHOARD_WINEPREFIX=$wine_prefix
    (cd "$ROOT" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" "$@")
    rc=$?
    remove_wine_prefix
    return $rc
}

# The release built from scratch, then installed, used and uninstalled under Wine. Where
# only the x86-64 build runs, the installer tested is one made from the same script for
# that build, for the test only; the 32-bit release is still built.
release_tests() {
    "$ROOT/scripts/release.sh" || return 1
    if [[ $CHATHOARD_ARCH == x64 ]]; then
        "$ROOT/scripts/release.sh" --x64-test-installer &&
            "$ROOT/scripts/release_test.sh" "$ROOT/build/release-x64/chathoard-test-x64-setup.exe"
    else
        "$ROOT/scripts/release_test.sh"
    fi
}

# Every target of the 32-bit product's preset, the measuring programs included, compiled
# with warnings as errors: what only one of the two Windows builds accepts fails here.
build_32bit() {
    build_preset win32 && build_preset win32 list_fill_bench normal_backup_bench &&
        echo "win32-build: every target of the 32-bit preset built"
}

step format format_check
step layers python3 "$ROOT/scripts/check_layers.py" "$ROOT"
step scripts scripts_tests
step host host_tests host
step host-asan host_tests host-asan
if [[ $CHATHOARD_ARCH == x64 ]]; then
    step win32-build build_32bit
    step win64 windows_tests win64
    # The shipped program still runs once where it can run natively (CHATHOARD_ARCH=x64 on
    # a machine that runs 32-bit programs). Under qemu emulation the same smoke run does not
    # fit in the 6 minutes a step may take here: its Wine prefix alone took over 10 minutes
    # on a 2-core machine; scripts/smoke32.sh runs it by hand.
    if machine_runs_32bit; then
        program_32bit="built, smoke run natively (the x86-64 build was asked for)"
        step win32-smoke "$ROOT/scripts/smoke32.sh" || program_32bit="built, smoke run FAILED"
    else
        program_32bit="built only: this kernel runs no 32-bit programs, and the smoke run under qemu emulation takes over 10 minutes (its Wine prefix alone; measured on a 2-core machine); scripts/smoke32.sh runs it by hand"
    fi
else
    step win32 windows_tests win32
    program_32bit="full suite"
    # The x86-64 build stays buildable and its Win32 layer correct where 32-bit runs too.
    step win64-win32-layer windows_tests win64 win32_tests
fi
step release release_tests

echo
echo "Summary (logs in $LOGS):"
echo "  Windows tests ran on the $CHATHOARD_WINDOWS_BUILD."
echo "  The 32-bit program (the product): $program_32bit."
printf '  %s\n' "${summary[@]}"
echo "test.sh: $passed passed, $failed failed"
((failed == 0 && failed_steps == 0))

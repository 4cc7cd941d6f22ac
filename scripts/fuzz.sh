#!/usr/bin/env bash
# Fuzzes with libFuzzer under AddressSanitizer and UBSan (clang, the "fuzz" preset):
#
#   scripts/fuzz.sh [-m MINUTES] [TARGET...]
#
# Runs each named target (all of them when none is named) for MINUTES minutes (default 5),
# one after another on one core, since the machine is shared. Targets: sequential_value,
# list_file, wildcard, registry_value, zip_writer, deflate_stream, zip_reader.
#
# The fuzzer starts from the checked-in seeds in tests/fuzz/corpus/<target> and keeps what it
# learns in build/fuzz/corpus/<target>, so a later run goes on from there. An input that
# breaks a target is saved in build/fuzz/findings/<target>/ and the script exits non-zero;
# after fixing the fault, copy that input into tests/fuzz/corpus/<target>/ so that every test
# run replays it. Prints one summary line per target.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ALL_TARGETS=(sequential_value list_file wildcard registry_value zip_writer deflate_stream zip_reader)
minutes=5
while getopts "m:h" opt; do
    case $opt in
    m) minutes=$OPTARG ;;
    *)
        sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
        exit 2
        ;;
    esac
done
shift $((OPTIND - 1))
[[ $minutes =~ ^[0-9]+$ ]] && ((minutes > 0)) || die "-m wants a whole number of minutes"
targets=("$@")
((${#targets[@]})) || targets=("${ALL_TARGETS[@]}")
for t in "${targets[@]}"; do
    [[ " ${ALL_TARGETS[*]} " == *" $t "* ]] || die "no fuzz target '$t' (${ALL_TARGETS[*]})"
done

command -v clang++ >/dev/null || die "clang is needed: run scripts/setup.sh"
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
    die "libFuzzer's runtime is missing: apt-get install libclang-rt-14-dev"

log "building the fuzz targets (preset fuzz)"
build_preset fuzz || die "the fuzz build failed"

BUILD=$ROOT/build/fuzz
# The written archives and list files are scratch; memory is quicker than the shared disk.
[[ -d /dev/shm && -w /dev/shm ]] && export TMPDIR=/dev/shm
status=0
summary=()
for t in "${targets[@]}"; do
    corpus=$BUILD/corpus/$t findings=$BUILD/findings/$t
    mkdir -p "$corpus" "$findings"
    log "fuzzing $t for $minutes min"
    # -timeout: an input that takes seconds is a hang for this code; -rss_limit_mb: the
    # ZIP target holds a few MB per input, far more is a leak.
    "$BUILD/tests/fuzz/fuzz_$t" "$corpus" "$ROOT/tests/fuzz/corpus/$t" \
        -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" \
        >"$BUILD/fuzz-$t.log" 2>&1
    rc=$?
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$BUILD/fuzz-$t.log" | grep -oE '[0-9]+$')
    cov=$(grep -oE 'cov: [0-9]+' "$BUILD/fuzz-$t.log" | tail -1)
    if ((rc == 0)); then
        summary+=("ok      $t: ${runs:-?} inputs, ${cov:-cov: ?}, corpus $(ls "$corpus" | wc -l) files")
    else
        status=1
        summary+=("FAILED  $t: see $BUILD/fuzz-$t.log; inputs in $findings/")
    fi
done

echo
printf '  %s\n' "${summary[@]}"
exit $status

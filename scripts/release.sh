#!/usr/bin/env bash
# Builds the release from a clean build tree:
#   out/chathoard-0.10-win32.zip   chathoard.exe, chathoard.com, azip32.dll, chathoard.chm,
#                                  README.txt, LICENSE
#   out/chathoard-0.10-setup.exe   per-user installer (NSIS)
#   out/SHA256SUMS
# The same commit always gives the same bytes: no timestamps in the PE headers, fixed
# dates in the ZIP and none in the installer.
#
#   scripts/release.sh            build once
#   scripts/release.sh --twice    build twice from scratch and check the sums are equal
#   scripts/release.sh --x64-test-installer
#                                 only build/release-x64/chathoard-test-x64-setup.exe: the same
#                                 installer script on the x86-64 build, to test the installer
#                                 where 32-bit programs cannot run; never shipped
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

VERSION=0.10
OUT=$ROOT/out
BUILD=$ROOT/build/release
PRODUCT_FILES=(bin/chathoard.exe bin/chathoard.com bin/azip32.dll bin/chathoard.chm)

build_release() {
    rm -rf "$BUILD"
    log "configuring a clean Release build in $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
    # Only the shipped files, not the tests.
    ninja -C "$BUILD" -j 2 "${PRODUCT_FILES[@]}"

    local stage=$BUILD/stage
    mkdir -p "$stage" "$OUT"
    for f in "${PRODUCT_FILES[@]}"; do cp "$BUILD/$f" "$stage/"; done
    stage_help_and_texts "$stage"

    local zip=$OUT/chathoard-$VERSION-win32.zip setup=$OUT/chathoard-$VERSION-setup.exe
    python3 "$ROOT/scripts/pack_zip.py" "$zip" "$stage"/*
    makensis -V2 -DVERSION="$VERSION" -DSTAGE="$stage" -DOUTFILE="$setup.tmp" \
        "$ROOT/release/chathoard.nsi"
    mv "$setup.tmp" "$setup"
    (cd "$OUT" && sha256sum "$(basename "$zip")" "$(basename "$setup")" >SHA256SUMS)
}

# The help file and the user's text files into stage folder $1.
stage_help_and_texts() {
    local stage=$1
    # The help file again, repeatably: without address-space randomisation chmcmd's
    # output differs only in its two time stamps, which are then fixed.
    mkdir -p "$BUILD/chm"
    (cd "$BUILD/chm" && setarch "$(uname -m)" -R chmcmd "$ROOT/help/chathoard.hhp" >/dev/null 2>&1)
    python3 "$ROOT/scripts/normalize_chm.py" "$BUILD/chm/chathoard.chm" "$SOURCE_DATE_EPOCH"
    cp "$BUILD/chm/chathoard.chm" "$stage/"
    # Windows line ends for the text files a user opens with Notepad.
    sed 's/\r*$/\r/' "$ROOT/release/README.txt" >"$stage/README.txt"
    sed 's/\r*$/\r/' "$ROOT/LICENSE" >"$stage/LICENSE"
}

# The installer of the x86-64 build (preset win64), for the installer's test only.
build_x64_test_installer() {
    local build=$ROOT/build/win64 stage=$ROOT/build/release-x64/stage
    log "building the x86-64 program and its test installer"
    build_preset win64 chathoard chathoard_console azip32 >/dev/null
    ninja -C "$build" -j 2 "${PRODUCT_FILES[@]}" >/dev/null
    rm -rf "$stage" && mkdir -p "$stage"
    for f in "${PRODUCT_FILES[@]}"; do cp "$build/$f" "$stage/"; done
    BUILD=$ROOT/build/release-x64 stage_help_and_texts "$stage"
    makensis -V2 -DVERSION="$VERSION" -DSTAGE="$stage" -DTARGET=amd64-unicode \
        -DOUTFILE="$ROOT/build/release-x64/chathoard-test-x64-setup.exe" "$ROOT/release/chathoard.nsi"
}

run_setup
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0)}
if [[ ${1:-} == --x64-test-installer ]]; then
    build_x64_test_installer
    exit 0
fi
build_release
if [[ ${1:-} == --twice ]]; then
    first=$(cat "$OUT/SHA256SUMS")
    build_release
    if [[ $first != "$(cat "$OUT/SHA256SUMS")" ]]; then
        printf 'first build:\n%s\nsecond build:\n%s\n' "$first" "$(cat "$OUT/SHA256SUMS")" >&2
        die "two builds of the same sources differ"
    fi
    log "two clean builds gave identical files"
fi
log "release files in $OUT:"
cat "$OUT/SHA256SUMS"

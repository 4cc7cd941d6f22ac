#!/usr/bin/env bash
# Builds the release from a clean build tree:
#   out/chathoard-0.10-win32.zip   chathoard.exe, azip32.dll, chathoard.chm, README.txt, LICENSE
#   out/chathoard-0.10-setup.exe   per-user installer (NSIS)
#   out/SHA256SUMS
# The same commit always gives the same bytes: no timestamps in the PE headers, fixed
# dates in the ZIP and none in the installer.
#
#   scripts/release.sh            build once
#   scripts/release.sh --twice    build twice from scratch and check the sums are equal
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

VERSION=0.10
OUT=$ROOT/out
BUILD=$ROOT/build/release
PRODUCT_FILES=(bin/chathoard.exe bin/azip32.dll bin/chathoard.chm)

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
    # The help file again, repeatably: without address-space randomisation chmcmd's
    # output differs only in its two time stamps, which are then fixed.
    mkdir -p "$BUILD/chm"
    (cd "$BUILD/chm" && setarch "$(uname -m)" -R chmcmd "$ROOT/help/chathoard.hhp" >/dev/null 2>&1)
    python3 "$ROOT/scripts/normalize_chm.py" "$BUILD/chm/chathoard.chm" "$SOURCE_DATE_EPOCH"
    cp "$BUILD/chm/chathoard.chm" "$stage/"
    # Windows line ends for the text files a user opens with Notepad.
    sed 's/\r*$/\r/' "$ROOT/release/README.txt" >"$stage/README.txt"
    sed 's/\r*$/\r/' "$ROOT/LICENSE" >"$stage/LICENSE"

    local zip=$OUT/chathoard-$VERSION-win32.zip setup=$OUT/chathoard-$VERSION-setup.exe
    python3 "$ROOT/scripts/pack_zip.py" "$zip" "$stage"/*
    makensis -V2 -DVERSION="$VERSION" -DSTAGE="$stage" -DOUTFILE="$setup.tmp" \
        "$ROOT/release/chathoard.nsi"
    mv "$setup.tmp" "$setup"
    (cd "$OUT" && sha256sum "$(basename "$zip")" "$(basename "$setup")" >SHA256SUMS)
}

run_setup
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0)}
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

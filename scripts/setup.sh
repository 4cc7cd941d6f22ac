#!/usr/bin/env bash
# Installs what building, running and testing Chathoard needs on Debian 12.
# Idempotent: when everything is there it only asks dpkg and returns.
# Run as root, or as a user who may use sudo; sudo is asked for only when
# something has to be installed.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    binutils-mingw-w64-i686 libz-mingw-w64-dev zlib1g-dev nettle-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    binutils-mingw-w64-x86-64
    wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick
    zip unzip p7zip-full libarchive-tools fp-utils
    googletest libgtest-dev libgmock-dev nsis python3 time
)
# Only where 32-bit programs must run under emulation (scripts/smoke32.sh asks for it).
EMULATION_PACKAGES=(qemu-user-static)

# Prints the packages of the list that are not installed, one a line.
missing_packages() {
    local pkg status
    for pkg in "${PACKAGES[@]}"; do
        status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null || true)
        [[ $status == ii* ]] || echo "$pkg"
    done
}

i386_enabled() {
    [[ $(dpkg --print-architecture) == i386 ]] ||
        dpkg --print-foreign-architectures | grep -qx i386
}

as_root() {
    if [[ $(id -u) -eq 0 ]]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "setup: '$*' needs root; run this script as root or install sudo" >&2
        exit 1
    fi
}

main() {
    local missing=()
    [[ ${1:-} == --emulation ]] && PACKAGES+=("${EMULATION_PACKAGES[@]}")
    if ! i386_enabled; then
        echo "setup: enabling the i386 architecture (for wine32)"
        as_root dpkg --add-architecture i386
    fi
    mapfile -t missing < <(missing_packages)
    if ((${#missing[@]} == 0)); then
        echo "setup: all packages present"
        return 0
    fi
    echo "setup: installing ${missing[*]}"
    # A mirror caught mid-sync fails one index of the update; a later try usually finds it
    # whole, and the install can still go on from the indexes that did arrive.
    local try
    for try in 1 2 3; do
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q && break
        echo "setup: apt-get update failed (try $try of 3)" >&2
        ((try < 3)) && sleep 15
    done
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends "${missing[@]}"
    mapfile -t missing < <(missing_packages)
    if ((${#missing[@]} > 0)); then
        echo "setup: still missing after install: ${missing[*]}" >&2
        exit 1
    fi
    echo "setup: done"
}

main "$@"

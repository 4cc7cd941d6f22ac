#!/usr/bin/env bash
# Installs what building, running and testing Chathoard needs on Debian 12.
# Idempotent: when everything is there it only asks dpkg and returns.
# Run as root, or as a user who may use sudo; sudo is asked for only when
# something has to be installed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    binutils-mingw-w64-i686 libz-mingw-w64-dev zlib1g-dev nettle-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    binutils-mingw-w64-x86-64
    wine wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick
    zip unzip p7zip-full libarchive-tools fp-utils
    googletest libgtest-dev libgmock-dev nsis python3 time
)
# Wine's 32-bit half, only where it can start: natively, or under emulation. A kernel that
# runs no 32-bit programs gets no i386 packages at all, so neither a mirror's i386 indexes
# nor their versions (which must match the amd64 ones exactly) can stop the install there.
WINE32_PACKAGES=(wine32:i386)
# Only where 32-bit programs must run under emulation (scripts/smoke32.sh asks for it).
EMULATION_PACKAGES=(qemu-user-static "${WINE32_PACKAGES[@]}")

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

install_packages() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

main() {
    local missing=() wine32=yes
    if [[ ${1:-} == --emulation ]]; then
        PACKAGES+=("${EMULATION_PACKAGES[@]}")
    elif machine_runs_32bit; then
        PACKAGES+=("${WINE32_PACKAGES[@]}")
    else
        wine32=no
    fi
    if [[ $wine32 == yes ]] && ! i386_enabled; then
        echo "setup: enabling the i386 architecture (for wine32)"
        as_root dpkg --add-architecture i386
    fi
    mapfile -t missing < <(missing_packages)
    if ((${#missing[@]} == 0)); then
        echo "setup: all packages present"
        return 0
    fi
    [[ $wine32 == yes ]] ||
        echo "setup: this kernel runs no 32-bit programs, so no wine32 (Wine's 64-bit half runs the tests)"
    echo "setup: installing ${missing[*]}"
    # A mirror caught mid-sync fails one index of the update; a later try usually finds it
    # whole, and the install can still go on from the indexes that did arrive.
    local try
    for try in 1 2 3; do
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q && break
        echo "setup: apt-get update failed (try $try of 3)" >&2
        ((try < 3)) && sleep 15
    done
    if ! install_packages "${missing[@]}"; then
        # A mirror that serves a stale i386 index of the security suite leaves i386 packages
        # uninstallable whose amd64 halves would be upgraded from that suite: the two halves
        # of a library must be the same version. A second try takes the security suite's
        # versions only where nothing else has the package, so both halves come from the
        # release; the security updates stay for the next upgrade.
        echo "setup: the install failed; trying again with the release's versions before the security suite's" >&2
        local pin
        pin=$(mktemp)
        printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 50\n' >"$pin"
        chmod 644 "$pin"
        install_packages -o "Dir::Etc::Preferences=$pin" "${missing[@]}" || true
        rm -f "$pin"
    fi
    mapfile -t missing < <(missing_packages)
    if ((${#missing[@]} > 0)); then
        echo "setup: still missing after install: ${missing[*]}" >&2
        exit 1
    fi
    echo "setup: done"
}

main "$@"

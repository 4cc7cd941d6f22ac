# Shared helpers of the project's scripts; sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
APP_CAPTION="Tavrik's Chathoard 0.10 beta"

log() { printf '==> %s\n' "$*"; }
die() {
    printf 'error: %s\n' "$*" >&2
    exit 1
}

run_setup() { "$ROOT/scripts/setup.sh" "$@"; }

# Configures (quick when nothing changed) and builds a preset of CMakePresets.json,
# optionally only the given targets. Two jobs at most: the machine is shared.
build_preset() {
    local preset=$1
    shift
    local targets=()
    (($# > 0)) && targets=(--target "$@")
    (cd "$ROOT" && cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j 2 "${targets[@]}")
}

# Points Wine at a prefix, creating it on first use (about 20 s).
use_wine_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=${WINEDEBUG:--all}
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        log "creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        DISPLAY= wineboot -i >/dev/null 2>&1 || die "wineboot failed for $WINEPREFIX"
        # Debian's Wine does not look in its own font folder, so without these copies
        # Tahoma falls back to another face and caption buttons lose their Marlett glyphs.
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        # Windows draw their own caption and borders, as on Windows, even with no
        # window manager (Xvfb).
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
            >/dev/null 2>&1
        # Nor does Wine wait for a window manager that Xvfb does not have: a managed window
        # being hidden or destroyed otherwise holds its thread for up to 2 s, which Windows
        # never does.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >/dev/null 2>&1
        wineserver -w
    fi
}

# Sets the screen DPI the prefix's programs see from their next start.
set_wine_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1
    # The server started without a display must be gone before a program wants one.
    wineserver -w
}

# Stops the wineserver of the current prefix and every program still running in it.
stop_wine() { wineserver -k 2>/dev/null || true; }

# Waits until a top-level X window named $1 exists; false after $2 seconds.
wait_for_window() {
    local name=$1 deadline=$((SECONDS + ${2:-60}))
    while ((SECONDS < deadline)); do
        xwininfo -root -tree 2>/dev/null | grep -F "\"$name\"" >/dev/null && return 0
        sleep 0.5
    done
    return 1
}

# Writes to file $1 a 93-byte i386 program that does nothing but exit with 42: an ELF
# header, one loadable segment, then xor ebx,ebx; mov bl,42; xor eax,eax; inc eax (exit);
# int 0x80.
write_i386_probe() {
    printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
        '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
        '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
        '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$1"
    chmod +x "$1"
}

# True when this machine runs 32-bit x86 programs. Some kernels have that switched off, and
# then no 32-bit Wine can start. Asks by running the probe above rather than by reading
# kernel settings, which say less than a try does.
runs_32bit_programs() {
    local probe=$ROOT/build/.i386-probe status=0
    mkdir -p "$ROOT/build"
    write_i386_probe "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    ((status == 42))
}

# Chooses the Windows build that runs and is tested here, once per command: the 32-bit
# product (preset win32) where 32-bit programs run, else the same sources built for x86-64
# (preset win64) under Wine's 64-bit loader. CHATHOARD_ARCH=x64 forces the second.
# Sets WIN_PRESET; exports CHATHOARD_ARCH and CHATHOARD_WINDOWS_BUILD (one line saying
# which build and why) for the scripts this one starts.
choose_windows_build() {
    if [[ -z ${CHATHOARD_WINDOWS_BUILD:-} ]]; then
        case ${CHATHOARD_ARCH:-} in
        x64)
            CHATHOARD_WINDOWS_BUILD="x86-64 build (preset win64) under wine64, because CHATHOARD_ARCH=x64 is set"
            ;;
        x86 | "")
            if machine_runs_32bit; then
                CHATHOARD_ARCH=x86
                CHATHOARD_WINDOWS_BUILD="32-bit build (preset win32), the product"
            elif [[ ${CHATHOARD_ARCH:-} == x86 ]]; then
                die "CHATHOARD_ARCH=x86, but this machine runs no 32-bit programs"
            else
                CHATHOARD_ARCH=x64
                CHATHOARD_WINDOWS_BUILD="x86-64 build (preset win64) under wine64, because this machine's kernel runs no 32-bit programs (an i386 test program could not start); the shipped program is still the 32-bit build"
            fi
            ;;
        *) die "CHATHOARD_ARCH must be x64 or x86, not '$CHATHOARD_ARCH'" ;;
        esac
        export CHATHOARD_ARCH CHATHOARD_WINDOWS_BUILD
        log "Windows programs run here as the $CHATHOARD_WINDOWS_BUILD"
    fi
    if [[ $CHATHOARD_ARCH == x64 ]]; then
        WIN_PRESET=win64
        use_wine64
    else
        WIN_PRESET=win32
    fi
}

# What names a kept Wine prefix of the x86-64 build apart: 32-bit and 64-bit prefixes differ.
prefix_suffix() { [[ ${CHATHOARD_ARCH:-} == x64 ]] && echo -x64; true; }

# True when this machine runs 32-bit x86 programs; asks once per command, and the scripts it
# starts inherit the answer.
machine_runs_32bit() {
    if [[ -z ${CHATHOARD_RUNS_32BIT:-} ]]; then
        CHATHOARD_RUNS_32BIT=no
        runs_32bit_programs && CHATHOARD_RUNS_32BIT=yes
        export CHATHOARD_RUNS_32BIT
    fi
    [[ $CHATHOARD_RUNS_32BIT == yes ]]
}

# Makes new Wine prefixes 64-bit ones. Where 32-bit programs run, Debian's "wine" starts the
# 32-bit loader, which hands 64-bit programs to wine64 itself and keeps the 32-bit half of
# the prefix working. Where they cannot run, "wine" (and wineboot, winepath …, which call
# it) must be the 64-bit loader from the start.
use_wine64() {
    export WINEARCH=win64
    machine_runs_32bit && return 0
    case ":$PATH:" in
    *":$ROOT/scripts/wine64-path:"*) ;;
    *) export PATH=$ROOT/scripts/wine64-path:$PATH ;;
    esac
}

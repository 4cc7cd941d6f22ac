# Shared helpers of the project's scripts; sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
APP_CAPTION="Tavrik's Chathoard 0.10 beta"

log() { printf '==> %s\n' "$*"; }
die() {
    printf 'error: %s\n' "$*" >&2
    exit 1
}

run_setup() { "$ROOT/scripts/setup.sh"; }

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

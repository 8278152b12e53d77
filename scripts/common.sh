# Shared by scripts/run and scripts/test: package install, the two cross builds, and a private
# Wine prefix on a private X display. Source it; do not run it.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The 64-bit set builds both architectures and runs the x64 suite; the 32-bit set only adds the
# loader the x86 suite runs under, so it is installed on its own and may be missing.
PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 wine wine64
fonts-wine xvfb xauth xdotool imagemagick cmake ninja-build googletest python3-pefile"
PACKAGES32="wine32:i386"
# The package tool's last error while installing the 32-bit set; why_no_32bit repeats it.
APT32_ERROR=""

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

# Why 32-bit Windows programs cannot run here; empty when they can.
why_no_32bit() {
    local error
    if ! installed wine32:i386; then
        echo "wine32:i386 is not installed (${APT32_ERROR:-no install was tried in this run})"
    elif [ ! -e /lib/ld-linux.so.2 ]; then
        echo "no 32-bit C library (/lib/ld-linux.so.2 is missing)"
    elif ! error=$(/lib/ld-linux.so.2 --version 2>&1 >/dev/null); then
        echo "the kernel cannot start 32-bit programs (${error:-no reason given})"
    elif [ ! -x /usr/lib/wine/wine ]; then
        echo "Wine's 32-bit loader /usr/lib/wine/wine is missing"
    fi
}

pick_wine() {
    if [ -z "$(why_no_32bit)" ]; then WINE=wine; else WINE=/usr/lib/wine/wine64; fi
    export WINE
}

# A mirror in the middle of a sync refuses an index now and then: try three times.
apt_update() {
    local try
    for try in 1 2 3; do
        apt-get update -q >/dev/null 2>"$ROOT/build/apt-update.err" || true
        grep -q '^E:' "$ROOT/build/apt-update.err" || return 0
        [ "$try" = 3 ] || sleep 10
    done
    return 1 # some index is still refused; install with what was fetched
}

ensure_packages() {
    local missing="" missing32="" p
    for p in $PACKAGES; do installed "$p" || missing="$missing $p"; done
    for p in $PACKAGES32; do installed "$p" || missing32="$missing32 $p"; done
    [ -z "$missing$missing32" ] && return 0
    echo "Installing:$missing$missing32"
    export DEBIAN_FRONTEND=noninteractive
    mkdir -p "$ROOT/build"
    dpkg --add-architecture i386
    apt_update || true
    [ -z "$missing" ] || apt-get install -y -q $missing >/dev/null
    [ -z "$missing32" ] && return 0
    APT32_ERROR=$(apt-get install -y -q $missing32 2>&1 >/dev/null | grep '^E:' | tail -n 1) || true
    installed wine32:i386 || echo "32-bit set not installed: ${APT32_ERROR:-no error given}"
    return 0
}

build_arch() { # x64 | x86 [one target, else all]
    local arch=$1 dir="$ROOT/build/$1"
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" >/dev/null
    fi
    cmake --build "$dir" -j 2 ${2:+--target "$2"}
}

# The prefix is created once and reused: one virtual desktop for every program (frames, shared
# window list, keyboard input), caption-button font, and Windows 98 for the *98.exe copies.
prepare_prefix() {
    pick_wine
    export WINEPREFIX="$ROOT/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/.kelvane-ready" ]; then
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
        "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
        for exe in kelvane98.exe kelvane_tests98.exe; do
            "$WINE" reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /d win98 /f \
                >/dev/null 2>&1
        done
        local marlett
        marlett=$(dpkg -L fonts-wine 2>/dev/null | grep -i '/marlett.ttf$' | head -n 1)
        [ -n "$marlett" ] && cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
        wineserver -w
        touch "$WINEPREFIX/.kelvane-ready"
    fi
}

XVFB_PID=""
start_display() {
    local n=77
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}

# Wine's background services inherit the caller's pipes; start them once, detached, so that
# ctest's pipes are not held open after the tests end.
start_wine() {
    wineserver -p 2>/dev/null || true # already running is fine
    "$WINE" wineboot >/dev/null 2>&1 </dev/null
}

stop_all() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
}

# Shared by the project's scripts: installs what is missing, builds, and runs
# a private X display with its own Wine prefix. Source it; do not run it.

VORREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
VORREL_BUILD=${VORREL_BUILD:-$VORREL_ROOT/build}
VORREL_PACKAGES=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
    xvfb xauth googletest imagemagick fonts-wine cppcheck clang-tidy clang-format zip)

_vorrel_pids=()

vorrel_log() { printf '== %s\n' "$*" >&2; }

vorrel_install_packages() {
    local missing=()
    for package in "${VORREL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    vorrel_log "installing ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

vorrel_build() {
    vorrel_log "building in $VORREL_BUILD"
    cmake --preset mingw -B "$VORREL_BUILD" >/dev/null
    cmake --build "$VORREL_BUILD" -j "$(nproc)"
}

# Starts Xvfb (unless a display is given) and a persistent wineserver for the
# prefix inside the build folder; both are stopped by vorrel_stop_session.
# With a slot count (own display only), each further slot gets a display and
# a prefix of its own, named in VORREL_DISPLAY_<n> and VORREL_PREFIX_<n>.
vorrel_start_session() {
    local want_own_display=${1:-own} slots=${2:-1}
    export WINEPREFIX=$VORREL_BUILD/wineprefix
    export WINEDEBUG=-all
    # Without winedbg a crash ends the process at once; with it, Wine's crash
    # dialog would wait for someone until ctest's timeout.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
    trap vorrel_stop_session EXIT
    trap 'exit 130' INT TERM

    if [ "$want_own_display" = own ]; then
        _vorrel_start_xvfb || return 1
        vorrel_log "virtual display $DISPLAY"
    fi

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        vorrel_log "booting a new Wine prefix in $WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
        # Let Wine draw the caption bars itself: the virtual display has no window manager.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
        wineserver -w
    fi
    local slot first_display=$DISPLAY first_prefix=$WINEPREFIX
    # Copies of the booted prefix, made while no server runs: each slot has a
    # server of its own, so that no key, hook, window or mutex is shared.
    for ((slot = 1; slot < slots; slot++)); do
        [ -f "$first_prefix-$slot/system.reg" ] || cp -a "$first_prefix" "$first_prefix-$slot"
    done
    for ((slot = 0; slot < slots; slot++)); do
        if [ "$slot" -gt 0 ]; then
            export WINEPREFIX=$first_prefix-$slot
            _vorrel_start_xvfb || return 1
        fi
        export "VORREL_DISPLAY_$slot=$DISPLAY" "VORREL_PREFIX_$slot=$WINEPREFIX"
        # One server for the whole session, so that each test starts in about a second.
        wineserver -f -p >/dev/null 2>&1 &
        _vorrel_pids+=($!)
        # Start Wine's own services now, detached from our output: started by the
        # first test, they would hold ctest's output pipe open for ever.
        wine wineboot >/dev/null 2>&1 </dev/null
    done
    export DISPLAY=$first_display WINEPREFIX=$first_prefix
}

_vorrel_start_xvfb() {
    local fifo number
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    _vorrel_pids+=($!)
    read -r -t 20 number <"$fifo" || { vorrel_log "Xvfb did not start"; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=:$number
}

vorrel_stop_session() {
    local pid
    for ((i = ${#_vorrel_pids[@]} - 1; i >= 0; i--)); do
        pid=${_vorrel_pids[i]}
        # SIGINT makes wineserver end its clients too (SIGTERM leaves them running).
        kill -INT "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    _vorrel_pids=()
}

# Remembers a process started by the caller so that the session stops it too.
vorrel_track_pid() { _vorrel_pids+=("$1"); }

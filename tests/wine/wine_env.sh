# Shell functions shared by the scripts that run the program under Wine
# (tests/wine/run_wine_tests.sh, tools/test, tools/run). Source this file.
#
# Everything started here is remembered in ZAV_STARTED_PIDS so that
# zav_stop_all ends exactly those processes, by pid.

ZAV_STARTED_PIDS=""
ZAV_XVFB_PID=""

# How the prefix is made and COM1 mapped: zav_wine_environment,
# zav_prefix_setup, zav_map_com1, zav_windows_path and the rest.
# shellcheck source=../../linux/wine_prefix.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../linux/wine_prefix.sh"

zav_note() { echo "$*" >&2; }

# Starts Xvfb on a free display when there is no DISPLAY (screen size
# ZAV_XVFB_SCREEN, default 1280x1024x24). Fails when it is not up within 10 s.
zav_ensure_display() {
    if [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do
        n=$((n + 1))
    done
    Xvfb ":$n" -screen 0 "${ZAV_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
    ZAV_XVFB_PID=$!
    ZAV_STARTED_PIDS="$ZAV_STARTED_PIDS $ZAV_XVFB_PID"
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$ZAV_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -e "/tmp/.X11-unix/X$n" ]; then
        zav_note "Xvfb did not come up on :$n"
        return 1
    fi
    export DISPLAY=":$n"
    zav_note "No display: started Xvfb on $DISPLAY"
}

# Makes a fresh Wine prefix in $1 and exports WINEPREFIX: the prefix of the
# launcher (linux/wine_prefix.sh), with Wine's X11 windows unmanaged since
# the tests' display has no window manager. COM1 is left to zav_map_com1.
# (Wine opens any port that has an entry under Wine\Ports, even one mapped
# to nothing; the other ports exist only where the machine has a /dev/ttyS*
# for them.)
zav_make_prefix() {
    zav_wine_environment "$1"
    rm -rf "$WINEPREFIX"
    zav_note "Making a Wine prefix in $WINEPREFIX"
    zav_prefix_setup
    zav_report_prefix_failure $? || return 1
    zav_prefix_unmanaged || { zav_note "error: cannot set up $WINEPREFIX for a display without window manager"; return 1; }
    rm -f "$WINEPREFIX"/dosdevices/com*
}

# Uses an existing prefix made by zav_make_prefix.
zav_use_prefix() {
    zav_wine_environment "$1"
    zav_prefix_add_fonts
    zav_report_prefix_failure $?
}

# Says what a status of zav_prefix_setup or zav_prefix_add_fonts means;
# false for a failure.
zav_report_prefix_failure() {
    case "$1" in
        0) return 0 ;;
        1) zav_note "error: Wine could not make the prefix $WINEPREFIX" ;;
        2) zav_note "error: $ZAV_WINE_FONTS/marlett.ttf is missing (install the package fonts-wine);"
           zav_note "       without it Wine draws the caption buttons as the letters 0, 1 and r" ;;
        *) zav_note "error: cannot copy Wine's fonts into $WINEPREFIX" ;;
    esac
    return 1
}

# Starts zavsim. $1: zavsim binary, $2: a folder for its files; further
# arguments go to zavsim (--link PATH to attach it as a port). Sets ZAV_SIM_PID and
# ZAV_SIM_CONTROL (the control port).
zav_start_sim() {
    local sim="$1" dir="$2"
    shift 2
    mkdir -p "$dir"
    rm -f "$dir/control_port"
    "$sim" --control 0 --control-file "$dir/control_port" --log "$dir/frames.log" "$@" &
    ZAV_SIM_PID=$!
    ZAV_STARTED_PIDS="$ZAV_STARTED_PIDS $ZAV_SIM_PID"
    local i
    for i in $(seq 1 100); do
        [ -s "$dir/control_port" ] && break
        kill -0 "$ZAV_SIM_PID" 2>/dev/null || return 1
        sleep 0.05
    done
    ZAV_SIM_CONTROL=$(cat "$dir/control_port")
    [ -n "$ZAV_SIM_CONTROL" ]
}

# Ends what this shell started (by pid) and the prefix's wineserver.
zav_stop_all() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    local pid
    for pid in $ZAV_STARTED_PIDS; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $ZAV_STARTED_PIDS; do
        wait "$pid" 2>/dev/null || true
    done
    ZAV_STARTED_PIDS=""
}

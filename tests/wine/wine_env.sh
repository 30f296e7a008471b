# Shell functions shared by the scripts that run the program under Wine
# (tests/wine/run_wine_tests.sh, tools/test, tools/run). Source this file.
#
# Everything started here is remembered in ZAV_STARTED_PIDS so that
# zav_stop_all ends exactly those processes, by pid.

ZAV_STARTED_PIDS=""
ZAV_XVFB_PID=""

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

zav_wine_environment() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    # Wine's own mono and gecko installers are not wanted.
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Makes a fresh Wine prefix in $1 and exports WINEPREFIX. Without a window
# manager Wine would wait about 2 s after every closed dialog unless its X11
# windows are unmanaged. COM1 is left to zav_map_com1. (Wine opens any port
# that has an entry under Wine\Ports, even one mapped to nothing; the other
# ports exist only where the machine has a /dev/ttyS* for them.)
zav_make_prefix() {
    zav_wine_environment "$1"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    zav_note "Making a Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Managed"="N"'
    } >"$WINEPREFIX/zav.reg"
    wine regedit /S "$(zav_windows_path "$WINEPREFIX/zav.reg")" >/dev/null 2>&1
    wineserver -w
    zav_add_wine_fonts || return 1
    rm -f "$WINEPREFIX"/dosdevices/com*
}

# Debian's Wine does not find the fonts of its package fonts-wine: Marlett,
# which draws the caption buttons (without it they show as the letters 0, 1
# and r), and System, Fixedsys, MS Sans Serif and Tahoma with the metrics of
# Windows (without them DejaVu Sans Bold stands in for the System font and
# the configuration window's labels are cut off). Copied into the prefix,
# Wine uses them. Missing fonts fail the caller: a picture with letters for
# buttons must never pass unnoticed.
ZAV_WINE_FONTS=/usr/share/wine/fonts
zav_add_wine_fonts() {
    if [ ! -r "$ZAV_WINE_FONTS/marlett.ttf" ]; then
        zav_note "error: $ZAV_WINE_FONTS/marlett.ttf is missing (install the package fonts-wine);"
        zav_note "       without it Wine draws the caption buttons as the letters 0, 1 and r"
        return 1
    fi
    cp -n "$ZAV_WINE_FONTS"/*.ttf "$ZAV_WINE_FONTS"/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" ||
        { zav_note "error: cannot copy Wine's fonts into $WINEPREFIX"; return 1; }
}

# Uses an existing prefix made by zav_make_prefix.
zav_use_prefix() {
    zav_wine_environment "$1"
    zav_add_wine_fonts
}

# Makes COM1 of the prefix the Unix path $1. Wine rebuilds the dosdevices
# links from the registry whenever its services start, so the registry entry
# is what counts; $1 itself may be a link that changes (zavsim --link).
zav_map_com1() {
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$1" /f >/dev/null 2>&1
    wineserver -w
    rm -f "$WINEPREFIX/dosdevices/com1"
    ln -s "$1" "$WINEPREFIX/dosdevices/com1"
}

# The Windows form (Z:\...) of a Unix path.
zav_windows_path() {
    local path
    path=$(cd "$(dirname "$1")" 2>/dev/null && pwd)/$(basename "$1")
    echo "Z:${path//\//\\}"
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

# shellcheck shell=bash
# The Wine prefix that zavkonfig.exe runs in: how it is made and how its
# COM1 reaches a serial device of this computer. Sourced (bash) by the
# launcher of the Debian package, /usr/bin/zavkonfig, which installs this
# file as /usr/lib/zavkonfig/wine_prefix.sh, and by the repository's scripts
# through tests/wine/wine_env.sh: the program meets the same prefix in the
# tests as on a technician's computer.
#
# The functions print nothing. They return non-zero on failure and leave the
# words to their callers: the launcher speaks German to its users, the
# scripts English to developers.

# The Wine loader. The launcher names the 64-bit one; see there why.
: "${ZAV_WINE:=wine}"

# Debian's Wine does not find the fonts of its package fonts-wine: Marlett,
# which draws the caption buttons (without it they show as the letters 0, 1
# and r), and System, Fixedsys, MS Sans Serif and Tahoma with the metrics of
# Windows (without them DejaVu Sans Bold stands in for the System font and
# the configuration window's labels are cut off). Copied into the prefix,
# Wine uses them.
ZAV_WINE_FONTS=/usr/share/wine/fonts

zav_wine_environment() {
    export WINEPREFIX="$1"
    # Quiet, unless the caller set WINEDEBUG (the launcher keeps the
    # user's, or shows Wine's errors).
    export WINEDEBUG="${WINEDEBUG--all}"
    # Wine's own mono and gecko installers are not wanted, nor menu entries
    # and file types that Wine would add to the user's desktop for the
    # prefix's programs.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# Makes the prefix $WINEPREFIX, which should not exist yet. A prefix whose
# making was cut short is not completed by running this again: Wine marks
# a prefix as made before it has finished, and then leaves it as it is.
# Callers start afresh (the tests delete the prefix, the launcher moves it
# aside). Returns 1 when Wine could not make it, 2 or 3 as
# zav_prefix_add_fonts.
zav_prefix_setup() {
    mkdir -p "$WINEPREFIX" || return 1
    "$ZAV_WINE" wineboot -i >/dev/null 2>&1
    [ -e "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] || return 1
    # winemenubuilder is switched off (zav_wine_environment), but every
    # start of the prefix would try to run it and print an error.
    "$ZAV_WINE" reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices' \
        /v winemenubuilder /f >/dev/null 2>&1
    zav_prefix_add_fonts
}

# Copies Wine's fonts into the prefix (see ZAV_WINE_FONTS). Returns 2 when
# they are not installed, 3 when they cannot be copied: a picture with
# letters for buttons must never pass unnoticed.
zav_prefix_add_fonts() {
    [ -r "$ZAV_WINE_FONTS/marlett.ttf" ] || return 2
    cp -n "$ZAV_WINE_FONTS"/*.ttf "$ZAV_WINE_FONTS"/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" || return 3
}

# For a display without a window manager (Xvfb in the tests): Wine's X11
# windows unmanaged, or Wine waits about 2 s after every closed dialog. On a
# desktop this would take the program's window away from the window manager
# (no frame of the desktop, no task bar entry), so the launcher leaves it.
zav_prefix_unmanaged() {
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Managed"="N"'
    } >"$WINEPREFIX/zav.reg" || return 1
    "$ZAV_WINE" regedit /S "$(zav_windows_path "$WINEPREFIX/zav.reg")" >/dev/null 2>&1
    wineserver -w
}

# Makes COM1 of the prefix the Unix path $1. Wine rebuilds the dosdevices
# links from the registry whenever its services start, so the registry entry
# is what counts; $1 itself may be a link that changes (zavsim --link, the
# launcher's link to the chosen device).
zav_map_com1() {
    "$ZAV_WINE" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$1" /f >/dev/null 2>&1
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

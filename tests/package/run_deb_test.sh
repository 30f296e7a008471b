#!/usr/bin/env bash
# Tests the Debian packages as a maintainer and a technician use them:
#  - lintian on the source and binary packages finds no error or warning;
#    zavctl uses the system's C++ runtime, the exe is stripped;
#  - dpkg-buildpackage builds them again from a clean copy of the
#    repository, unit tests included, and the packages come out
#    byte-identical; debian/rules clean removes what the build made;
#  - installed with apt-get: zavctl and its man pages; the launcher
#    zavkonfig with two virtual devices on pseudo-terminals: a display it
#    cannot open, a first start killed part-way and the next one that makes
#    the Wine prefix anew, a second start with another device refused while
#    the first window runs (which still talks to its own device), a missing
#    device (COM1 cannot be opened at once; the warning in a dialog);
#  - removed again with apt-get purge, whatever failed.
# apt-get needs root (or sudo). The launcher's prefix lives in a temporary
# HOME under the work folder. Installing, using and removing happen under
# an exclusive lock, so that two runs on one machine take turns.
#
#   tests/package/run_deb_test.sh --changes FILE [--windows-build DIR] [--native-build DIR]
#                                 [--work DIR] [--xml FILE] [--gui-xml STEM]
#
# --changes is the .changes file of tools/package (dist/), beside the
# packages. --xml gets a JUnit report of the cases here; the Windows test
# program that drives the window (installed_test.cpp) writes GoogleTest
# reports STEM-own-device.xml and STEM-no-device.xml. Exit code 0 when
# every case passed.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
changes=""
windows_build="$root/build/windows"
native_build="$root/build/native"
work="$root/build/deb-test"
xml=""
gui_xml=""
while [ $# -gt 0 ]; do
    case "$1" in
        --changes) changes=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        --windows-build) windows_build=$(cd "$2" && pwd); shift 2 ;;
        --native-build) native_build=$(cd "$2" && pwd); shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --xml) xml="$2"; shift 2 ;;
        --gui-xml) gui_xml="$2"; shift 2 ;;
        -h|--help) sed -n '2,27p' "$0"; exit 0 ;;
        *) echo "run_deb_test: unknown argument $1" >&2; exit 2 ;;
    esac
done
tests="$windows_build/tests/package/installed_tests.exe"
probe="$windows_build/tests/wine/menu_probe.dll"
zavsim="$native_build/sim/zavsim"
for f in "$changes" "$tests" "$probe" "$zavsim"; do
    if [ ! -f "$f" ]; then
        echo "run_deb_test: missing ${f:-the .changes file (--changes FILE)}" >&2
        exit 2
    fi
done
dist=$(dirname "$changes")
# The binary packages the .changes lists (the debug symbols' too).
mapfile -t debs < <(sed -n '/^Files:/,/^[^ ]/s/^ .* \([^ ]*\.deb\)$/\1/p' "$changes")
zavctl_deb=$(printf '%s\n' "${debs[@]}" | grep '^zavctl_')
zavkonfig_deb=$(printf '%s\n' "${debs[@]}" | grep '^zavkonfig_')
if [ -z "$zavctl_deb" ] || [ -z "$zavkonfig_deb" ]; then
    echo "run_deb_test: $changes lists no zavctl and zavkonfig packages" >&2
    exit 2
fi
rm -rf "$work"
mkdir -p "$work/home"
work=$(cd "$work" && pwd)

. "$root/tests/wine/wine_env.sh"
. "$root/tools/setup.sh"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
version=$(dpkg-deb -f "$dist/$zavctl_deb" Version)

# ---- Cases and the report ----------------------------------------------------

cases="$work/cases.tsv"
: >"$cases"
failed=0
pass() { printf '%s\t\n' "$1" >>"$cases"; echo "run_deb_test: ok: $1" >&2; }
fail() {
    local why=${2//[$'\t\n']/ }
    printf '%s\t%s\n' "$1" "$why" >>"$cases"
    echo "run_deb_test: FAILED: $1: $why" >&2
    failed=1
}
# A file's text on one line, for a failure message.
said() { tr '\n' ' ' <"$1" | head -c 600; }

write_report() {
    [ -n "$xml" ] || return 0
    mkdir -p "$(dirname "$xml")"
    python3 - "$cases" "$xml" <<'PY'
import sys
from xml.sax.saxutils import escape, quoteattr

rows = [line.rstrip("\n").split("\t", 1) for line in open(sys.argv[1], encoding="utf-8") if line.strip()]
failures = sum(1 for _, failure in rows if failure)
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write(f'<testsuite name="debian-package" tests="{len(rows)}" failures="{failures}">\n')
    for name, failure in rows:
        out.write(f'  <testcase classname="DebianPackage" name={quoteattr(name)}>')
        if failure:
            out.write(f"<failure message={quoteattr(failure)}/>")
        out.write("</testcase>\n")
    out.write("</testsuite>\n")
PY
}

packages="zavctl zavkonfig"
installed_by_us=0
is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

# Whatever happens, the machine is left as it was: the packages removed,
# the processes started here ended.
finish() {
    zav_stop_all
    if [ $installed_by_us = 1 ]; then
        # shellcheck disable=SC2086
        $sudo apt-get purge -y -q -o DPkg::Lock::Timeout=600 $packages >"$work/purge.log" 2>&1
        installed_by_us=0
    fi
    write_report
}
trap finish EXIT
trap 'exit 130' INT TERM

# ---- The packages as files ------------------------------------------------------

# The source package and both binary packages. Not with --show-overrides:
# lintian then counts an overridden warning towards --fail-on, and the
# source's one override (the historical non-native changelog entry) is a
# warning. The overrides are read in debian/*lintian-overrides instead.
if lintian --fail-on error,warning -I "$changes" >"$work/lintian.log" 2>&1; then
    pass LintianFindsNoErrorsOrWarnings
else
    status=$?
    fail LintianFindsNoErrorsOrWarnings "exit $status: $(grep -m 3 '^[EW]:' "$work/lintian.log" | tr '\n' ' ')(see $work/lintian.log)"
fi

# zavctl links GCC's runtime as the system's shared library (and depends
# on it), the package's exe has no symbols left.
zavctl_depends=$(dpkg-deb -f "$dist/$zavctl_deb" Depends)
mkdir -p "$work/exe"
dpkg-deb --fsys-tarfile "$dist/$zavkonfig_deb" | tar -x -C "$work/exe" ./usr/lib/zavkonfig/zavkonfig.exe
symbols=$(x86_64-w64-mingw32-nm "$work/exe/usr/lib/zavkonfig/zavkonfig.exe" 2>&1 | head -n 3)
case "$zavctl_depends" in
    *libstdc++6*)
        if [ "$symbols" = "x86_64-w64-mingw32-nm: $work/exe/usr/lib/zavkonfig/zavkonfig.exe: no symbols" ]; then
            pass ZavctlUsesTheSystemRuntimeAndTheExeIsStripped
        else
            fail ZavctlUsesTheSystemRuntimeAndTheExeIsStripped "the exe has symbols: $symbols"
        fi
        ;;
    *) fail ZavctlUsesTheSystemRuntimeAndTheExeIsStripped "zavctl depends on \"$zavctl_depends\", not on libstdc++6" ;;
esac

# ---- A second build from a clean copy ----------------------------------------------
# As a maintainer builds it: dpkg-buildpackage in what a fresh clone holds,
# the unit tests run by dh_auto_test (tools/package, for tools/test, left
# them to the native step). Another folder, another time, with tests or
# without: the packages must be the same to the byte.

rebuild="$work/rebuild"
tree="$rebuild/zavkonfig-$version"
zav_export_tree "$tree"
(cd "$tree" && find . | LC_ALL=C sort) >"$work/tree-before.txt"
if (cd "$tree" && env -u DEB_BUILD_OPTIONS dpkg-buildpackage --no-sign -J"$(nproc)") >"$work/rebuild.log" 2>&1; then
    ran=$(sed -n 's/^[0-9]*% tests passed, 0 tests failed out of \([0-9]*\)$/\1/p' "$work/rebuild.log")
    if [ "${ran:-0}" -gt 0 ]; then
        pass BuildsFromACleanTreeAndRunsTheUnitTests
    else
        fail BuildsFromACleanTreeAndRunsTheUnitTests "dh_auto_test ran no unit tests (see $work/rebuild.log)"
    fi
    differing=""
    for deb in "${debs[@]}"; do
        cmp -s "$dist/$deb" "$rebuild/$deb" || differing="$differing $deb"
    done
    if [ -z "$differing" ]; then
        pass TwoBuildsAreByteIdentical
    else
        fail TwoBuildsAreByteIdentical "differ:$differing (diffoscope $dist/X $rebuild/X shows how)"
    fi
    (cd "$tree" && debian/rules clean) >"$work/clean.log" 2>&1
    (cd "$tree" && find . | LC_ALL=C sort) >"$work/tree-after.txt"
    changed=$(comm -3 "$work/tree-before.txt" "$work/tree-after.txt" | head -n 5 | tr '\n\t' '  ')
    if [ -z "$changed" ]; then
        pass CleanRemovesWhatTheBuildMade
    else
        fail CleanRemovesWhatTheBuildMade "the tree is not as before the build (left behind; indented: gone): $changed"
    fi
else
    fail BuildsFromACleanTreeAndRunsTheUnitTests "dpkg-buildpackage failed: $(tail -n 5 "$work/rebuild.log" | tr '\n' ' ')"
fi

# ---- Installing ------------------------------------------------------------------
# One run at a time on this machine: another checkout's tools/test would
# install, use and remove the same packages.

lock=/var/lock/zavkonfig-deb-test.lock
[ -e "$lock" ] || (umask 0 && : >>"$lock") 2>/dev/null
exec 7<"$lock" || { fail InstallsWithApt "cannot open the lock $lock"; exit 1; }
if ! flock -n 7; then
    echo "run_deb_test: another run on this machine installs the packages; waiting for it ($lock) ..." >&2
    flock -w 3600 7 || { fail InstallsWithApt "$lock is still held after an hour"; exit 1; }
fi

for package in $packages; do
    if is_installed "$package"; then
        # Not ours to remove: the test would take away what someone installed.
        fail InstallsWithApt "$package is installed on this machine already; remove it first (apt-get purge $packages)"
        exit 1
    fi
done
installed_by_us=1
# Up to 2.30-1 one package, zavkonfig, held /usr/bin/zavctl too. A stand-in
# of it (its name, version and that file) is installed first: the new
# packages must take its place, as apt upgrades a technician's machine.
earlier="$work/earlier"
mkdir -p "$earlier/DEBIAN" "$earlier/usr/bin"
printf '#!/bin/sh\necho "zavctl 2.30 (2.30-1)"\n' >"$earlier/usr/bin/zavctl"
chmod 755 "$earlier/usr/bin/zavctl"
printf 'Package: zavkonfig\nVersion: 2.30-1\nArchitecture: amd64\nMaintainer: test <test@example.invalid>\nDescription: stand-in for the package before the split\n' \
    >"$earlier/DEBIAN/control"
if dpkg-deb --root-owner-group --build "$earlier" "$work/zavkonfig_2.30-1_amd64.deb" >"$work/earlier.log" 2>&1 &&
    $sudo dpkg -i "$work/zavkonfig_2.30-1_amd64.deb" >>"$work/earlier.log" 2>&1; then
    :
else
    fail UpgradesThePackageBeforeTheSplit "the stand-in of zavkonfig 2.30-1 did not install (see $work/earlier.log)"
fi
if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q -o DPkg::Lock::Timeout=600 \
    "$dist/$zavctl_deb" "$dist/$zavkonfig_deb" >"$work/install.log" 2>&1 &&
    is_installed zavctl && is_installed zavkonfig; then
    pass InstallsWithApt
    if [ "$(dpkg-query -W -f='${Version}' zavkonfig)" = "$version" ] && [ -x /usr/bin/zavctl ] &&
        dpkg -S /usr/bin/zavctl 2>/dev/null | grep -q '^zavctl:'; then
        pass UpgradesThePackageBeforeTheSplit
    else
        fail UpgradesThePackageBeforeTheSplit "after the upgrade zavkonfig is $(dpkg-query -W -f='${Version}' zavkonfig), /usr/bin/zavctl belongs to $(dpkg -S /usr/bin/zavctl 2>&1)"
    fi
else
    fail InstallsWithApt "apt-get install failed (see $work/install.log)"
    fail UpgradesThePackageBeforeTheSplit "the new packages did not replace 2.30-1 (see $work/install.log)"
    exit 1
fi

# The page in the browser, for a technician who opens it from the menu's
# folder or an intranet server: the same file tools/package releases.
page="/usr/share/zavkonfig/zavkonfig-web-${version%%+*}.html"
if cmp -s "$page" "$dist/zavkonfig-web-${version%%+*}.html"; then
    pass InstallsThePageForTheBrowser
else
    fail InstallsThePageForTheBrowser "$page is missing or not the page in $dist"
fi

# ---- zavctl ----------------------------------------------------------------------

# The program's version is the packages' before its "+".
said_version=$(/usr/bin/zavctl --version 2>&1)
if [ "$said_version" = "zavctl ${version%%+*}" ]; then
    pass ZavctlSaysItsVersion
else
    fail ZavctlSaysItsVersion "zavctl --version said \"$said_version\", expected \"zavctl ${version%%+*}\""
fi

# German pages, as Debian's own German pages are, and English ones that
# point to them.
english=$(man -w zavctl zavkonfig 2>&1 | tr '\n' ' ')
german=$(man -L de -w zavctl zavkonfig 2>&1 | tr '\n' ' ')
if [ "$english" = "/usr/share/man/man1/zavctl.1.gz /usr/share/man/man1/zavkonfig.1.gz " ] &&
    [ "$german" = "/usr/share/man/de/man1/zavctl.1.gz /usr/share/man/de/man1/zavkonfig.1.gz " ]; then
    pass ManFindsGermanPagesAndEnglishPointers
else
    # A slimmed Debian image tells dpkg not to unpack man pages at all.
    excluded=$(grep -hs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/* | head -n 1)
    fail ManFindsGermanPagesAndEnglishPointers "man -w said: $english; man -L de -w: $german${excluded:+ (dpkg on this machine: $excluded)}"
fi

# Two virtual devices, each logging what it hears.
device_a="$work/zav160-a"
device_b="$work/zav160-b"
if ! zav_start_sim "$zavsim" "$work/sim-a" --link "$device_a" --quiet ||
    ! zav_start_sim "$zavsim" "$work/sim-b" --link "$device_b" --quiet; then
    fail ZavctlIdentifiesTheDevice "zavsim did not start"
    exit 1
fi
/usr/bin/zavctl --port "$device_a" --json identify >"$work/identify.json" 2>"$work/identify.err"
status=$?
if answer=$(python3 -c '
import json, sys
found = json.load(open(sys.argv[1]))
print(found["version"], found["valid"])' "$work/identify.json" 2>/dev/null) &&
    [ $status = 0 ] && [ "$answer" = "2.30 True" ]; then
    pass ZavctlIdentifiesTheDevice
else
    fail ZavctlIdentifiesTheDevice "exit code $status, version and validity \"${answer:-no JSON}\" (zavsim: 2.30, valid); $(head -c 300 "$work/identify.err")"
fi
frames_before() { wc -c <"$work/sim-$1/frames.log"; }
heard_a=$(frames_before a)
heard_b=$(frames_before b)

# ---- zavkonfig, the launcher -------------------------------------------------------

# Starts the launcher in a session of its own, as a desktop would (so that
# it can be killed with all it started), with HOME in the work folder.
# $1: a name for its output and pid; further arguments go to zavkonfig.
launched=""
launch() {
    local name=$1
    shift
    env -u XDG_DATA_HOME -u WINEPREFIX -u WINEDEBUG -u ZAV_DEVICE -u ZAV_PORT HOME="$work/home" \
        setsid /usr/bin/zavkonfig "$@" >"$work/$name.log" 2>&1 &
    launched=$!
    ZAV_STARTED_PIDS="$ZAV_STARTED_PIDS $launched"
}
# Waits up to $2 seconds for process $1 to end; true when it did.
wait_end() {
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    ! kill -0 "$1" 2>/dev/null
}
# Waits up to $2 seconds for the file $1 while the launcher $3 runs.
wait_file() {
    local deadline=$((SECONDS + $2))
    while [ ! -e "$1" ] && kill -0 "$3" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
    [ -e "$1" ]
}
# The test program in the prefix the launcher made, attached to the
# running program: one test ($1), its report STEM-$2.xml.
drive_window() {
    local gui_args=(--gtest_filter="InstalledProgramTest.$1")
    [ -n "$gui_xml" ] && gui_args+=("--gtest_output=xml:$(zav_windows_path "$gui_xml-$2.xml")")
    ZAV_PROBE_DLL=$(zav_windows_path "$probe") wine "$tests" "${gui_args[@]}" >&2 || failed=1
}

# A display that does not answer: said, exit code not 0.
n=190
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
env -u ZAV_PORT HOME="$work/home" DISPLAY=":$n" /usr/bin/zavkonfig --device "$device_a" >"$work/no-display.log" 2>&1
status=$?
if [ $status != 0 ] && grep -q "die Anzeige :$n lässt sich nicht öffnen" "$work/no-display.log"; then
    pass LauncherSaysWhenItCannotOpenTheDisplay
else
    fail LauncherSaysWhenItCannotOpenTheDisplay "exit code $status: $(said "$work/no-display.log")"
fi

if ! zav_ensure_display; then
    fail ACutShortFirstStartIsMadeAnew "no display: Xvfb did not start"
    exit 1
fi
prefix="$work/home/.local/share/zavkonfig/wine"
ready="$prefix/.zavkonfig-ready"
# For the test program, and for zav_stop_all to end the prefix's server.
zav_wine_environment "$prefix"

# A first start cut short as a logout does it: the launcher and everything
# it started killed once Wine has marked the prefix as made, before it is.
launch first-start --device "$device_a"
first=$launched
if ! wait_file "$prefix/.update-timestamp" 120 "$first"; then
    fail ACutShortFirstStartIsMadeAnew "Wine began no prefix within 120 s: $(said "$work/first-start.log")"
    exit 1
fi
# setsid made the launcher the leader of a process group of its own.
if [ "$(ps -o pgid= -p "$first" | tr -d ' ')" = "$first" ]; then
    kill -KILL -- "-$first"
else
    kill -KILL "$first"
fi
# Wine's server and its services run in sessions of their own.
wineserver -k >/dev/null 2>&1
{ wait "$first"; } 2>/dev/null
if [ -e "$ready" ]; then
    fail ACutShortFirstStartIsMadeAnew "the first start finished before it could be cut short"
    exit 1
fi

# The next start makes it anew, says so, and the program comes up in it.
launch window-a --device "$device_a"
window_a=$launched
if wait_file "$ready" 300 "$window_a" && grep -q "beim ersten Start nicht fertig" "$work/window-a.log"; then
    pass ACutShortFirstStartIsMadeAnew
else
    fail ACutShortFirstStartIsMadeAnew "no prefix within 300 s, or not said: $(said "$work/window-a.log")"
    exit 1
fi

# While window A runs, a start with device B is refused, naming A's device,
# and COM1 stays A's.
launch window-b --device "$device_b"
if ! wait_end "$launched" 60; then
    fail SecondStartWithAnotherDeviceIsRefused "still running after 60 s: $(said "$work/window-b.log")"
else
    wait "$launched"
    status=$?
    com1=$(readlink -f "$work/home/.local/share/zavkonfig/com1")
    if [ $status = 1 ] && grep -q "läuft schon, mit $device_a als COM1" "$work/window-b.log" &&
        [ "$com1" = "$(readlink -f "$device_a")" ]; then
        pass SecondStartWithAnotherDeviceIsRefused
    else
        fail SecondStartWithAnotherDeviceIsRefused "exit code $status, COM1 leads to $com1: $(said "$work/window-b.log")"
    fi
fi

# Window A connects: device A answers, device B heard nothing. The test
# program closes the window; the launcher ends with the program.
drive_window FindsTheDeviceOnCom1AndEndsWithCodeZero own-device
if [ "$(frames_before a)" -gt "$heard_a" ] && [ "$(frames_before b)" = "$heard_b" ]; then
    pass FirstWindowStillTalksToItsOwnDevice
else
    fail FirstWindowStillTalksToItsOwnDevice "device A's log grew from $heard_a to $(frames_before a) bytes, device B's from $heard_b to $(frames_before b)"
fi
if ! wait_end "$window_a" 30; then
    fail LauncherEndsWithTheProgram "still running 30 s after the program was closed"
else
    wait "$window_a"
    status=$?
    if [ $status = 0 ]; then
        pass LauncherEndsWithTheProgram
    else
        fail LauncherEndsWithTheProgram "exit code $status: $(said "$work/window-a.log")"
    fi
fi

# A device that does not exist, started from the menu: the warning in a
# dialog (a zenity that notes what it was asked to show), and COM1 cannot
# be opened, at once, rather than being some other port.
mkdir -p "$work/bin"
cat >"$work/bin/zenity" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >"$work/zenity.txt"
EOF
chmod 755 "$work/bin/zenity"
missing="$work/no-such-device"
PATH="$work/bin:$PATH" launch no-device --desktop --device "$missing"
window_c=$launched
drive_window WithoutTheDeviceSaysAtOnceThatCom1CannotBeOpened no-device
if grep -qx -- "--warning" "$work/zenity.txt" 2>/dev/null &&
    grep -q "$missing gibt es nicht" "$work/zenity.txt"; then
    pass MissingDeviceIsToldInADialog
else
    fail MissingDeviceIsToldInADialog "zenity was shown: $(said "$work/zenity.txt" 2>/dev/null)"
fi
wait_end "$window_c" 30 || fail MissingDeviceIsToldInADialog "the launcher still runs 30 s after the program was closed"

# ---- Removing ----------------------------------------------------------------------

zav_stop_all
# shellcheck disable=SC2086
if $sudo apt-get purge -y -q -o DPkg::Lock::Timeout=600 $packages >"$work/purge.log" 2>&1 &&
    ! is_installed zavctl && ! is_installed zavkonfig &&
    [ ! -e /usr/bin/zavctl ] && [ ! -e /usr/lib/zavkonfig ]; then
    installed_by_us=0
    pass RemovesWithApt
else
    fail RemovesWithApt "apt-get purge $packages left them behind (see $work/purge.log)"
fi

exit $failed

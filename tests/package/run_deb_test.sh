#!/usr/bin/env bash
# Tests the Debian package as a technician uses it: checks it with lintian,
# installs it on this machine with apt-get, runs zavctl and the launcher
# zavkonfig against zavsim on a pseudo-terminal, and removes the package
# again, whatever the outcome. apt-get needs root (or sudo). The launcher
# makes its Wine prefix in a temporary HOME under the work folder.
#
#   tests/package/run_deb_test.sh --deb FILE [--windows-build DIR] [--native-build DIR]
#                                 [--work DIR] [--xml FILE] [--gui-xml FILE]
#
# --xml gets a JUnit report of the cases here, --gui-xml the GoogleTest
# report of the Windows test program (installed_test.cpp, from the windows
# build) that drives the program's window. Exit code 0 when every case passed.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
deb=""
windows_build="$root/build/windows"
native_build="$root/build/native"
work="$root/build/deb-test"
xml=""
gui_xml=""
while [ $# -gt 0 ]; do
    case "$1" in
        --deb) deb=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        --windows-build) windows_build=$(cd "$2" && pwd); shift 2 ;;
        --native-build) native_build=$(cd "$2" && pwd); shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --xml) xml="$2"; shift 2 ;;
        --gui-xml) gui_xml="$2"; shift 2 ;;
        -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
        *) echo "run_deb_test: unknown argument $1" >&2; exit 2 ;;
    esac
done
tests="$windows_build/tests/package/installed_tests.exe"
probe="$windows_build/tests/wine/menu_probe.dll"
zavsim="$native_build/sim/zavsim"
for f in "$deb" "$tests" "$probe" "$zavsim"; do
    if [ ! -f "$f" ]; then
        echo "run_deb_test: missing ${f:-the package (--deb FILE)}" >&2
        exit 2
    fi
done
rm -rf "$work"
mkdir -p "$work/home"
work=$(cd "$work" && pwd)

. "$root/tests/wine/wine_env.sh"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
package=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
# The programs say the version without the packaging's revision.
program_version=${version%-*}

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

installed_by_us=0
is_installed() { dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; }

# Whatever happens, the machine is left as it was: the package removed, the
# processes started here ended.
finish() {
    zav_stop_all
    if [ $installed_by_us = 1 ]; then
        $sudo apt-get purge -y -q "$package" >"$work/purge.log" 2>&1
        installed_by_us=0
    fi
    write_report
}
trap finish EXIT
trap 'exit 130' INT TERM

# ---- The package as a file -----------------------------------------------------

if lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
    pass LintianFindsNoErrors
else
    fail LintianFindsNoErrors "$(grep -m 3 '^E:' "$work/lintian.log" | tr '\n' ' ')(see $work/lintian.log)"
fi

# ---- Installing ------------------------------------------------------------------

if is_installed; then
    # Not ours to remove: the test would take away what someone installed.
    fail InstallsWithApt "$package is installed on this machine already; remove it first (apt-get purge $package)"
    exit 1
fi
installed_by_us=1
if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "$deb" >"$work/install.log" 2>&1 && is_installed; then
    pass InstallsWithApt
else
    fail InstallsWithApt "apt-get install failed (see $work/install.log)"
    exit 1
fi

# ---- zavctl ----------------------------------------------------------------------

said=$(/usr/bin/zavctl --version 2>&1)
if [ "$said" = "zavctl $program_version" ]; then
    pass ZavctlSaysItsVersion
else
    fail ZavctlSaysItsVersion "zavctl --version said \"$said\", expected \"zavctl $program_version\""
fi

pages=$(man -w zavctl zavkonfig 2>&1 | tr '\n' ' ')
if [ "$pages" = "/usr/share/man/man1/zavctl.1.gz /usr/share/man/man1/zavkonfig.1.gz " ]; then
    pass ManFindsBothPages
else
    # A slimmed Debian image tells dpkg not to unpack man pages at all.
    excluded=$(grep -hs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/* | head -n 1)
    fail ManFindsBothPages "man -w zavctl zavkonfig said: $pages${excluded:+ (dpkg on this machine: $excluded)}"
fi

device="$work/zav160"
if ! zav_start_sim "$zavsim" "$work/sim" --link "$device" --quiet; then
    fail ZavctlIdentifiesTheDevice "zavsim did not start"
    exit 1
fi
/usr/bin/zavctl --port "$device" --json identify >"$work/identify.json" 2>"$work/identify.err"
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

# ---- zavkonfig, the launcher -------------------------------------------------------
# It makes its prefix under HOME on this first start; the test program joins
# that prefix only once it is made, or both would make it at once.

launcher_case=LauncherMakesItsPrefixAndEndsWithTheProgram
if ! zav_ensure_display; then
    fail $launcher_case "no display: Xvfb did not start"
    exit 1
fi
prefix="$work/home/.local/share/zavkonfig/wine"
env -u XDG_DATA_HOME -u WINEPREFIX -u ZAV_DEVICE HOME="$work/home" \
    /usr/bin/zavkonfig --device "$device" >"$work/launcher.log" 2>&1 &
launcher=$!
ZAV_STARTED_PIDS="$ZAV_STARTED_PIDS $launcher"
deadline=$((SECONDS + 180))
while [ ! -e "$prefix/.zavkonfig-ready" ] && kill -0 $launcher 2>/dev/null && [ $SECONDS -lt $deadline ]; do
    sleep 0.2
done
if [ ! -e "$prefix/.zavkonfig-ready" ]; then
    fail $launcher_case "no prefix in $prefix within 180 s: $(tr '\n' ' ' <"$work/launcher.log")"
    exit 1
fi

zav_wine_environment "$prefix"
export ZAV_PROBE_DLL
ZAV_PROBE_DLL=$(zav_windows_path "$probe")
gui_args=()
[ -n "$gui_xml" ] && gui_args=("--gtest_output=xml:$(zav_windows_path "$gui_xml")")
wine "$tests" "${gui_args[@]}" >&2 || failed=1

# The test program closed the window: the launcher ends with the program.
deadline=$((SECONDS + 30))
while kill -0 $launcher 2>/dev/null && [ $SECONDS -lt $deadline ]; do
    sleep 0.2
done
if kill -0 $launcher 2>/dev/null; then
    fail $launcher_case "still running 30 s after the test program"
else
    wait $launcher
    status=$?
    com1=$(readlink -f "$prefix/dosdevices/com1")
    if [ $status != 0 ]; then
        fail $launcher_case "exit code $status: $(tr '\n' ' ' <"$work/launcher.log")"
    elif [ "$com1" != "$(readlink -f "$device")" ]; then
        fail $launcher_case "COM1 leads to $com1, not to the device $device"
    else
        pass $launcher_case
    fi
fi

# ---- Removing ----------------------------------------------------------------------

zav_stop_all
if $sudo apt-get purge -y -q "$package" >"$work/purge.log" 2>&1 && ! is_installed &&
    [ ! -e /usr/bin/zavctl ] && [ ! -e /usr/lib/zavkonfig ]; then
    installed_by_us=0
    pass RemovesWithApt
else
    fail RemovesWithApt "apt-get purge $package left it behind (see $work/purge.log)"
fi

exit $failed

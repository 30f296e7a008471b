#!/usr/bin/env bash
# Runs the end-to-end tests: zavkonfig.exe under Wine against zavsim on COM1.
#
#   tests/wine/run_wine_tests.sh [options] [-- test program arguments]
#     --windows-build DIR  the windows preset's build (default build/windows)
#     --native-build DIR   the native preset's build with sim/zavsim (default build/native)
#     --work DIR           prefix, logs and results (default <windows build>/wine-e2e)
#     --xml FILE           write the GoogleTest XML report to FILE
#     --program FILE       the zavkonfig.exe to test (default <windows build>/zavkonfig.exe)
#     --test-program FILE  the test program (default <windows build>/tests/wine/wine_tests.exe)
#   Further arguments go to the test program, e.g. --gtest_filter=ProgramTest.*
#   The windows build may be either preset's (windows or windows32): the test
#   program and its probe DLL must have the program's word size.
#
# Starts Xvfb when there is no DISPLAY, makes a private Wine prefix (or uses
# ZAV_WINEPREFIX when it names a ready one), starts zavsim linked as COM1 (and
# a second one as COM2, for zavctl's series on two ports) and stops
# everything it started when it ends, whatever the outcome.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
windows_build="$root/build/windows"
native_build="$root/build/native"
work=""
xml=""
exe=""
tests=""
test_args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --windows-build) windows_build=$(cd "$2" && pwd); shift 2 ;;
        --native-build) native_build=$(cd "$2" && pwd); shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --xml) xml="$2"; shift 2 ;;
        --program) exe=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        --test-program) tests=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
        --) shift; test_args+=("$@"); break ;;
        *) test_args+=("$1"); shift ;;
    esac
done
[ -n "$work" ] || work="$windows_build/wine-e2e"
mkdir -p "$work"
work=$(cd "$work" && pwd)

[ -n "$exe" ] || exe="$windows_build/zavkonfig.exe"
[ -n "$tests" ] || tests="$windows_build/tests/wine/wine_tests.exe"
probe="$windows_build/tests/wine/menu_probe.dll"
zavsim="$native_build/sim/zavsim"
for f in "$exe" "$tests" "$probe" "$zavsim"; do
    if [ ! -e "$f" ]; then
        echo "run_wine_tests: missing $f (build both presets first)" >&2
        exit 2
    fi
done

# shellcheck source=wine_env.sh
. "$here/wine_env.sh"
trap zav_stop_all EXIT
trap 'exit 130' INT TERM

zav_ensure_display || exit 2
if [ -n "${ZAV_WINEPREFIX:-}" ] && [ -d "$ZAV_WINEPREFIX/dosdevices" ]; then
    zav_use_prefix "$ZAV_WINEPREFIX" || exit 2
else
    zav_make_prefix "$work/prefix" || exit 2
fi
zav_map_com1 "$work/com1"
# A second device on COM2, for a series on two ports (zavctl_test.cpp).
"$ZAV_WINE" reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$work/com2" /f >/dev/null 2>&1
wineserver -w
rm -f "$WINEPREFIX/dosdevices/com2"
ln -s "$work/com2" "$WINEPREFIX/dosdevices/com2"
zav_start_sim "$zavsim" "$work/com2-sim" --link "$work/com2" ||
    { echo "run_wine_tests: zavsim on COM2 did not start" >&2; exit 2; }
ZAV_SIM2_CONTROL=$ZAV_SIM_CONTROL
zav_start_sim "$zavsim" "$work" --link "$work/com1" || { echo "run_wine_tests: zavsim did not start" >&2; exit 2; }

export ZAV_EXE ZAV_SIM_CONTROL ZAV_SIM2_CONTROL ZAV_PROBE_DLL
ZAV_EXE=$(zav_windows_path "$exe")
ZAV_PROBE_DLL=$(zav_windows_path "$probe")
if [ -n "$xml" ]; then
    mkdir -p "$(dirname "$xml")"
    test_args+=("--gtest_output=xml:$(zav_windows_path "$xml")")
fi
echo "run_wine_tests: zavsim on COM1 (control port $ZAV_SIM_CONTROL, frames in $work/frames.log)"
echo "run_wine_tests: zavsim on COM2 (control port $ZAV_SIM2_CONTROL, frames in $work/com2-sim/frames.log)"
wine "$tests" "${test_args[@]}"
status=$?
exit $status

#!/usr/bin/env bash
# Tests a release zip as a technician gets it: unpacks it and runs the
# package tests (package_test.cpp) against the unpacked zavkonfig.exe under
# Wine, with zavsim on COM1.
#
#   tests/package/run_package_test.sh --zip FILE --windows-build DIR [--native-build DIR]
#                                     [--work DIR] [--xml FILE]
#
# The windows build (build/windows for the win64 zip, build/windows32 for the
# win32 zip) provides the test program and its probe DLL, which must have the
# word size of the packaged program. ZAV_WINEPREFIX may name a ready prefix.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
zip=""
windows_build=""
native_build="$root/build/native"
work=""
xml=""
while [ $# -gt 0 ]; do
    case "$1" in
        --zip) zip="$2"; shift 2 ;;
        --windows-build) windows_build="$2"; shift 2 ;;
        --native-build) native_build="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --xml) xml="$2"; shift 2 ;;
        -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
        *) echo "run_package_test: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [ -z "$zip" ] || [ -z "$windows_build" ] || [ ! -f "$zip" ]; then
    echo "run_package_test: needs --zip FILE (an existing zip) and --windows-build DIR" >&2
    exit 2
fi
[ -n "$work" ] || work="$root/build/package-test/$(basename "$zip" .zip)"
rm -rf "$work/unpacked"
mkdir -p "$work/unpacked"
work=$(cd "$work" && pwd)

python3 - "$zip" "$work/unpacked" <<'PY' || exit 2
import sys, zipfile
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])
PY
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -n 1)
if [ -z "$folder" ] || [ ! -f "$folder/zavkonfig.exe" ]; then
    echo "run_package_test: $zip holds no folder with zavkonfig.exe" >&2
    exit 1
fi

. "$root/tests/wine/wine_env.sh"
export ZAV_PACKAGE_DIR
ZAV_PACKAGE_DIR=$(zav_windows_path "$folder")
xml_args=()
[ -n "$xml" ] && xml_args=(--xml "$xml")
"$root/tests/wine/run_wine_tests.sh" --windows-build "$windows_build" --native-build "$native_build" \
    --work "$work" "${xml_args[@]}" --program "$folder/zavkonfig.exe" \
    --test-program "$windows_build/tests/package/package_tests.exe"

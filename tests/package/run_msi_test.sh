#!/usr/bin/env bash
# Tests one Windows Installer package as an IT department and a user meet it:
#  - its tables name the product, its version, the stable upgrade code and a
#    per-machine install (msiinfo); a second build from a clean copy of the
#    repository, at another time in another folder, is byte-identical;
#  - in a fresh Wine prefix (a 32-bit one for x86): a stand-in of the
#    previous version installed quietly, then this package, which replaces
#    it; the files in Program Files, the Start menu entries pointing at them,
#    the product in "Programs and Features";
#  - the installed zavkonfig.exe starts and identifies the virtual device on
#    COM1 (the release zips' test program, package_test.cpp), and zavctl.exe,
#    run by name in the Start menu's console, reads it;
#  - installed again, the same package repairs missing files;
#  - uninstalled quietly, it leaves nothing but the user's files.
#
#   tests/package/run_msi_test.sh --arch x64|x86 --msi FILE --windows-build DIR
#                                 [--native-build DIR] [--work DIR] [--xml FILE]
#                                 [--gui-xml FILE]
#
# --windows-build is the build whose exes the package holds (build/windows for
# x64, build/windows32 for x86): the second build and the stand-in take them
# from there, and its package test program drives the installed program.
# --xml gets a JUnit report of the cases here, --gui-xml the GoogleTest
# report of the installed program's test. Exit code 0 when every case passed.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=""
msi=""
windows_build=""
native_build="$root/build/native"
work=""
xml=""
gui_xml=""
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) arch="$2"; shift 2 ;;
        --msi) msi=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        --windows-build) windows_build=$(cd "$2" && pwd); shift 2 ;;
        --native-build) native_build=$(cd "$2" && pwd); shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --xml) xml="$2"; shift 2 ;;
        --gui-xml) gui_xml="$2"; shift 2 ;;
        -h|--help) sed -n '2,26p' "$0"; exit 0 ;;
        *) echo "run_msi_test: unknown argument $1" >&2; exit 2 ;;
    esac
done
case "$arch" in
    x64) template="x64;1031" ;;
    x86) template="Intel;1031" ;;
    *) echo "run_msi_test: --arch x64 or x86" >&2; exit 2 ;;
esac
tests="$windows_build/tests/package/package_tests.exe"
zavsim="$native_build/sim/zavsim"
for f in "$msi" "$tests" "$zavsim"; do
    if [ ! -f "$f" ]; then
        echo "run_msi_test: missing ${f:-the package (--msi FILE)}" >&2
        exit 2
    fi
done
[ -n "$work" ] || work="$root/build/msi-test/$arch"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

. "$root/tests/wine/wine_env.sh"
. "$root/tools/setup.sh"

# The upgrade code is the product's lasting name for software distribution:
# it must never change (msi/zavkonfig.wxs, README).
upgrade_code="{50A08F60-0D0E-456F-AE93-C6DC518C9EE9}"
version=$(cd "$root" && zav_version)
# A stand-in of the version before, made from the same files.
older="${version%.*}.$((${version#*.} - 1))"
folder='C:\Program Files\ZAV-Konfiguration'

# ---- Cases and the report ----------------------------------------------------

cases="$work/cases.tsv"
: >"$cases"
pass() { printf '%s\t\n' "$1" >>"$cases"; echo "run_msi_test: ok: $1" >&2; }
fail() {
    local why=${2//[$'\t\n']/ }
    printf '%s\t%s\n' "$1" "$why" >>"$cases"
    echo "run_msi_test: FAILED: $1: $why" >&2
}
# A condition's verdict: check NAME "failure text" COMMAND...
check() {
    local name=$1 why=$2
    shift 2
    if "$@"; then pass "$name"; else fail "$name" "$why"; fi
}

write_report() {
    [ -n "$xml" ] || return 0
    mkdir -p "$(dirname "$xml")"
    python3 - "$cases" "$xml" "$arch" <<'PY'
import sys
from xml.sax.saxutils import quoteattr

rows = [line.rstrip("\n").split("\t", 1) for line in open(sys.argv[1], encoding="utf-8") if line.strip()]
failures = sum(1 for _, failure in rows if failure)
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write(f'<testsuite name="msi-{sys.argv[3]}" tests="{len(rows)}" failures="{failures}">\n')
    for name, failure in rows:
        out.write(f'  <testcase classname="MsiPackage-{sys.argv[3]}" name={quoteattr(name)}>')
        if failure:
            out.write(f"<failure message={quoteattr(failure)}/>")
        out.write("</testcase>\n")
    out.write("</testsuite>\n")
PY
}
finish() {
    zav_stop_all
    write_report
}
trap finish EXIT
trap 'exit 130' INT TERM

# ---- The package as a file ------------------------------------------------------

# A property of the package's Property table, or a line of its summary.
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }
summary() { msiinfo suminfo "$1" | sed -n "s/^$2: //p"; }

# The stand-in of the version before: the same files, the same source.
standin="$work/zavkonfig-$older-$arch.msi"
if ! /usr/bin/python3 "$root/tools/build_msi.py" --arch "$arch" --build "$windows_build" --version "$older" \
    --work "$work/standin" --output "$standin" >"$work/standin.log" 2>&1; then
    fail InstallsQuietly "the stand-in $older did not build: $(tail -n 3 "$work/standin.log")"
    exit 1
fi

tables=""
for pair in "ProductName=ZAV-Konfiguration" "Manufacturer=zavkonfig-Projekt" "ProductVersion=$version" \
    "UpgradeCode=$upgrade_code" "ALLUSERS=1" "ProductLanguage=1031"; do
    said=$(property "$msi" "${pair%%=*}")
    [ "$said" = "${pair#*=}" ] || tables="$tables ${pair%%=*} is \"$said\", not \"${pair#*=}\";"
done
product_code=$(property "$msi" ProductCode)
older_code=$(property "$standin" ProductCode)
[[ "$product_code" =~ ^\{[0-9A-F-]{36}\}$ ]] || tables="$tables ProductCode \"$product_code\" is no GUID;"
[ "$product_code" != "$older_code" ] || tables="$tables the stand-in $older has the same product code;"
[ "$(summary "$msi" Template)" = "$template" ] || tables="$tables the template is \"$(summary "$msi" Template)\", not \"$template\";"
# Windows XP SP3 has Windows Installer 3.1.
installer=$(summary "$msi" Version | cut -d' ' -f1)
[ "${installer:-999}" -le 301 ] || tables="$tables it needs Windows Installer \"$installer\", XP SP3 has 301;"
[ "$(summary "$msi" 'Revision number (UUID)')" != "$(summary "$standin" 'Revision number (UUID)')" ] ||
    tables="$tables the stand-in has the same package code;"
check TablesNameTheProductVersionUpgradeCodeAndPerMachine "${tables# }" [ -z "$tables" ]

# What differs between two packages: summary lines, tables, streams. (An
# export of a table with binary columns writes them to files in the
# current folder.)
differing_parts() {
    local parts="" table stream
    mkdir -p "$work/differing" && cd "$work/differing" || return
    diff <(msiinfo suminfo "$1") <(msiinfo suminfo "$2") | sed -n 's/^> /summary: /p' | tr '\n' ';' 
    for table in $(msiinfo tables "$1"); do
        cmp -s <(msiinfo export "$1" "$table" 2>&1) <(msiinfo export "$2" "$table" 2>&1) || parts="$parts table $table;"
    done
    for stream in $(msiinfo streams "$1"); do
        cmp -s <(msiinfo extract "$1" "$stream" 2>&1) <(msiinfo extract "$2" "$stream" 2>&1) || parts="$parts stream $stream;"
    done
    echo "${parts:- the tables and streams are the same, the bytes are not}"
}

# As a maintainer builds it: from what a fresh clone holds, in another
# folder, at another time, the same exes.
tree="$work/rebuild/tree"
zav_export_tree "$tree" 2>"$work/rebuild.log" || true
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
if SOURCE_DATE_EPOCH=$epoch /usr/bin/python3 "$tree/tools/build_msi.py" --arch "$arch" --build "$windows_build" \
    --work "$work/rebuild/work" --output "$work/rebuild/$(basename "$msi")" >>"$work/rebuild.log" 2>&1; then
    if cmp -s "$msi" "$work/rebuild/$(basename "$msi")"; then
        pass ASecondBuildIsByteIdentical
    else
        fail ASecondBuildIsByteIdentical "differs from $work/rebuild/$(basename "$msi") in: $(differing_parts "$msi" "$work/rebuild/$(basename "$msi")")"
    fi
else
    fail ASecondBuildIsByteIdentical "the second build failed: $(tail -n 3 "$work/rebuild.log")"
fi

# ---- Installing ------------------------------------------------------------------

if ! zav_ensure_display; then
    fail InstallsQuietly "no display: Xvfb did not start"
    exit 1
fi
# A 32-bit Windows for x86 (as on Windows XP), else a 64-bit one; the
# 64-bit Windows Installer installs the x64 package, as on Windows.
if [ "$arch" = x86 ]; then
    export WINEARCH=win32 ZAV_WINE=wine
else
    export WINEARCH=win64 ZAV_WINE=/usr/lib/wine/wine64
fi
wine=$ZAV_WINE
prefix="$work/prefix"
if ! zav_make_prefix "$prefix"; then
    fail InstallsQuietly "Wine could not make a prefix in $prefix"
    exit 1
fi
drive="$prefix/drive_c"
installed="$drive/Program Files/ZAV-Konfiguration"
# Wine names the user's profile folder after the Unix user.
profile="$drive/users/$(id -un)"
if [ ! -d "$profile" ]; then
    fail InstallsQuietly "the prefix has no profile folder $profile"
    exit 1
fi
# Wine's Windows Installer puts a per-machine package's shortcuts into the
# installing user's Start menu (its ProgramMenuFolder is always the user's);
# Windows puts them into the Start menu of all users.
menu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/ZAV-Konfiguration"

# msiexec quietly, with its log; the exit code is msiexec's.
msiexec() {
    local log=$1
    shift
    "$wine" msiexec "$@" /qn /l*v "$(zav_windows_path "$work/$log")" >/dev/null 2>&1
    local status=$?
    wineserver -w
    return $status
}
# The products Windows lists in "Programs and Features", one line each:
# product code, name, maker, version.
programs_and_features() {
    # reg writes in the console's code page; the values compared are ASCII.
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        PYTHONIOENCODING=latin-1 python3 -c '
import re, sys
products, key = {}, None
for line in sys.stdin:
    if line.startswith("HKEY_"):
        key = line.strip().rsplit("\\", 1)[-1]
        continue
    found = re.match(r"\s+(DisplayName|Publisher|DisplayVersion)\s+REG_SZ\s+(.*)$", line)
    if key and key.startswith("{") and found:
        products.setdefault(key, {})[found.group(1)] = found.group(2)
for code, values in sorted(products.items()):
    print(code, values.get("DisplayName"), values.get("Publisher"), values.get("DisplayVersion"), sep="|")'
}

# Everything under the places the package writes to, for the uninstall.
owned_places() {
    (cd "$drive" && find "Program Files" "windows/Installer" "${menu#"$drive/"}" 2>/dev/null | LC_ALL=C sort)
}
owned_places >"$work/owned-before.txt"

if msiexec install-older.log /i "$(zav_windows_path "$standin")" &&
    msiexec install.log /i "$(zav_windows_path "$msi")"; then
    pass InstallsQuietly
else
    fail InstallsQuietly "msiexec /i ... /qn failed (logs: $work/install-older.log, $work/install.log)"
    exit 1
fi

listed=$(programs_and_features)
expected="$product_code|ZAV-Konfiguration|zavkonfig-Projekt|$version"
check ReplacesTheOlderVersionInProgramsAndFeatures "Programs and Features lists: ${listed:-nothing}; expected only $expected" \
    [ "$listed" = "$expected" ]

# The files: the program, zavctl, the console, the guide, the documents, the
# licence, and every example of the repository.
(cd "$root/examples" && ls -- *.zcf *.toml *.csv) | sed 's|^|Beispiele/|' >"$work/expected-files.txt"
printf '%s\n' zavkonfig.exe zavctl.exe zavctl-Konsole.cmd Benutzerhandbuch.html Textformat.md JSON.md \
    LICENSE.txt "zavkonfig-web-$version.html" >>"$work/expected-files.txt"
LC_ALL=C sort -o "$work/expected-files.txt" "$work/expected-files.txt"
(cd "$installed" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/installed-files.txt"
check PutsEveryFileIntoProgramFiles "missing (<) or not expected (>): $(diff "$work/expected-files.txt" "$work/installed-files.txt" | grep '^[<>]' | tr '\n' ' ')" \
    cmp -s "$work/expected-files.txt" "$work/installed-files.txt"

# The Start menu: each entry a shortcut to its installed file.
shortcuts=$(python3 - "$menu" <<'PY'
import os, struct, sys

def target(path):
    """The local path a shell link leads to (its LinkInfo)."""
    data = open(path, "rb").read()
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76
    if flags & 1:  # an item id list comes first
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if not flags & 2:
        return "no link info"
    link_flags, base = struct.unpack_from("<I", data, at + 8)[0], struct.unpack_from("<I", data, at + 16)[0]
    if not link_flags & 1:
        return "no local path"
    return data[at + base:data.index(b"\0", at + base)].decode("cp1252")

folder = sys.argv[1]
for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
    print(f"{name} -> {target(os.path.join(folder, name))}")
PY
)
expected_shortcuts="Benutzerhandbuch.lnk -> $folder\\Benutzerhandbuch.html
Eingabeaufforderung für zavctl.lnk -> $folder\\zavctl-Konsole.cmd
ZAV-Konfiguration.lnk -> $folder\\zavkonfig.exe"
check StartMenuEntriesPointAtTheInstalledFiles "the Start menu holds: ${shortcuts:-nothing}" \
    [ "$shortcuts" = "$expected_shortcuts" ]

# ---- Using it ----------------------------------------------------------------------

# The installed program with the release zips' test program: its files, its
# version, the device on COM1 identified, every example loaded, and zavctl
# beside it finding the device.
gui_args=()
[ -n "$gui_xml" ] && gui_args=(--xml "$gui_xml")
ZAV_WINEPREFIX="$prefix" ZAV_PACKAGE_DIR="$folder" \
    "$root/tests/wine/run_wine_tests.sh" --windows-build "$windows_build" --native-build "$native_build" \
    --work "$work/gui" --program "$installed/zavkonfig.exe" --test-program "$tests" "${gui_args[@]}" >&2
gui_status=$?

# The console of the Start menu: its prompt finds zavctl by name and starts
# in the user's folder; there zavctl reads the device's configuration. (The
# console's own prompt ends at once: its input is empty.)
zav_map_com1 "$work/com1"
if zav_start_sim "$zavsim" "$work/sim" --link "$work/com1" --quiet; then
    # What the user types there, as a batch file that calls the console's
    # (a command line with quotes does not reach cmd whole through wine);
    # verify compares the file read with the device, field by field.
    printf '%s\r\n' "@call \"$folder\\zavctl-Konsole.cmd\" <nul" \
        "zavctl --port COM1 read -o gelesen.zcf && zavctl --port COM1 verify gelesen.zcf" \
        "@exit /b %errorlevel%" >"$work/typed.cmd"
    "$wine" cmd /c "$(zav_windows_path "$work/typed.cmd")" </dev/null >"$work/console.log" 2>&1
    status=$?
    if [ $status = 0 ] && [ -f "$profile/gelesen.zcf" ]; then
        pass TheConsoleRunsZavctlWhichReadsTheDevice
    else
        fail TheConsoleRunsZavctlWhichReadsTheDevice "exit code $status, $profile/gelesen.zcf $([ -f "$profile/gelesen.zcf" ] || echo "not ")written: $(tr '\r\n' '  ' <"$work/console.log" | head -c 400)"
    fi
    kill "$ZAV_SIM_PID" 2>/dev/null
    wait "$ZAV_SIM_PID" 2>/dev/null
else
    fail TheConsoleRunsZavctlWhichReadsTheDevice "zavsim did not start"
fi

# ---- Repair and uninstall ------------------------------------------------------------

# The same version again: what is missing comes back. Windows reinstalls
# an installed product's files only when REINSTALL says so, which the
# package sets; Wine reinstalls them anyway, so its log must show it set
# (Windows Installer's verbose log lists the properties so on both).
rm -f "$installed/zavctl.exe" "$installed/Beispiele/kleine-wache.zcf"
if msiexec repair.log /i "$(zav_windows_path "$msi")"; then
    (cd "$installed" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/repaired-files.txt"
    listed=$(programs_and_features)
    reinstall=$(grep -a -o 'Property(S): REINSTALL = [A-Za-z]*' "$work/repair.log" | tail -n 1)
    check InstallingTheSameVersionAgainRepairs "after the repair, missing (<): $(diff "$work/expected-files.txt" "$work/repaired-files.txt" | grep '^[<>]' | tr '\n' ' '); listed: $listed; the log says: ${reinstall:-no REINSTALL}" \
        [ "$(cat "$work/expected-files.txt")$listed$reinstall" = "$(cat "$work/repaired-files.txt")${expected}Property(S): REINSTALL = ALL" ]
else
    fail InstallingTheSameVersionAgainRepairs "msiexec /i failed (log: $work/repair.log)"
fi

# The user's files: a configuration saved among the examples, a backup of
# zavctl's, the configuration read above.
user_files=("$installed/Beispiele/eigene.zcf" "$profile/AppData/Local/zavkonfig/Sicherungen/sicherung.zcf")
mkdir -p "$(dirname "${user_files[1]}")"
for file in "${user_files[@]}"; do cp "$root/examples/kleine-wache.zcf" "$file"; done
[ -f "$profile/gelesen.zcf" ] && user_files+=("$profile/gelesen.zcf")
# What Windows Installer registered: the codes of the products and of the
# components, in the registry as they are and packed (each group of hex
# digits reversed), as Windows Installer also writes them.
# shellcheck disable=SC2046 # the component codes, one word each
codes=$(python3 - "$product_code" "$(property "$standin" ProductCode)" "$upgrade_code" \
    $(msiinfo export "$msi" Component | tr -d '\r' | awk -F'\t' 'NR > 3 { print $2 }') <<'PY'
import sys
for code in sys.argv[1:]:
    plain = code.strip("{}").upper()
    digits = plain.replace("-", "")
    packed = digits[7::-1] + digits[11:7:-1] + digits[15:11:-1]
    packed += "".join(digits[i + 1] + digits[i] for i in range(16, 32, 2))
    print(plain)
    print(packed)
PY
)
registered() { grep -i -o -F "$codes" "$prefix"/*.reg | sort -u | head -n 5 | tr '\n' ' '; }
# The check below must be able to see the product's registration.
[ -n "$(registered)" ] || fail UninstallLeavesOnlyTheUsersFiles "the registry shows no code of the installed product"

if msiexec uninstall.log /x "$(zav_windows_path "$msi")"; then
    owned_places >"$work/owned-after.txt"
    left=""
    while IFS= read -r path; do
        case "$path" in
            windows/Installer) continue ;;  # Windows Installer's cache, empty
        esac
        # A user's file, or a folder on the way to one.
        keep=0
        for file in "${user_files[@]}"; do
            case "$file" in "$drive/$path"|"$drive/$path"/*) keep=1 ;; esac
        done
        [ $keep = 1 ] || left="$left $path;"
    done < <(comm -13 "$work/owned-before.txt" "$work/owned-after.txt")
    for file in "${user_files[@]}"; do
        [ -f "$file" ] || left="$left the user's file $file is gone;"
    done
    still=$(registered)
    [ -z "$still" ] || left="$left the registry still names $still;"
    [ -z "$(programs_and_features)" ] || left="$left Programs and Features lists $(programs_and_features);"
    check UninstallLeavesOnlyTheUsersFiles "left behind:${left:0:800}" [ -z "$left" ]
else
    fail UninstallLeavesOnlyTheUsersFiles "msiexec /x failed (log: $work/uninstall.log)"
fi

failed=$(awk -F'\t' '$2 != ""' "$cases" | wc -l)
[ "$failed" = 0 ] && [ "$gui_status" = 0 ]

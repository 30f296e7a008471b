#!/usr/bin/env bash
# Tests one Windows Installer package as an IT department and a user meet it:
#  - its tables name the product, its version, the stable upgrade code and a
#    per-machine install (msiinfo); a second build from a clean copy of the
#    repository, at another time in another folder, is byte-identical; the
#    database and its summary in Windows-1252; the examples' component
#    GUIDs the same in a version that had one example fewer; a build with a
#    throw-away certificate signed, exes and package;
#  - in a fresh Wine prefix (a 32-bit one for x86): a stand-in of the
#    previous version installed quietly, then this package, which replaces
#    it; the files in Program Files, the Start menu entries pointing at them,
#    the product in "Programs and Features";
#  - the installed zavkonfig.exe starts and identifies the virtual device on
#    COM1 (the release zips' test program, package_test.cpp), and zavctl.exe,
#    run by name in the Start menu's console, reads it;
#  - installed again, the same package repairs missing files;
#  - uninstalled quietly, it leaves nothing but the user's files;
#  - the installed exes carry the version of the file VERSION, run as
#    invoker and show their icon in four sizes;
#  - the version before installed into a folder of the administrator's
#    choice: this one goes there too, and Programs and Features names it;
#  - with --other-msi (x64 only: the x86 package of the same version), the
#    two word sizes in one 64-bit Windows: the second is refused, the first
#    stays whole.
#
#   tests/package/run_msi_test.sh --arch x64|x86 --msi FILE --windows-build DIR
#                                 [--other-msi FILE] [--native-build DIR]
#                                 [--work DIR] [--xml FILE] [--gui-xml FILE]
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
other_msi=""
windows_build=""
native_build="$root/build/native"
work=""
xml=""
gui_xml=""
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) arch="$2"; shift 2 ;;
        --msi) msi=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        --other-msi) other_msi=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        --windows-build) windows_build=$(cd "$2" && pwd); shift 2 ;;
        --native-build) native_build=$(cd "$2" && pwd); shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --xml) xml="$2"; shift 2 ;;
        --gui-xml) gui_xml="$2"; shift 2 ;;
        -h|--help) sed -n '2,36p' "$0"; exit 0 ;;
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
for f in "$msi" "$tests" "$zavsim" ${other_msi:+"$other_msi"}; do
    if [ ! -f "$f" ]; then
        echo "run_msi_test: missing ${f:-the package (--msi FILE)}" >&2
        exit 2
    fi
done
# The packages this test builds are unsigned, but for the one it signs on
# purpose: a certificate in the caller's environment would make the second
# build differ from the first (a signature holds the time it was made).
unset ZAV_SIGN_PKCS12 ZAV_SIGN_PASSWORD ZAV_SIGN_PASSWORD_FILE ZAV_SIGN_TIMESTAMP_URL
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

# The stand-in of the version before: the same files, the same source,
# but one example fewer, the first by name, as if the examples after it had
# been added since: the numbering of all others shifts.
standin="$work/zavkonfig-$older-$arch.msi"
standin_tree="$work/standin/tree"
zav_export_tree "$standin_tree" 2>"$work/standin.log" || true
added_example=$(cd "$root/examples" && ls -- *.zcf *.toml *.csv | LC_ALL=C sort | head -n 1)
rm -f "$standin_tree/examples/$added_example"
if ! /usr/bin/python3 "$standin_tree/tools/build_msi.py" --arch "$arch" --build "$windows_build" --version "$older" \
    --work "$work/standin/work" --output "$standin" >>"$work/standin.log" 2>&1; then
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

# The code pages: the database's is 1252 and its strings are stored so (a
# text with an umlaut is in the file as Windows-1252, not UTF-8); the
# summary says 1252, and its texts are ASCII (wixl writes them as UTF-8).
codepages=$(/usr/bin/python3 - "$msi" "$(msiinfo export "$msi" _ForceCodepage | tr -d '\r' | awk -F'\t' '$2 == "_ForceCodepage" { print $1 }')" <<'PY'
import sys
import olefile

umlaut = "Eingabeaufforderung für zavctl"
data = open(sys.argv[1], "rb").read()
with olefile.OleFileIO(sys.argv[1]) as ole:
    summary = ole.get_metadata()
texts = [f"{f}: {getattr(summary, f)}" for f in summary.SUMMARY_ATTRIBS
         if isinstance(getattr(summary, f), bytes) and not getattr(summary, f).isascii()]
print(f"database {sys.argv[2]}, summary {summary.codepage}, not ASCII: {texts}, "
      f"\"{umlaut}\" in 1252 {umlaut.encode('cp1252') in data}, in UTF-8 {umlaut.encode() in data}")
PY
)
check TheDatabaseAndItsSummaryAreWindows1252 "$codepages" \
    [ "$codepages" = "database 1252, summary 1252, not ASCII: [], \"Eingabeaufforderung für zavctl\" in 1252 True, in UTF-8 False" ]

# Each example's component GUID follows from its installed path: the
# stand-in, which lacks the example named first, gives every other example
# the GUID this package gives it.
example_guids() {
    # File: id, component, "SHORT|long" name ...; Component: id, GUID ...
    join -t $'\t' <(msiinfo export "$1" File | tr -d '\r' | awk -F'\t' 'NR > 3 { n = $3; sub(/.*\|/, "", n); print $2 "\t" n }' | LC_ALL=C sort) \
        <(msiinfo export "$1" Component | tr -d '\r' | awk -F'\t' 'NR > 3 { print $1 "\t" $2 }' | LC_ALL=C sort) |
        awk -F'\t' -v folder="$(cd "$root/examples" && ls | tr '\n' ' ')" 'index(" " folder, " " $2 " ") { print $2 "\t" $3 }' |
        LC_ALL=C sort
}
example_guids "$msi" >"$work/example-guids.txt"
example_guids "$standin" >"$work/example-guids-before.txt"
changed=$(join -t $'\t' "$work/example-guids-before.txt" "$work/example-guids.txt" | awk -F'\t' '$2 != $3 { print $1 }' | tr '\n' ' ')
[ -s "$work/example-guids-before.txt" ] || changed="(the stand-in lists no example)"
check ExampleGuidsStayWhenAnExampleIsAdded "with $added_example added, these examples got another GUID: $changed" \
    [ -z "$changed" ]

# Signing, as an IT department does with its own certificate: a throw-away
# one here, its password in a file; the exes inside the package and the
# package itself carry a signature that osslsigncode verifies against it.
sign_dir="$work/signed"
mkdir -p "$sign_dir/extracted"
signed=""
if openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Testzertifikat IT-Abteilung" \
        -addext extendedKeyUsage=codeSigning -keyout "$sign_dir/key.pem" -out "$sign_dir/cert.pem" 2>"$sign_dir/openssl.log" &&
    printf 'Wegwerf-Passwort\n' >"$sign_dir/password" &&
    openssl pkcs12 -export -inkey "$sign_dir/key.pem" -in "$sign_dir/cert.pem" -out "$sign_dir/cert.p12" \
        -passout file:"$sign_dir/password" 2>>"$sign_dir/openssl.log"; then
    if ZAV_SIGN_PKCS12="$sign_dir/cert.p12" ZAV_SIGN_PASSWORD_FILE="$sign_dir/password" \
        /usr/bin/python3 "$root/tools/build_msi.py" --arch "$arch" --build "$windows_build" \
        --work "$sign_dir/work" --output "$sign_dir/zavkonfig-signed.msi" >"$sign_dir/build.log" 2>&1; then
        msiextract -C "$sign_dir/extracted" "$sign_dir/zavkonfig-signed.msi" >/dev/null 2>&1
        for file in "$sign_dir/zavkonfig-signed.msi" "$(find "$sign_dir/extracted" -name zavkonfig.exe)" \
            "$(find "$sign_dir/extracted" -name zavctl.exe)"; do
            osslsigncode verify -CAfile "$sign_dir/cert.pem" -in "$file" >"$sign_dir/verify.log" 2>&1 ||
                signed="$signed ${file#"$sign_dir/"} ($(grep -v '^$' "$sign_dir/verify.log" | tail -n 1));"
        done
    else
        signed="the signed build failed: $(tail -n 2 "$sign_dir/build.log" | tr '\n' ' ')"
    fi
else
    signed="openssl could not make the certificate: $(tail -n 2 "$sign_dir/openssl.log" | tr '\n' ' ')"
fi
check SignsTheExesAndThePackageWithAGivenCertificate "not verified:$signed" [ -z "$signed" ]

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

# The installed exes as software distribution and AppLocker read them: a
# version resource with the version of the file VERSION (and the package's
# File table says the same), run as invoker (no VirtualStore for the 32-bit
# exe), and as first icon the picture in 16, 32, 48 and 256 pixels, the
# windows' own icon Symbol_ZAV left one 32 x 32 image in 16 colours.
resources=$(/usr/bin/python3 - "$root/VERSION" "$installed" "$(msiinfo export "$msi" File | tr -d '\r')" <<'PY'
import os, re, subprocess, sys, tempfile
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(sys.argv[1])), "tools"))
import version_resource

version = open(sys.argv[1], encoding="ascii").readline().strip()
major, minor = version.split(".")
four = f"{int(major)}.{int(minor)}.0.0"
table = {row.split("\t")[0]: row.split("\t") for row in sys.argv[3].splitlines()[3:]}
wrong = []
for exe in ("zavkonfig.exe", "zavctl.exe"):
    path = os.path.join(sys.argv[2], exe)
    found = version_resource.read(path)
    strings = found.get("strings", {})
    said = (found.get("file_version"), found.get("product_version"), strings.get("FileVersion"),
            strings.get("ProductVersion"), strings.get("OriginalFilename"), strings.get("CompanyName"))
    if said != (four, four, version, version, exe, "zavkonfig-Projekt"):
        wrong.append(f"{exe}'s version resource says {said}")
    if table.get(exe, [""] * 5)[4] != four:
        wrong.append(f"the File table gives {exe} the version {table.get(exe, [''] * 5)[4]!r}")
    manifest = subprocess.run(["wrestool", "-x", "--raw", "-t", "24", path], capture_output=True).stdout
    if not re.search(rb'requestedExecutionLevel\s+level="asInvoker"', manifest):
        wrong.append(f"{exe}'s manifest asks for no asInvoker")

def icon_sizes(path, name):
    # icotool reads a PNG image (the 256-pixel one) only from a file.
    with tempfile.NamedTemporaryFile(suffix=".ico") as ico:
        subprocess.run(["wrestool", "-x", "-t", "14", "-n", name, path], stdout=ico)
        listed = subprocess.run(["icotool", "-l", ico.name], capture_output=True).stdout.decode()
    return sorted((int(w), int(d)) for w, d in re.findall(r"--width=(\d+) .*--bit-depth=(\d+)", listed))

program = os.path.join(sys.argv[2], "zavkonfig.exe")
groups = re.findall(r"--name='?([^' ]+)", subprocess.run(["wrestool", "-l", "-t", "14", program],
                                                          capture_output=True, text=True).stdout)
if groups[:1] != ["PROGRAMM"]:
    wrong.append(f"the exe's first icon is {groups[:1]}")
if [width for width, _ in icon_sizes(program, "PROGRAMM")] != [16, 32, 48, 256]:
    wrong.append(f"the first icon's images: {icon_sizes(program, 'PROGRAMM')}")
if icon_sizes(program, "SYMBOL_ZAV") != [(32, 4)]:
    wrong.append(f"Symbol_ZAV's images: {icon_sizes(program, 'SYMBOL_ZAV')}")
print("; ".join(wrong))
PY
)
check TheExesCarryTheVersionRunAsInvokerAndShowTheirIcon "$resources" [ -z "$resources" ]

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
# Wine's services reset com1 to /dev/ttyS0 whenever a wineserver starts
# (each msiexec above ended one) unless HKLM\Software\Wine\Ports\COM1 names
# the port too: zav_map_com1 sets both, the link and the key.
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

# The same version again: what is missing comes back. (msiexec /fa, the
# repair as the guide also names it, ends with 1605 in Wine 8, with the
# package's path or without; /i of the same package is what Wine and
# Windows both do.) Windows reinstalls
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

# ---- The administrator's folder ---------------------------------------------------

# The values of the product's entry in Programs and Features ($1: product
# code), one "name=value" a line. Wine keeps an x86 package's entry in the
# 32-bit view of a 64-bit Windows, which its 32-bit reg ($2: wine) reads.
uninstall_entry() {
    "${2:-$wine}" reg query "HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\\$1" 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p'
}

# The version before installed into a folder of the administrator's
# choice; this version, given no folder, follows it there, and names it
# in Programs and Features with the guide as help and the project's
# contact.
custom='C:\Tools\ZAV'
custom_unix="$drive/Tools/ZAV"
if msiexec custom-older.log /i "$(zav_windows_path "$standin")" "INSTALLDIR=$custom" &&
    msiexec custom.log /i "$(zav_windows_path "$msi")"; then
    entry=$(uninstall_entry "$product_code")
    kept=""
    [ -f "$custom_unix/zavkonfig.exe" ] && [ -f "$custom_unix/Beispiele/$added_example" ] ||
        kept="$kept the program is not in $custom;"
    [ ! -e "$installed/zavkonfig.exe" ] || kept="$kept it is in Program Files too;"
    for value in "InstallLocation=$custom\\" "HelpLink=$custom\\Benutzerhandbuch.html" \
        "Contact=zavkonfig-Projekt <zavkonfig@example.invalid>"; do
        grep -qxF "$value" <<<"$entry" || kept="$kept the entry lacks $value;"
    done
    msiexec custom-uninstall.log /x "$(zav_windows_path "$msi")" ||
        kept="$kept msiexec /x failed (log: $work/custom-uninstall.log);"
    check KeepsTheAdministratorsFolderForTheNextVersion "$kept entry: $(tr '\n' ' ' <<<"$entry" | head -c 600)" [ -z "$kept" ]
else
    fail KeepsTheAdministratorsFolderForTheNextVersion "msiexec /i failed (logs: $work/custom-older.log, $work/custom.log)"
fi

# ---- Both word sizes on one 64-bit Windows ----------------------------------------

# The x86 package installed, the x64 one of the same version is refused
# with a message that says why, and the x86 one stays whole: its files,
# its Start menu entries, its entry in Programs and Features. (A newer
# version of either would replace the other.) The product is removed
# above, so Wine's habit of deleting the upgrade code's whole registration
# when one of two products that share it goes cannot hide the x86 one.
if [ -n "$other_msi" ]; then
    other_code=$(property "$other_msi" ProductCode)
    other_files="$drive/Program Files (x86)/ZAV-Konfiguration"
    if msiexec other-word-size.log /i "$(zav_windows_path "$other_msi")"; then
        msiexec both-word-sizes.log /i "$(zav_windows_path "$msi")"
        status=$?
        side=""
        [ $status != 0 ] || side="$side the second word size installed;"
        # A launch condition refused it (Wine ends the action with 0 and
        # writes no message into the log, Windows 3 with the message; Wine
        # cuts msiexec's 1603 to 67).
        grep -a -q -E "LaunchConditions\. Return value [03]\." "$work/both-word-sizes.log" ||
            side="$side the log shows no launch condition failing;"
        [ -f "$other_files/zavkonfig.exe" ] || side="$side the 32-bit program is gone;"
        left_shortcuts=$(ls "$menu" 2>/dev/null | tr '\n' ' ')
        [ "$left_shortcuts" = "Benutzerhandbuch.lnk Eingabeaufforderung für zavctl.lnk ZAV-Konfiguration.lnk " ] ||
            side="$side the Start menu holds: ${left_shortcuts:-nothing};"
        uninstall_entry "$other_code" wine | grep -qx "DisplayName=ZAV-Konfiguration" ||
            side="$side the 32-bit entry in Programs and Features is gone;"
        msiexec other-uninstall.log /x "$(zav_windows_path "$other_msi")" ||
            side="$side the x86 package did not uninstall (log: $work/other-uninstall.log);"
        check RefusesTheSecondWordSizeAndKeepsTheFirst "$side (exit $status, log $work/both-word-sizes.log)" [ -z "$side" ]
    else
        fail RefusesTheSecondWordSizeAndKeepsTheFirst "the x86 package did not install (log: $work/other-word-size.log)"
    fi
fi

failed=$(awk -F'\t' '$2 != ""' "$cases" | wc -l)
[ "$failed" = 0 ] && [ "$gui_status" = 0 ]

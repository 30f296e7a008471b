#!/usr/bin/python3
"""Builds the Windows Installer package of one architecture from
msi/zavkonfig.wxs with wixl (Debian's msitools), reproducibly.

Usage: build_msi.py --arch x64|x86 --build DIR --output FILE.msi
                    [--version V] [--work DIR]

--build is the windows (x64) or windows32 (x86) preset's build folder with
zavkonfig.exe, zavctl.exe and res/zavkonfig.ico; --version defaults to the
program's (the file VERSION): another one makes a stand-in of another
version for the tests. Run from anywhere; the repository is this file's
parent.

With a code-signing certificate in the environment (tools/authenticode.py:
ZAV_SIGN_PKCS12 and its password), the staged exes are signed before they
go into the package, and the package itself last of all.

The same sources and exes give the same bytes. Time stamps come from
SOURCE_DATE_EPOCH (else the last commit's time): the files' times in the
cabinet, the exes' PE time stamps (written by strip), and the package's
creation and save times, which wixl takes from the clock and so runs under
faketime. The product code is fixed per version and architecture; the
package code (the summary's revision number), which wixl would draw at
random, is made from the version, the architecture and every byte that
goes into the package, and set with msibuild. Signed packages are the
exception: a signature holds its time and a key that no other builder has.

What wixl 0.101 leaves wrong is mended with msibuild: the exes' versions in
the File table (wixl leaves every file unversioned, so software
distribution and a repair would see no version), an upgrade search's
inclusive maximum, and the database's code page (wixl says 0, neutral, but
writes Windows-1252). Its summary texts it
writes as UTF-8 under a summary code page of 1252: they must stay ASCII,
which the build checks.
"""
import argparse, hashlib, os, re, shutil, subprocess, sys, time, uuid

import olefile

import authenticode
import version_resource

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = os.path.join(ROOT, "msi", "zavkonfig.wxs")
# What the summary's template says: the platform, and German (1031).
PLATFORM = {"x64": ("x64", "x86_64-w64-mingw32-strip"), "x86": ("Intel", "i686-w64-mingw32-strip")}
# The package's Program Files folder (msi/zavkonfig.wxs).
PROGRAM_FILES = {"x64": "ProgramFiles64Folder", "x86": "ProgramFilesFolder"}
# The exes, versioned files for Windows Installer: their File Ids.
EXES = ("zavkonfig.exe", "zavctl.exe")
EXAMPLE_PATTERNS = (".zcf", ".toml", ".csv")


def fail(message):
    raise SystemExit(f"build_msi: {message}")


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        fail(f"{' '.join(command)} failed (exit {result.returncode}): {result.stderr.strip()}")
    return result.stdout


def source_date_epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if not value:
        value = run(["git", "-C", ROOT, "log", "-1", "--format=%ct"]).strip()
    return int(value)


def program_version():
    with open(os.path.join(ROOT, "VERSION"), encoding="ascii") as source:
        return source.readline().strip()


def upgrade_code():
    text = open(SOURCE, encoding="utf-8").read()
    return uuid.UUID(re.search(r'UpgradeCode="([0-9A-Fa-f-]{36})"', text).group(1))


def crlf(data):
    # Notepad before Windows 10 shows a text with bare LFs as one line.
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def web_page_name():
    """The page's file: named by the program's version, also in a stand-in
    of another version, which installs the same page."""
    return f"zavkonfig-web-{program_version()}.html"


def stage_files(stage, build, arch, epoch):
    """Copies what the package installs into stage/, returns the example names."""
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(os.path.join(stage, "Beispiele"))
    strip = PLATFORM[arch][1]
    for exe in ("zavkonfig.exe", "zavctl.exe"):
        source = os.path.join(build, exe)
        if not os.path.isfile(source):
            fail(f"missing {source} (build the preset first)")
        # strip writes SOURCE_DATE_EPOCH as the PE time stamp.
        run([strip, "-o", os.path.join(stage, exe), source], env={**os.environ, "SOURCE_DATE_EPOCH": str(epoch)})
        # An exe is signed before the package is built around it: a
        # signature made later would not be in the package.
        if authenticode.configured():
            authenticode.sign(os.path.join(stage, exe))
    shutil.copyfile(os.path.join(build, "res", "zavkonfig.ico"), os.path.join(stage, "zavkonfig.ico"))
    run(["/usr/bin/python3", os.path.join(ROOT, "tools", "render_guide.py"),
         os.path.join(ROOT, "docs", "Benutzerhandbuch.md"), os.path.join(stage, "Benutzerhandbuch.html")])
    texts = {"docs/Textformat.md": "Textformat.md", "docs/JSON.md": "JSON.md", "LICENSE": "LICENSE.txt",
             "msi/zavctl-Konsole.cmd": "zavctl-Konsole.cmd"}
    for source, name in texts.items():
        with open(os.path.join(ROOT, source), "rb") as text:
            data = crlf(text.read())
        with open(os.path.join(stage, name), "wb") as out:
            out.write(data)
    # The page in the browser, built by the web preset beside the exes' build.
    page = os.path.join(os.path.dirname(os.path.abspath(build)), "web", web_page_name())
    if not os.path.isfile(page):
        fail(f"missing {page} (build the preset web first)")
    shutil.copyfile(page, os.path.join(stage, web_page_name()))
    examples = sorted(f for f in os.listdir(os.path.join(ROOT, "examples")) if f.endswith(EXAMPLE_PATTERNS))
    for name in examples:
        shutil.copyfile(os.path.join(ROOT, "examples", name), os.path.join(stage, "Beispiele", name))
    return examples


def example_component(name, arch, upgrade):
    """An example's component id and GUID, from its installed path alone.
    wixl's Guid="*" would derive the GUID from the component's id, and ids
    numbered in order shift when an example is added: the same file would
    get another GUID in the next version. The id is the file name as an
    identifier; the GUID a name based UUID of the path below Program Files
    (its folder named as in the package, which differs by word size)."""
    ident = "Example_" + re.sub(r"[^A-Za-z0-9_.]", "_", name)
    if len(ident) > 72:
        fail(f"the example name {name} is too long for an installer id (at most 64 characters)")
    path = f"[{PROGRAM_FILES[arch]}]ZAV-Konfiguration\\Beispiele\\{name}".lower()
    return ident, str(uuid.uuid5(upgrade, path)).upper()


def write_examples_fragment(path, examples, arch, upgrade):
    """The fragment that installs every example: one component each. It
    names no folder of this machine, so that it is the same in every
    build."""
    win64 = "yes" if arch == "x64" else "no"
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             "<!-- Written by tools/build_msi.py: the files of examples/. -->",
             '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">', "  <Fragment>",
             '    <DirectoryRef Id="ExamplesDir">']
    ids = []
    for name in examples:
        ident, guid = example_component(name, arch, upgrade)
        if ident in ids:
            fail(f"two examples give the installer id {ident}: rename one")
        ids.append(ident)
        lines += [f'      <Component Id="{ident}" Guid="{guid}" Win64="{win64}">',
                  f'        <File Id="{ident}" Name="{name}" Source="$(var.Stage)/Beispiele/{name}" KeyPath="yes"/>',
                  "      </Component>"]
    lines += ["    </DirectoryRef>", '    <ComponentGroup Id="Examples">']
    lines += [f'      <ComponentRef Id="{i}"/>' for i in ids]
    lines += ["    </ComponentGroup>", "  </Fragment>", "</Wix>", ""]
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


def content_digest(paths, stage, version, arch):
    """Every byte that goes into the package, with the names and the wixl
    that builds it: the package code follows from it."""
    digest = hashlib.sha256()
    digest.update(f"{version}\0{arch}\0{run(['wixl', '--version']).strip()}\0".encode())
    for path in paths:
        digest.update(open(path, "rb").read())
    for folder, _, files in sorted(os.walk(stage)):
        for name in sorted(files):
            path = os.path.join(folder, name)
            digest.update(os.path.relpath(path, stage).encode() + b"\0")
            digest.update(hashlib.sha256(open(path, "rb").read()).digest())
    return digest.hexdigest()


def mend_tables(package, stage, work, version, upgrade, faketime, env):
    """The exes' versions and languages into the File table, from their
    version resources; a versioned file has no row in MsiFileHash. The
    search for the other word size. And the database's code page: 1252, in
    which wixl wrote its strings."""
    queries = []
    for exe in EXES:
        found = version_resource.read(os.path.join(stage, exe))
        if not found:
            fail(f"{exe} has no version resource")
        queries.append(f"UPDATE `File` SET `Version` = '{found['file_version']}', "
                       f"`Language` = '{found['language']}' WHERE `File` = '{exe}'")
        queries.append(f"DELETE FROM `MsiFileHash` WHERE `File_` = '{exe}'")
    # The search for the other word size of this version includes its
    # maximum, which wixl 0.101 drops (IncludeMaximum): without it the
    # search would find nothing. 770: only detect, minimum and maximum
    # inclusive.
    # (Attributes is part of the table's key: the row is replaced.)
    search = "FROM `Upgrade` WHERE `ActionProperty` = 'OTHERWORDSIZEINSTALLED'"
    queries += [f"DELETE {search}",
                "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) "
                f"VALUES ('{{{str(upgrade).upper()}}}', '{version}', '{version}', 770, 'OTHERWORDSIZEINSTALLED')"]
    for query in queries:
        run(faketime + ["msibuild", package, "-q", query], env=env)
    codepage = os.path.join(work, "_ForceCodepage.idt")
    with open(codepage, "w", encoding="ascii", newline="\r\n") as table:
        table.write("\n\n1252\t_ForceCodepage\n")
    run(faketime + ["msibuild", package, "-i", codepage], env=env)


def check_summary_texts(package):
    """wixl writes the summary's texts as UTF-8 under the summary's code
    page 1252: Explorer would show "für" as "fÃ¼r". Only ASCII is the same
    in both."""
    with olefile.OleFileIO(package) as ole:
        summary = ole.get_metadata()
    for field in summary.SUMMARY_ATTRIBS:
        value = getattr(summary, field)
        if isinstance(value, bytes) and any(byte > 0x7F for byte in value):
            fail(f"the summary's {field} is not ASCII ({value!r}): write it without umlauts (msi/zavkonfig.wxs)")


def main():
    parser = argparse.ArgumentParser(description="Builds the MSI of one architecture.")
    parser.add_argument("--arch", choices=sorted(PLATFORM), required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--version", default=None)
    parser.add_argument("--work", default=None)
    args = parser.parse_args()

    version = args.version or program_version()
    epoch = source_date_epoch()
    build = os.path.abspath(args.build)
    output = os.path.abspath(args.output)
    work = os.path.abspath(args.work or os.path.join(ROOT, "build", "msi", f"{version}-{args.arch}"))
    stage = os.path.join(work, "files")
    os.makedirs(work, exist_ok=True)

    upgrade = upgrade_code()
    try:
        examples = stage_files(stage, build, args.arch, epoch)
    except authenticode.SigningError as error:
        fail(str(error))
    fragment = os.path.join(work, "examples.wxs")
    write_examples_fragment(fragment, examples, args.arch, upgrade)
    # The cabinet keeps each file's modification time.
    for folder, _, files in os.walk(stage):
        for name in files:
            os.utime(os.path.join(folder, name), (epoch, epoch))

    product_code = uuid.uuid5(upgrade, f"ZAV-Konfiguration {version} {args.arch}")
    package_code = uuid.uuid5(upgrade, content_digest([SOURCE, fragment], stage, version, args.arch))

    # wixl finds the files relative to the folder it runs in (Stage is
    # "files" in work/). The clock stands still at SOURCE_DATE_EPOCH (UTC):
    # wixl writes it as the package's creation and save time.
    clock = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(epoch))
    frozen = {**os.environ, "TZ": "UTC"}
    faketime = ["faketime", "-f", clock]
    partial = output + ".part"
    if os.path.exists(partial):
        os.remove(partial)
    run(faketime + ["wixl", "--arch", args.arch, "-D", f"Arch={args.arch}", "-D", f"Version={version}",
                    "-D", f"ProductCode={str(product_code).upper()}", "-D", f"Stage={os.path.basename(stage)}", "-D", f"WebPage={web_page_name()}",
                    "-o", partial, SOURCE, fragment], env=frozen, cwd=work)
    bits = "64" if args.arch == "x64" else "32"
    run(faketime + ["msibuild", partial, "-s", f"ZAV-Konfiguration {version} ({bits} Bit)", "zavkonfig-Projekt",
                    f"{PLATFORM[args.arch][0]};1031", "{" + str(package_code).upper() + "}"], env=frozen)
    mend_tables(partial, stage, work, version, upgrade, faketime, frozen)
    check_summary_texts(partial)
    if authenticode.configured():
        try:
            authenticode.sign(partial)
        except authenticode.SigningError as error:
            fail(str(error))
    os.replace(partial, output)


if __name__ == "__main__":
    main()

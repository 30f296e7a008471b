# Shared steps of tools/test, tools/run, tools/package and tools/screenshots:
# install what is missing, build the presets. Source this file from the
# repository root.

# The 32-bit program runs under the 32-bit Wine (wine32:i386) beside the
# 64-bit one; fonts-wine brings the font of the caption buttons, which
# --no-install-recommends would leave out; python3-markdown renders the user
# guide for the release. zavctl parses its command line with CLI11, writes
# JSON with nlohmann/json and reads configuration texts (TOML) with toml++
# (all three header-only); its tests against the virtual device run under
# pytest.
ZAV_PACKAGES="cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32
mingw-w64-tools wine wine64 wine32:i386 fonts-wine xvfb xauth imagemagick python3 python3-markdown
clang-14 libclang-rt-14-dev libcli11-dev nlohmann-json3-dev libtomlplusplus-dev python3-pytest"
# The Debian package is built with debhelper; help2man writes its man pages
# in German (with a locale made from the package locales), lintian checks
# the package, and its test asks man-db's man where a page is.
ZAV_PACKAGES="$ZAV_PACKAGES debhelper help2man locales lintian man-db"
# The Windows Installer packages are built with wixl (msitools also brings
# msiinfo and msibuild, which the build and the test use); faketime gives
# wixl, which takes the package's time stamps from the clock, the time of
# SOURCE_DATE_EPOCH.
ZAV_PACKAGES="$ZAV_PACKAGES wixl msitools faketime"
# The build reads the exes' version resources with pefile and the packages'
# summaries with olefile; osslsigncode signs exes and packages with
# Authenticode when a certificate is given (tools/authenticode.py); the
# MSI test makes its throw-away certificate with openssl and reads the exes'
# icons with icoutils' wrestool and icotool.
ZAV_PACKAGES="$ZAV_PACKAGES python3-pefile python3-olefile osslsigncode openssl icoutils"
# zavctl's handover sheets are tested as a technician prints them: headless
# Chromium prints the page to PDF, and poppler's pdftotext and pdfinfo read
# what is on each page and how many pages there are.
ZAV_PACKAGES="$ZAV_PACKAGES chromium poppler-utils"
# The page in the browser: Debian's emscripten compiles the core to
# WebAssembly (node runs its optimiser and the module's own test), and its
# tests drive Debian's Chromium through chromium-driver and selenium.
ZAV_PACKAGES="$ZAV_PACKAGES emscripten nodejs chromium-driver python3-selenium"

# Installs the Debian packages that are not installed yet: those named, or
# else ZAV_PACKAGES; nothing (and no network) when all are there. A package
# of another architecture (wine32:i386) first needs that architecture in
# dpkg's list.
zav_install_missing() {
    local wanted=${*:-$ZAV_PACKAGES} missing="" package architecture
    for package in $wanted; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $package"
        fi
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing" >&2
    echo "(the first time this downloads about 600 MB and takes several minutes)" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    for package in $missing; do
        case "$package" in
            *:*)
                architecture=${package#*:}
                if ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
                    $sudo dpkg --add-architecture "$architecture" || return 1
                fi
                ;;
        esac
    done
    # Another apt on this machine (another checkout's tools/test) may hold
    # dpkg's lock for a while: wait for it rather than fail.
    $sudo apt-get update -q -o DPkg::Lock::Timeout=600 >&2 || return 1
    # shellcheck disable=SC2086
    $sudo apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends $missing >&2
}

# What building zavctl's Debian package for another architecture $1 (arm64,
# say) needs here: Debian's cross-compilers, and that architecture's C++
# runtime, against which dpkg-shlibdeps finds zavctl's dependencies.
zav_cross_packages() {
    echo "crossbuild-essential-$1 libstdc++6:$1"
}

# Configures and builds one preset (native, windows or windows32); extra
# arguments go to the build (for example --target zavsim).
zav_build_preset() {
    local preset="$1"
    shift
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" "$@"
}

# The program's version, from its one source, the file VERSION (2.30).
zav_version() {
    head -n 1 VERSION
}

# The Debian packages' version (2.30+1), from debian/changelog: a native
# package, made here: the program's version and, after the "+", the
# packages' own count.
zav_deb_version() {
    dpkg-parsechangelog -l debian/changelog -S Version
}

# Copies the repository's files as they are in the working tree into the
# new folder $1: what a fresh clone would hold, changes not yet committed
# included, untracked and ignored files (build/, dist/) left out. The
# Debian packages are built from such a copy, as from a clean clone.
zav_export_tree() {
    local snapshot
    # A commit of the working tree's changes that changes nothing else (no
    # stash entry, no file touched); empty when there are none.
    snapshot=$(git stash create) || return 1
    mkdir -p "$1" && git archive --format=tar "${snapshot:-HEAD}" | tar -x -C "$1"
}

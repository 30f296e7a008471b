# Shared steps of tools/test and tools/run: install what is missing, build
# the presets. Source this file from the repository root.

ZAV_PACKAGES="cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix mingw-w64-tools
wine wine64 xvfb xauth imagemagick python3"

# Installs the Debian packages that are not installed yet; nothing (and no
# network) when all are there.
zav_install_missing() {
    local missing="" package
    for package in $ZAV_PACKAGES; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $package"
        fi
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q >&2 || return 1
    # shellcheck disable=SC2086
    $sudo apt-get install -y -q --no-install-recommends $missing >&2
}

# Configures and builds one preset (native or windows); extra arguments go to
# the build (for example --target zavsim).
zav_build_preset() {
    local preset="$1"
    shift
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" "$@"
}

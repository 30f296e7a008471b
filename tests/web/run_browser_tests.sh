#!/usr/bin/env bash
# The page in Debian's headless Chromium against the virtual device, over
# the browser's real Web Serial path: in a private mount namespace the
# virtual device's pseudo-terminal is bound onto /dev/ttyS0 (Chromium lists
# real serial ports only) and a policy folder onto /etc/chromium, which
# allows the test's address every port (SerialAllowAllPortsForUrls), so
# that getPorts() gives the page its port without a chooser. Nothing
# outside the namespace changes.
#
#   tests/web/run_browser_tests.sh --page build/web/zavkonfig-web-2.30.html \
#       --native-build build/native --xml REPORT [--screenshots DIR] [PYTEST ARGS]
#
# It fails, saying why, when it cannot make that setting: not root, no
# unshare, no /dev/ttyS0. It never skips.
set -u
cd "$(dirname "$0")/../.."
root=$(pwd)

page="" native_build="build/native" xml="" screenshots="build/web-screenshots"
while [ $# -gt 0 ]; do
    case "$1" in
        --page) page="$2"; shift 2 ;;
        --native-build) native_build="$2"; shift 2 ;;
        --xml) xml="$2"; shift 2 ;;
        --screenshots) screenshots="$2"; shift 2 ;;
        -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
        *) break ;;
    esac
done

fail() { echo "run_browser_tests: $*" >&2; exit 1; }
[ -n "$page" ] && [ -s "$page" ] || fail "no page: --page build/web/zavkonfig-web-VERSION.html (cmake --build --preset web)"
[ -x "$native_build/sim/zavsim" ] || fail "no virtual device: $native_build/sim/zavsim (cmake --build --preset native)"
[ "$(id -u)" = 0 ] || fail "the port and the browser policy are bound in a mount namespace of their own: run as root"
command -v unshare >/dev/null || fail "unshare (util-linux) is missing"
[ -c /dev/ttyS0 ] || fail "/dev/ttyS0 is missing or no character device: Chromium offers only real serial ports, and the virtual device's terminal is bound onto it"
[ -d /etc/chromium ] || fail "/etc/chromium is missing: is Debian's chromium installed?"
[ -x /usr/bin/chromedriver ] || fail "/usr/bin/chromedriver is missing: apt-get install chromium-driver"
unshare -m --propagation private true 2>/dev/null ||
    fail "unshare -m does not work here (no private mount namespace): the port cannot be bound without changing the machine"

mkdir -p "$screenshots"
export ZAV_WEB_PAGE=$(realpath "$page") ZAV_WEB_NATIVE=$(realpath "$native_build")
export ZAV_WEB_SCREENSHOTS=$(realpath "$screenshots") ZAV_WEB_NAMESPACE=1
args=(-q -p no:cacheprovider)
[ -n "$xml" ] && args+=(--junitxml="$xml")
exec unshare -m --propagation private -- /usr/bin/python3 -m pytest "${args[@]}" tests/web/browser "$@"

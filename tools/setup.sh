#!/usr/bin/env bash
# Installs what the project needs when it is missing (Debian 12, as root or with sudo). Every
# package any script of the project uses is named here, once, by what needs it:
#
#   tools/setup.sh [GROUP...]     no group: build
#
# Packages are installed without the ones they only recommend, so each group names all it uses.
set -euo pipefail

declare -A groups=(
    # The Linux program and its unit tests; Liberation Sans has the metrics of the font the
    # windows were laid out for.
    [build]="g++ cmake make pkg-config libsqlite3-dev libfltk1.3-dev libx11-dev libhivex-dev
            fonts-liberation"
    # The rest of ./test: fixtures built with mingw-w64, window tests under Xvfb driven by real
    # X input, screenshots compared and looked at, hives checked with the standard tools
    # (hivexregedit), hives read by independent readers (reglookup, chntpw's reged), a hive's
    # header edited (python3), another user and a read-only mount (setpriv, unshare:
    # util-linux).
    [test]="libgtest-dev mingw-w64 xvfb xauth x11-utils xdotool imagemagick libxtst-dev
            libwin-hivex-perl libhivex-bin reglookup chntpw python3 util-linux"
    # The fuzz targets and the sanitizer build.
    [fuzz]="clang libclang-rt-14-dev"
    # Wine where 32-bit programs run (the i386 architecture is added first) ...
    [wine32]="wine wine32:i386"
    # ... and where they cannot: the 64-bit loader alone.
    [wine64]="wine wine64"
    # tools/bench.sh (its build includes the test tools) and tools/screenshots.sh.
    [bench]="python3 time sqlite3 xvfb xauth x11-utils xdotool imagemagick libgtest-dev libxdamage-dev"
)

(($# > 0)) || set -- build
wanted=()
for group in "$@"; do
    [[ -n "${groups[$group]:-}" ]] || { echo "setup.sh: no group \"$group\"" >&2; exit 2; }
    # shellcheck disable=SC2206
    wanted+=(${groups[$group]})
done

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0

for p in "${missing[@]}"; do
    if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        break
    fi
done
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null

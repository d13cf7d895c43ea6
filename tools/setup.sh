#!/usr/bin/env bash
# Installs what the project needs when it is missing (Debian 12 or 13, as root or with sudo).
# Every package any script of the project uses is named here, once, by what needs it:
#
#   tools/setup.sh [GROUP...]     no group: build
#
# Packages are installed without the ones they only recommend, so each group names all it uses.
# A package source that cannot be read (a mirror in the middle of a sync, a dead source in the
# machine's list) does not stop setup: the update is tried again a few times, then setup goes on
# with what the other sources give and says which source failed. Setup fails only where a package
# cannot be installed, and names it (exit status 1).
set -euo pipefail

os_release=${CALVENOR_OS_RELEASE:-/etc/os-release}
release=$(. "$os_release" && echo "${VERSION_CODENAME:-}")

# Names that differ between releases: clang's runtime libraries carry clang's major version.
case $release in
    bookworm) clang_rt=libclang-rt-14-dev ;;
    trixie) clang_rt=libclang-rt-19-dev ;;
    *) clang_rt="" ;;  # found from the clang package once the package lists are read
esac
# FLTK 1.3 on Debian 12, 1.4 from Debian 13 on. FLTK 1.4 runs on Wayland too: its windows'
# title bars there come from a libdecor plugin, and the Wayland test runs the program under
# weston.
if [[ $release == bookworm ]]; then
    fltk=libfltk1.3-dev
    wayland=
else
    fltk="libfltk1.4-dev libdecor-0-plugin-1-cairo"
    wayland=weston
fi

declare -A groups=(
    # The Linux program and its unit tests; Liberation Sans has the metrics of the font the
    # windows were laid out for.
    [build]="g++ cmake make pkg-config libsqlite3-dev $fltk libx11-dev libhivex-dev
            fonts-liberation"
    # The rest of ./test: fixtures built with mingw-w64, window tests under Xvfb driven by real
    # X input, screenshots compared and looked at, hives checked with the standard tools
    # (hivexregedit, reglookup, chntpw's reged), a hive's header edited (python3), another user
    # and a read-only mount (setpriv, unshare: util-linux), faults injected into the program
    # (strace) and an NTFS volume to run it on (ntfs-3g).
    [test]="libgtest-dev mingw-w64 xvfb xauth x11-utils xdotool imagemagick libxtst-dev
            libwin-hivex-perl libhivex-bin python3 util-linux strace reglookup chntpw ntfs-3g
            $wayland"
    # The fuzz targets and the sanitizer build.
    [fuzz]="clang @clang-rt"
    # Wine where 32-bit programs run (the i386 architecture is added first) ...
    [wine32]="wine wine32:i386"
    # ... and where they cannot: the 64-bit loader alone.
    [wine64]="wine wine64"
    # tools/bench.sh (its build includes the test tools) and tools/screenshots.sh.
    [bench]="python3 time sqlite3 xvfb xauth x11-utils xdotool imagemagick libgtest-dev libxdamage-dev"
    # tools/release.sh: the icon's PNG files (zlib), the Windows program, the packages.
    [release]="zlib1g-dev mingw-w64 dpkg-dev zip"
    # tools/test-release.sh: the packages' checks, and fresh Debian roots to install them in.
    [release-test]="lintian desktop-file-utils appstream man-db bash-completion file mmdebstrap zstd
                   unzip"
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
apt() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o Acquire::Retries=3 "$@"; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# The runtime that goes with the clang this release installs.
clang_runtime() {
    [[ -z $clang_rt ]] || { echo "$clang_rt"; return; }
    local version
    version=$(apt-cache depends clang 2>/dev/null | sed -n 's/.*Depends: clang-\([0-9]\+\)$/\1/p' |
        head -n 1)
    echo "libclang-rt-${version:-unknown}-dev"
}

missing() {
    local p
    for p in "${wanted[@]}"; do
        [[ $p != @clang-rt ]] || p=$(clang_runtime)
        installed "$p" || echo "$p"
    done
}

# Reads the package lists, up to three times. A source that still fails is named and left out:
# apt keeps the lists of every source that could be read.
update() {
    local log attempt
    log=$(mktemp)
    for attempt in 1 2 3; do
        if apt update -qq >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        ((attempt == 3)) || sleep $((attempt * 5))
    done
    echo "setup.sh: warning: some package sources could not be read after 3 tries; going on" \
        "with the others:" >&2
    grep -E '^(E|W|Err):' "$log" | sed 's/^/    /' >&2 || sed 's/^/    /' "$log" >&2
    rm -f "$log"
}

mapfile -t todo < <(missing)
((${#todo[@]})) || exit 0

added_i386=0
for p in "${todo[@]}"; do
    if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        added_i386=1
        break
    fi
done

echo "Installing: ${todo[*]}"
update
# A clang runtime named from the lists could only be found now that they are read.
mapfile -t todo < <(missing)
status=0
for attempt in 1 2; do
    apt install -y -qq --no-install-recommends "${todo[@]}" >/dev/null && { status=0; break; } ||
        status=$?
    # A download can fail while a mirror syncs: read the lists again and retry once.
    ((attempt == 2)) || update
done
((status != 0)) || exit 0

# Name what cannot be installed; the rest is installed without it.
cannot=()
can=()
for p in "${todo[@]}"; do
    if apt install -s -qq --no-install-recommends "$p" >/dev/null 2>&1; then
        can+=("$p")
    else
        cannot+=("$p")
    fi
done
((${#can[@]} == 0)) || apt install -y -qq --no-install-recommends "${can[@]}" >/dev/null || true
for p in "${can[@]}"; do installed "$p" || cannot+=("$p"); done
((${#cannot[@]})) || exit 0
i386_packages=$(dpkg-query -W -f='${binary:Package}\n' 2>/dev/null | grep -c ':i386$' || true)
if ((added_i386)) && ((i386_packages == 0)); then
    # Nothing of i386 came in: the architecture goes again, so that it does not make every
    # later update of this machine fail on its lists.
    $sudo dpkg --remove-architecture i386
    echo "setup.sh: the i386 architecture, added for ${cannot[*]}, was removed again" >&2
fi
echo "setup.sh: cannot install: ${cannot[*]}" >&2
exit 1

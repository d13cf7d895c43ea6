#!/usr/bin/env bash
# Installs a release's package as a user would, into fresh minimal Debian 12 and Debian 13
# roots, and checks it there: the program runs (--version, --help, a headless session on its
# seed machine), its manual page shows, and `apt-get remove` takes away everything it put in.
#
#   tools/check-install.sh DEB [SUITE...]     (suites: bookworm trixie by default)
#
# As root. Each root is made once by mmdebstrap and kept as a tarball in /var/tmp/calvenor-roots
# (made again when older than a week, so that its packages stay near the archive's); each run
# unpacks a fresh copy, whose mounts (/proc, /dev) live in a mount namespace of their own and
# end with it. The package's dependencies come from Debian's archive.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
if [[ $# -lt 1 || ! -f $1 ]]; then
    echo "usage: tools/check-install.sh DEB [SUITE...]" >&2
    exit 2
fi
deb=$(realpath "$1")
shift
(($# > 0)) || set -- bookworm trixie
[[ $(id -u) -eq 0 ]] || { echo "check-install.sh: run as root (chroot, mounts)" >&2; exit 2; }
tools/setup.sh release-test
# shellcheck source=tests/support/checks.sh
source tests/support/checks.sh

cache=/var/tmp/calvenor-roots
mkdir -p "$cache"

# The tarball of a minimal root of SUITE: apt, man-db for the manual and passwd for a user.
root_tarball() {
    local suite=$1 tarball=$cache/$1.tar.zst
    if [[ ! -f $tarball ]] || [[ -n $(find "$tarball" -mtime +7) ]]; then
        echo "== making a $suite root (mmdebstrap)" >&2
        rm -f "$cache/$suite.new.tar.zst"
        mmdebstrap --quiet --variant=apt --include=man-db,passwd "$suite" \
            "$cache/$suite.new.tar.zst" >&2 || return 1
        mv "$cache/$suite.new.tar.zst" "$tarball"
    fi
    echo "$tarball"
}

# What runs inside a root: a user's steps, and what the checks outside need to know of them as
# lines "fact KEY=VALUE".
inside() {
    cat <<'EOF'
set -u
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin
deb=$(ls /tmp/install/calvenor_*.deb)
apt-get update -qq >/dev/null || echo "fact update=failed"
# A user of their own, as the desktop would start the program for them.
useradd --create-home --shell /bin/bash ada
find / -xdev \( -path /proc -o -path /tmp -o -path /dev \) -prune -o -print | sort >/tmp/before
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^\.$' | sort >/tmp/shipped
apt-get install -y -qq "$deb" >/tmp/apt-install.log 2>&1
echo "fact install=$?"
dpkg-query -W -f='fact installed=${Status} ${Version}\n' calvenor
echo "fact version=$(calvenor --version)"
help=$(calvenor --help 2>&1)
echo "fact help=$? $(head -n 1 <<<"$help" | cut -d' ' -f1-2)"
session=$(printf 'dump frmMain\nclick frmMain.cmdOK\n' | runuser -u ada -- calvenor --headless 2>&1)
echo "fact headless=$?"
echo "fact gate=$(grep -c 'frmMain.cmdOverride button visible=0' <<<"$session")"
echo "fact driver=$(grep -o 'frmMain.txtDrvVer textbox visible=1 enabled=1 value="[^"]*"' <<<"$session")"
echo "fact store=$(runuser -u ada -- test -s /home/ada/.local/share/calvenor/machine.db && echo made)"
exported=$(runuser -u ada -- calvenor --export - 'HKLM\SYSTEM\CurrentControlSet\Services\wdm_au8830\Customization' 2>&1)
echo "fact export=$(grep -c '"ST9704ATTEN"=dword:' <<<"$exported")"
page=$(runuser -u ada -- env MANPAGER=cat MANWIDTH=80 man calvenor 2>/tmp/man-errors)
echo "fact man=$? $(grep -c 'EXIT STATUS' <<<"$page") $(wc -c </tmp/man-errors)"
echo "fact man-version=$(grep -o 'Calvenor XP [0-9.]*' <<<"$page" | tail -n 1)"
apt-get remove -y -qq calvenor >/tmp/apt-remove.log 2>&1
echo "fact remove=$?"
status=$(dpkg-query -W -f='${db:Status-Status}' calvenor 2>/dev/null)
echo "fact after=${status:-not-installed}"
# What the package put in place and was not there before: all of it gone, but folders that a
# package it pulled in also ships (on Debian 13 FLTK's dependencies bring the hicolor theme).
comm -13 /tmp/before /tmp/shipped | while read -r path; do
    [[ -e $path || -L $path ]] || continue
    dpkg -S "$path" >/dev/null 2>&1 && [[ -d $path && ! -L $path ]] && continue
    echo "fact left=$path"
done
# Nor anything else by its name, but the user's own store, which stays as any program's user
# data does.
echo "fact left-named=$(find / -xdev \( -path /proc -o -path /tmp -o -path /dev -o -path /home \) -prune -o -iname '*calvenor*' -print | tr '\n' ' ')"
echo "fact user-data=$(find /home/ada -name machine.db -printf '%P\n')"
EOF
}

# Runs the steps in ROOT with /proc and /dev mounted there. In a mount namespace of its own the
# mounts end with it; where none can be made private (this script itself run in a chroot, whose
# / is not a mount point) they are made here, /dev as a slave so that taking it down cannot
# reach the machine's own /dev, and taken down after.
run_steps() {
    local root=$1 status
    if unshare --mount --propagation private true 2>/dev/null; then
        unshare --mount --propagation private bash -c '
            mount -t proc proc "$1/proc" && mount --rbind /dev "$1/dev" &&
                chroot "$1" /bin/bash /tmp/install/steps.sh' _ "$root"
        return
    fi
    echo "(no private mount namespace here: /proc and /dev mounted in the root and taken down after)"
    trap 'unmount_root "$root"' INT TERM
    mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" &&
        mount --make-rslave "$root/dev" && chroot "$root" /bin/bash /tmp/install/steps.sh
    status=$?
    unmount_root "$root"
    trap - INT TERM
    return $status
}

unmount_root() {
    umount -R "$1/dev" 2>/dev/null
    umount "$1/proc" 2>/dev/null
}

# Deletes a root, never through a mount left in it (a /dev bound there is the machine's own).
remove_root() {
    if grep -q -F " $1/" /proc/self/mounts; then
        echo "check-install.sh: $1 still has mounts; left in place" >&2
        return 1
    fi
    rm -rf --one-file-system "$1"
}

for suite in "$@"; do
    start=$SECONDS
    tarball=$(root_tarball "$suite") || { check "$suite: a root made by mmdebstrap" made failed; continue; }
    root=$(mktemp -d /var/tmp/calvenor-root.XXXXXX)
    if ! tar -C "$root" --zstd -xf "$tarball"; then
        check "$suite: the root unpacked from $tarball" 0 1
        remove_root "$root"
        continue
    fi
    mkdir -p "$root/tmp/install"
    cp "$deb" "$root/tmp/install/"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    inside >"$root/tmp/install/steps.sh"
    facts=$(run_steps "$root" 2>&1)
    fact() { sed -n "s/^fact $1=//p" <<<"$facts"; }
    version=$(dpkg-deb -f "$deb" Version)
    check "$suite: apt-get install ./$(basename "$deb")" 0 "$(fact install)"
    [[ $(fact install) == 0 ]] || cat "$root/tmp/apt-install.log"
    check "$suite: installed" "install ok installed $version" "$(fact installed)"
    check "$suite: calvenor --version" "calvenor $version" "$(fact version)"
    check "$suite: calvenor --help" "0 usage: calvenor" "$(fact help)"
    check "$suite: --headless exit status" 0 "$(fact headless)"
    check "$suite: the seed machine passes the gate" 1 "$(fact gate)"
    check "$suite: the seed machine's driver file" \
        'frmMain.txtDrvVer textbox visible=1 enabled=1 value="5.12.1.2560"' "$(fact driver)"
    check "$suite: the user's store made" made "$(fact store)"
    check "$suite: --export of a key" 1 "$(fact export)"
    check "$suite: man calvenor, without errors" "0 1 0" "$(fact man)"
    check "$suite: the manual's version" "Calvenor XP $version" "$(fact man-version)"
    check "$suite: apt-get remove" 0 "$(fact remove)"
    check "$suite: not installed after the removal" not-installed "$(fact after)"
    check "$suite: nothing of the package left" "" "$(fact left)"
    check "$suite: no file named after it left" "" "$(fact left-named)"
    check "$suite: the user's store kept" .local/share/calvenor/machine.db "$(fact user-data)"
    if [[ $(fact update) == failed || $(fact install) != 0 ]]; then
        grep -v '^fact ' <<<"$facts" | tail -20
    fi
    remove_root "$root"
    echo "$suite: $((SECONDS - start)) s"
done
finish

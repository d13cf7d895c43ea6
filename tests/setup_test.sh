#!/usr/bin/env bash
# tools/setup.sh against stand-ins for apt-get, apt-cache, dpkg and dpkg-query that play a
# machine whose package sources fail to update, whose packages cannot all be installed, and
# whose architectures are recorded: what setup installs, retries, says and leaves behind.
#   setup_test.sh TOOLS/SETUP.SH
set -u
setup=$1
# shellcheck source=tests/support/checks.sh
source "$(dirname "$0")/support/checks.sh"

bin=$work/bin
mkdir -p "$bin"
# The machine's state: installed packages, foreign architectures, what apt cannot install, how
# many updates fail before one succeeds, and every call made.
state=$work/state

cat >"$bin/apt-get" <<'EOF'
#!/usr/bin/env bash
state=$FAKE_STATE
echo "apt-get $*" >>"$state/calls"
args=()
simulate=0
for a in "$@"; do
    case $a in
        -o) skip=1 ;;
        -s) simulate=1 ;;
        -*) ;;
        *) if [[ -n ${skip:-} ]]; then skip=; else args+=("$a"); fi ;;
    esac
done
case ${args[0]} in
    update)
        left=$(cat "$state/update_failures")
        if ((left > 0)); then
            echo $((left - 1)) >"$state/update_failures"
            echo "E: The repository 'file:/srv/missing-mirror nosuch Release' does not have a Release file."
            exit 100
        fi
        exit 0 ;;
    install)
        status=0
        for p in "${args[@]:1}"; do
            if grep -qx "$p" "$state/uninstallable"; then
                echo "E: Unable to locate package $p"
                status=100
            fi
        done
        ((status == 0 && simulate == 0)) && printf '%s\n' "${args[@]:1}" >>"$state/installed"
        exit $status ;;
esac
EOF
cat >"$bin/apt-cache" <<'EOF'
#!/usr/bin/env bash
[[ "$*" == "depends clang" ]] && printf 'clang\n  Depends: clang-21\n'
EOF
cat >"$bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
state=$FAKE_STATE
if [[ $# -eq 2 ]]; then  # -W -f=...: every installed package
    cat "$state/installed"
    exit 0
fi
grep -qx "$3" "$state/installed" && echo "install ok installed" && exit 0
exit 1
EOF
cat >"$bin/dpkg" <<'EOF'
#!/usr/bin/env bash
state=$FAKE_STATE
echo "dpkg $*" >>"$state/calls"
case $1 in
    --print-foreign-architectures) cat "$state/arch" ;;
    --add-architecture) echo "$2" >>"$state/arch" ;;
    --remove-architecture) grep -vx "$2" "$state/arch" >"$state/arch.new"; mv "$state/arch.new" "$state/arch" ;;
esac
EOF
printf '#!/bin/sh\necho "sleep $*" >>"$FAKE_STATE/calls"\n' >"$bin/sleep"
printf '#!/bin/sh\nexec "$@"\n' >"$bin/sudo"
chmod +x "$bin"/*

# [ARCH=i386] run RELEASE UPDATE_FAILURES "INSTALLED" "UNINSTALLABLE" GROUP...: a fresh machine state, then
# setup; sets out (stdout and stderr) and status.
run() {
    rm -rf "$state"
    mkdir -p "$state"
    printf 'VERSION_CODENAME=%s\n' "$1" >"$state/os-release"
    echo "$2" >"$state/update_failures"
    printf '%s\n' $3 >"$state/installed"
    printf '%s\n' $4 >"$state/uninstallable"
    printf '%s' "${ARCH:+$ARCH
}" >"$state/arch"
    : >"$state/calls"
    shift 4
    out=$(FAKE_STATE=$state CALVENOR_OS_RELEASE=$state/os-release PATH="$bin:$PATH" \
        bash "$setup" "$@" 2>&1)
    status=$?
}
calls() { grep -c "^apt-get .*$1" "$state/calls"; }
has() { grep -qx "$1" "$state/installed" && echo yes || echo no; }

# Nothing missing: apt is not called.
all="g++ cmake make pkg-config libsqlite3-dev libfltk1.3-dev libx11-dev libhivex-dev fonts-liberation"
run bookworm 0 "$all" ""
check "nothing missing: exit" 0 "$status"
check "nothing missing: no apt-get" 0 "$(grep -c apt-get "$state/calls")"

# A source that never updates: three tries, a warning naming it, and the install goes on.
run bookworm 99 "" "" build
check "dead source: exit" 0 "$status"
check "dead source: three updates" 3 "$(calls update)"
contains "dead source: named" "file:/srv/missing-mirror nosuch Release" "$out"
contains "dead source: warned" "warning: some package sources could not be read" "$out"
check "dead source: installed" yes "$(has libfltk1.3-dev)"
check "dead source: waits between tries" 2 "$(grep -c '^sleep' "$state/calls")"

# A mirror in the middle of a sync: the second update succeeds, nothing is said.
run bookworm 1 "" "" build
check "sync: exit" 0 "$status"
check "sync: two updates" 2 "$(calls update)"
check "sync: no warning" "" "$(grep warning <<<"$out")"

# A package that cannot be installed: named, exit 1, the others installed all the same.
run bookworm 0 "" "libhivex-dev" build
check "uninstallable: exit" 1 "$status"
contains "uninstallable: named" "cannot install: libhivex-dev" "$out"
check "uninstallable: others installed" yes "$(has libsqlite3-dev)"
check "uninstallable: not installed" no "$(has libhivex-dev)"

# Each release gets its own clang runtime; an unknown one asks apt which clang it has.
run bookworm 0 "" "" fuzz
check "bookworm: clang runtime" yes "$(has libclang-rt-14-dev)"
run trixie 0 "" "" fuzz
check "trixie: clang runtime" yes "$(has libclang-rt-19-dev)"
check "trixie: not bookworm's" no "$(has libclang-rt-14-dev)"
run forky 0 "" "" fuzz
check "unknown release: clang runtime from apt" yes "$(has libclang-rt-21-dev)"

# The 32-bit Wine cannot be installed (the i386 lists failed to update): the architecture setup
# added goes again, and setup fails naming the package.
run bookworm 99 "" "wine32:i386" wine32
check "wine32: exit" 1 "$status"
contains "wine32: named" "cannot install: wine32:i386" "$out"
check "wine32: architecture added" 1 "$(grep -c -- '--add-architecture i386' "$state/calls")"
check "wine32: architecture removed" "" "$(cat "$state/arch")"
check "wine32: wine itself installed" yes "$(has wine)"

# ... but an i386 architecture the machine had before setup stays.
ARCH=i386 run bookworm 0 "" "wine32:i386" wine32
check "wine32, i386 there before: exit" 1 "$status"
check "wine32, i386 there before: kept" i386 "$(cat "$state/arch")"

# Where it installs, the architecture stays and setup succeeds.
run bookworm 0 "" "" wine32
check "wine32 installs: exit" 0 "$status"
check "wine32 installs: architecture kept" i386 "$(cat "$state/arch")"

finish

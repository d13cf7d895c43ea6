#!/usr/bin/env bash
# The Windows build, tested under Wine: cross-builds CalvenorXP.exe and the test suite with
# mingw-w64 for 32-bit Windows XP, and runs the suite with ctest in a 32-bit Wine prefix set to
# Windows XP, under Xvfb for the window tests. Installs what is missing (Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-win

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in mingw-w64 cmake make xvfb xauth libgtest-dev; do
    installed "$p" || missing+=("$p")
done
# Wine's 32-bit half comes from Debian's i386 architecture.
if ! installed wine32:i386 || ! installed wine; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    missing+=(wine wine32:i386)
fi
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Everything from here on runs on a display of its own: the window tests need one, and Wine's
# desktop process, started by the first Wine process, must find it from the start.
if [[ -z "${CALVENOR_XVFB:-}" ]]; then
    export CALVENOR_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$root/tools/test-windows.sh" "$@"
fi

export WINEPREFIX=$build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$build"
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "Creating a Windows XP prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # GetVersionExA then answers 5.1, as on XP.
    winecfg -v winxp >/dev/null 2>&1
    wineserver -w
fi
# One server for the whole run (every test is a process of its own); one left over from an
# earlier run of this prefix is ended first.
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p
# The first Wine process starts the prefix's services, which stay with the server and keep the
# standard handles they were given: started here with no pipe attached, they cannot hold open
# the pipes through which the build and ctest read the tests' output.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1

# GoogleTest for mingw, from Debian's sources.
if [[ ! -f $build/gtest/lib/cmake/GTest/GTestConfig.cmake ]]; then
    cmake -S /usr/src/googletest -B "$build/gtest-build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DBUILD_GMOCK=OFF \
        -DCMAKE_INSTALL_PREFIX="$build/gtest" >/dev/null
    cmake --build "$build/gtest-build" -j"$(nproc)" >/dev/null
    cmake --install "$build/gtest-build" >/dev/null
fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCALVENOR_WERROR=ON -DCMAKE_PREFIX_PATH="$build/gtest" >/dev/null
cmake --build "$build" -j"$(nproc)"

cd "$build"
status=0
ctest --output-on-failure -j"$(nproc)" || status=$?
wineserver -k || true
exit $status

#!/usr/bin/env bash
# The Windows build, tested under Wine: cross-builds CalvenorXP.exe and the test suite with
# mingw-w64 and runs the suite with ctest in a Wine prefix set to Windows XP, under Xvfb for
# the window tests. Installs what is missing (Debian 12).
#
# Two modes, chosen by what this machine's kernel can run:
#   win32  32-bit programs run: the i686 product and its suite in a 32-bit XP prefix.
#   win64  they cannot (a kernel without IA-32 emulation): the same source built for x86_64,
#          run by 64-bit Wine in a 64-bit prefix that answers as Windows XP. The i686 product
#          is still built, and the suite checks its imports against XP's (reading the file).
# CALVENOR_WINE_MODE=win32|win64 forces a mode.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# shellcheck source=tools/wine-mode.sh
source tools/wine-mode.sh

if [[ -z "${CALVENOR_XVFB:-}" ]]; then
    tools/setup.sh build test
    if [[ $mode == win32 ]] && ! tools/setup.sh wine32; then
        # A 32-bit Wine that cannot be installed (its i386 packages missing or out of step on
        # the mirror) does not end the suite where the 64-bit one can stand in; a mode asked
        # for by name does.
        [[ -z "${CALVENOR_WINE_MODE:-}" ]] || exit 1
        use_mode win64
        why="the 32-bit Wine could not be installed (see above), though this kernel runs 32-bit programs"
        export CALVENOR_WINE_MODE=win64
    fi
    echo "Windows suite mode: $mode ($arch build under $loader), because $why"
    [[ $mode == win32 ]] || tools/setup.sh wine64
    if ! "$loader" --version >/dev/null 2>&1; then
        echo "test-windows.sh: $loader cannot run here; no Wine can run the Windows suite" >&2
        exit 1
    fi
    # Everything from here on runs on a display of its own: the window tests need one, and
    # Wine's desktop process, started by the first Wine process, must find it from the start.
    export CALVENOR_XVFB=1
    exec xvfb-run -a -s "-noreset -screen 0 1024x768x24" "$root/tools/test-windows.sh" "$@"
fi

build=$root/build-win
[[ $mode == win32 ]] || build=$root/build-win64
export CALVENOR_WINE=$loader WINELOADER=$loader
export WINEPREFIX=$build/wineprefix WINEARCH=$winearch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$build"
make_xp_prefix
# One server for the whole run (every test is a process of its own); one left over from an
# earlier run of this prefix is ended first.
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p
# The first Wine process starts the prefix's services, which stay with the server and keep the
# standard handles they were given: started here with no pipe attached, they cannot hold open
# the pipes through which the build and ctest read the tests' output.
"$wine_exec" "$loader" cmd.exe /c exit </dev/null >/dev/null 2>&1

# GoogleTest for mingw, from Debian's sources.
gtest=$root/build-win-gtest/$arch
if [[ ! -f $gtest/lib/cmake/GTest/GTestConfig.cmake ]]; then
    cmake -S /usr/src/googletest -B "$gtest-build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DBUILD_GMOCK=OFF \
        -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
    cmake --build "$gtest-build" -j"$(nproc)" >/dev/null
    cmake --install "$gtest-build" >/dev/null
fi

xp_exe=()
if [[ $mode == win64 ]]; then
    # The product itself, for XP: built, and its imports checked by the suite below.
    cmake -S . -B "$root/build-win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCALVENOR_WERROR=ON -DCALVENOR_TESTS=OFF >/dev/null
    cmake --build "$root/build-win32" -j"$(nproc)" --target CalvenorXP
    xp_exe=(-DCALVENOR_XP_EXE="$root/build-win32/CalvenorXP.exe")
fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCALVENOR_WERROR=ON -DCMAKE_PREFIX_PATH="$gtest" \
    "${xp_exe[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

cd "$build"
status=0
ctest --output-on-failure -j"$(nproc)" || status=$?
cd "$root"

# The program's main window under the X server's input (XTEST), in one Wine start: the driver
# is a Linux program of the Linux build; a helper under the same Wine server reads the windows
# and the registry. The seed machine's card keys go into the prefix first.
echo "== input: CalvenorXP.exe under the X server's mouse and keyboard"
cmake -S . -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALVENOR_WERROR=ON >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target calvenor_wine_input_tests >/dev/null
seed=$(mktemp --suffix=.reg)
awk '/^\[/ { keep = ($0 !~ /Windows NT/) } keep || /^REGEDIT4/' data/seed.reg >"$seed"
"$wine_exec" "$loader" regedit /S "Z:${seed//\//\\}" </dev/null >/dev/null 2>&1 || status=1
rm -f "$seed"
# Every window by mouse and by keyboard: 283 s (win32) and 303 s (win64) measured on a
# loaded 2-core machine.
CALVENOR_WINE=$loader CALVENOR_WINE_EXE="$build/CalvenorXP.exe" \
    CALVENOR_WINE_HELPER="$build/tests/wine_input_helper.exe" \
    timeout 600 "$root/build/tests/calvenor_wine_input_tests" || status=1
wineserver -k || true
echo "Windows suite mode: $mode ($arch build under $loader)"
exit $status

# Sourced by the scripts that run the Windows build under Wine: chooses the mode by what this
# machine's kernel can run, and sets mode, why, arch, loader and winearch.
#   win32  32-bit programs run: the i686 build in a 32-bit XP prefix.
#   win64  they cannot (a kernel without IA-32 emulation): the same source built for x86_64,
#          run by 64-bit Wine in a 64-bit prefix that answers as Windows XP.
# CALVENOR_WINE_MODE=win32|win64 forces a mode.

# Whether the kernel runs 32-bit x86 programs: a 96-byte static ELF that exits with 42.
runs_32bit() {
    local probe
    probe=$(mktemp)
    printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0'\
'\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08'\
'\x60\0\0\0\x60\0\0\0\x05\0\0\0\0\x10\0\0\xb8\x01\0\0\0\xbb\x2a\0\0\0\xcd\x80' >"$probe"
    chmod +x "$probe"
    local code=0
    "$probe" 2>/dev/null || code=$?
    rm -f "$probe"
    [[ $code -eq 42 ]]
}

if [[ -z "${CALVENOR_WINE_MODE:-}" ]]; then
    if runs_32bit; then
        mode=win32 why="this kernel runs 32-bit programs"
    else
        mode=win64 why="this kernel cannot run 32-bit programs (no IA-32 emulation)"
    fi
else
    mode=$CALVENOR_WINE_MODE why="CALVENOR_WINE_MODE"
fi
# Sets arch, loader and winearch for a mode.
use_mode() {
    mode=$1
    case $mode in
        win32) arch=i686 loader=/usr/lib/wine/wine winearch=win32 ;;
        win64) arch=x86_64 loader=/usr/lib/wine/wine64 winearch=win64 ;;
        *) echo "CALVENOR_WINE_MODE must be win32 or win64" >&2; exit 2 ;;
    esac
}
use_mode "$mode"
# Runs the loader once more where its host side died in glibc's exit code (see the script).
wine_exec=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-exec.sh

# Makes an XP prefix at WINEPREFIX unless it is there: GetVersionExA then answers 5.1 build
# 2600, as on XP.
make_xp_prefix() {
    [[ -f $WINEPREFIX/system.reg ]] && return 0
    echo "Creating a Windows XP prefix in $WINEPREFIX"
    "$wine_exec" "$loader" wineboot -i >/dev/null 2>&1
    "$wine_exec" "$loader" reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1
    wineserver -w
}

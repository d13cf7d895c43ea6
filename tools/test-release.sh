#!/usr/bin/env bash
# The release files, built by tools/release.sh into a scratch folder and checked as Debian and
# a Windows user would get them: the package by lintian (no error, no warning), its desktop
# entry, metainfo and manual page by their validators, its contents, the version everywhere
# the same, `cmake --install` into a prefix of its own, the Windows download's contents, and
# the package installed and removed in fresh Debian 12 and 13 roots (tools/check-install.sh).
# Installs what is missing (Debian 12); the roots need root (or sudo).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
tools/setup.sh build test release release-test
# shellcheck source=tests/support/checks.sh
source tests/support/checks.sh
say() { printf '== %s\n' "$*"; }

start=$SECONDS
out=$work/release
tools/release.sh "$out" || { echo "FAILED: tools/release.sh"; exit 1; }
release_seconds=$((SECONDS - start))
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release/CMakeCache.txt)
deb=$out/calvenor_${version}_amd64.deb
zip=$out/CalvenorXP-$version.zip
check "the release's files" "CalvenorXP-$version.zip SHA256SUMS calvenor_${version}_amd64.deb" \
    "$(ls "$out" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
check "SHA256SUMS" "calvenor_${version}_amd64.deb: OK CalvenorXP-$version.zip: OK" \
    "$(cd "$out" && sha256sum -c SHA256SUMS | tr '\n' ' ' | sed 's/ $//')"

say "the Debian package"
check "package version" "$version" "$(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
tree=$work/deb
dpkg-deb -x "$deb" "$tree"
# Every library the program links, by the package that holds it here (FLTK's is libfltk1.3 on
# Debian 12 and libfltk1.4 on 13), is a versioned dependency.
needed=$(objdump -p "$tree/usr/bin/calvenor" | awk '$1 == "NEEDED" { print $2 }')
contains "the program links SQLite" "libsqlite3.so.0" "$needed"
# Hives are read and written by the program's own engine; libhivex is for the tests alone.
check "the program does not link libhivex" "" "$(grep '^libhivex' <<<"$needed")"
for library in $needed; do
    package=$(dpkg -S "*/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/$library" 2>/dev/null |
        sed -n '1s/:.*//p')
    check "the package holding $library found" 1 "$([[ -n $package ]] && echo 1)"
    # Versioned where the library's package says from which version (FLTK 1.4's does not).
    name=$(sed 's/[.+]/\\&/g' <<<"$package")
    check "a dependency on $package for $library (dpkg-shlibdeps)" 1 \
        "$(tr ',' '\n' <<<"$depends" | grep -c -E "^ *$name( \(>= [^)]+\))? *$")"
done
files=$(cd "$tree" && find . -type f -printf '%P\n' | LC_ALL=C sort)
app=$(sed -n 's/^CALVENOR_APP_ID:STRING=//p' build-release/CMakeCache.txt)
for file in usr/bin/calvenor usr/share/calvenor/seed.reg usr/share/applications/$app.desktop \
    usr/share/metainfo/$app.metainfo.xml usr/share/man/man1/calvenor.1.gz \
    usr/share/bash-completion/completions/calvenor usr/share/doc/calvenor/copyright \
    usr/share/doc/calvenor/changelog.gz; do
    contains "the package holds $file" "$file" "$files"
done
for size in 16 22 24 32 48 64 128 256; do
    icon=usr/share/icons/hicolor/${size}x$size/apps/calvenor.png
    check "icon at $size pixels" "PNG image data, $size x $size, 8-bit/color RGBA, non-interlaced" \
        "$(file -b "$tree/$icon" 2>/dev/null)"
    # Decoded whole: the picture, with the transparent bands above and below it.
    check "icon at $size pixels: a picture on a transparent ground" 1 \
        "$(convert "$tree/$icon" -format '%[fx:mean.a > 0.2 && mean.a < 0.9]' info: 2>&1)"
done
check "the package's program runs: --version" "calvenor $version" "$("$tree/usr/bin/calvenor" --version)"
check "the seed machine is the tree's" "" "$(cmp "$tree/usr/share/calvenor/seed.reg" data/seed.reg)"

say "lintian"
lintian_out=$(lintian --display-info --fail-on error,warning "$deb" 2>&1)
check "lintian: no error or warning" 0 $?
printf '%s\n' "$lintian_out" | grep -v 'running with root privileges' | sed 's/^/    /'

say "the desktop entry, the metainfo and the manual page"
check "desktop-file-validate" "" "$(desktop-file-validate "$tree/usr/share/applications/$app.desktop" 2>&1)"
metainfo=$tree/usr/share/metainfo/$app.metainfo.xml
appstream=$(appstreamcli validate --no-net "$metainfo" 2>&1)
check "appstreamcli validate --no-net" 0 $?
[[ $appstream == *"Validation was successful"* ]] || printf '%s\n' "$appstream"
contains "the metainfo's release" "<release version=\"$version\"" "$(cat "$metainfo")"
page=$tree/usr/share/man/man1/calvenor.1.gz
# As lintian runs it.
check "man --warnings" "" "$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
text=$(MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
contains "the manual's version" "Calvenor XP $version" "$text"
# Every option --help names has its own entry in the manual, and is completed by bash.
options=$("$tree/usr/bin/calvenor" --help | grep -o -- '--[a-z][a-z-]*' | LC_ALL=C sort -u)
contains "options named by --help" "--store" "$options"
completed=$(bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(calvenor --); COMP_CWORD=1; COMP_LINE="calvenor --"; COMP_POINT=${#COMP_LINE}
    _calvenor; printf "%s\n" "${COMPREPLY[@]}"' _ "$tree/usr/share/bash-completion/completions/calvenor")
for option in $options; do
    contains "the manual documents $option" "       $option" "$text"
    contains "bash completes $option" "$option" "$completed"
done
for section in "HEADLESS COMMANDS" "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
    contains "the manual's section $section" "$section" "$text"
done
for example in "calvenor --windows /mnt/xp/WINDOWS" "calvenor --import back.reg" "calvenor --export card.reg"; do
    contains "the manual's example: $example" "$example" "$text"
done

say "cmake --install into a prefix of its own"
prefix=$work/prefix
cmake --install build-release --prefix "$prefix" >/dev/null
installed=$(cd "$prefix" && find . -type f -printf '%P\n' | LC_ALL=C sort)
check "the same files as the package, but Debian's documentation" \
    "$(grep -v -e '^usr/share/doc/' -e '^usr/share/man/' <<<"$files" | sed 's|^usr/||')" \
    "$(grep -v '^share/man/' <<<"$installed")"
check "the manual page" "share/man/man1/calvenor.1" "$(grep '^share/man/' <<<"$installed")"
# The program finds the seed machine of its own prefix: a key added there shows in a new store.
printf '\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Prefix check]\r\n' >>"$prefix/share/calvenor/seed.reg"
XDG_DATA_HOME=$work/xdg "$prefix/bin/calvenor" --export "$work/seeded.reg" >/dev/null
contains "the seed machine is the prefix's" "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Prefix check]" \
    "$(cat "$work/seeded.reg" 2>/dev/null)"

say "the Windows download"
check "its files" "$(printf "CalvenorXP-$version/%s\n" CalvenorXP.exe LICENSE.txt README.txt \
    licenses/GPL-3.txt licenses/gcc.txt licenses/mingw-w64.txt)" \
    "$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)"
unzip -q "$zip" -d "$work/zip"
folder=$work/zip/CalvenorXP-$version
for text in README.txt LICENSE.txt licenses/GPL-3.txt licenses/gcc.txt licenses/mingw-w64.txt; do
    check "$text in Windows line endings" 0 "$(grep -c -v $'\r$' "$folder/$text")"
done
contains "the readme's version" "Calvenor XP $version" "$(head -n 1 "$folder/README.txt")"
exe=$folder/CalvenorXP.exe
check "the exe is stripped" "" "$(i686-w64-mingw32-objdump -h "$exe" | grep -o -e '\.debug[a-z_]*' -e '\.symtab' | sort -u)"
check "the exe has no symbol table" "0" "$(i686-w64-mingw32-objdump -f "$exe" | grep -c 'HAS_SYMS')"
check "the exe is for i686" "pei-i386" "$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')"
# Only Windows XP's own DLLs: the Windows suite checks each function against XP's exports.
check "the exe's DLLs" "ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL UXTHEME.DLL VERSION.DLL" \
    "$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr "[:lower:]" "[:upper:]" | LC_ALL=C sort -u |
        tr '\n' ' ' | sed 's/ $//')"
# The version resource, read by the program's own PE reader.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALVENOR_WERROR=ON -DCALVENOR_TESTS=ON >/dev/null &&
    cmake --build build -j"$(nproc)" --target pe_file_version >/dev/null
check "the exe's version resource" "$version.0.0" "$(build/tests/pe_file_version "$exe" 2>&1)"
strings=$(strings -el "$exe")
check "the exe's version texts" "$version $version" \
    "$(grep -A1 -x -e FileVersion -e ProductVersion <<<"$strings" | grep -v -e Version -e -- | tr '\n' ' ' | sed 's/ $//')"

# A package installs on the release whose libraries it was built against and on later ones: made
# on Debian 12 it is checked on 12 and 13; made on 13, whose library packages carry new names,
# on 13 alone (a release's package is made on that release).
built_on=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
case $built_on in
    bookworm) suites=(bookworm trixie) ;;
    *) suites=("$built_on") ;;
esac
say "installed from the package in fresh roots of ${suites[*]}"
install_start=$SECONDS
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
install_out=$($sudo tools/check-install.sh "$deb" "${suites[@]}" 2>&1)
check "tools/check-install.sh" 0 $?
printf '%s\n' "$install_out" | sed 's/^/    /'
install_seconds=$((SECONDS - install_start))

echo "tools/release.sh: $release_seconds s; tools/check-install.sh: $install_seconds s;" \
    "release files: $(cd "$out" && stat -c '%n %s bytes' calvenor_*.deb CalvenorXP-*.zip | tr '\n' ';' | sed 's/;$//; s/;/; /g')"
finish

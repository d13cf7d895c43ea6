#!/usr/bin/env bash
# Builds the release files from the tree into one folder (default out/):
#
#   calvenor_VERSION_amd64.deb   the Linux program, for Debian 12 and 13
#   CalvenorXP-VERSION.zip       the Windows XP program, its readme and licences
#   SHA256SUMS                   over both
#
#   tools/release.sh [DIR]
#
# Installs what is missing (Debian 12). The version is the project's (CMakeLists.txt), the
# dates in the files that of the last commit (SOURCE_DATE_EPOCH). Builds in build-release/
# (Linux) and build-win32/ (the i686 product, as tools/test-windows.sh builds it).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${1:-out}")
umask 022

tools/setup.sh build release
if [[ -n "$(git status --porcelain 2>/dev/null)" ]]; then
    echo "release.sh: the tree has uncommitted changes; the files are built from them" >&2
fi
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH

# The Linux program with Debian's hardening flags, for /usr.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
linux=$root/build-release
cmake -S . -B "$linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALVENOR_WERROR=ON \
    -DCALVENOR_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$linux" -j"$(nproc)" --target calvenor calvenor_icon_files
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux/CMakeCache.txt")
homepage=$(sed -n 's/^CALVENOR_HOMEPAGE:STRING=//p' "$linux/CMakeCache.txt")
[[ -n $version ]] || { echo "release.sh: no version in $linux/CMakeCache.txt" >&2; exit 1; }

# The Windows program, for Windows XP.
windows=$root/build-win32
cmake -S . -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCALVENOR_WERROR=ON -DCALVENOR_TESTS=OFF >/dev/null
cmake --build "$windows" -j"$(nproc)" --target CalvenorXP

mkdir -p "$out"
rm -f "$out"/calvenor_*_amd64.deb "$out"/CalvenorXP-*.zip "$out/SHA256SUMS"
deb=calvenor_${version}_amd64.deb
zip=CalvenorXP-$version.zip

# The package: the installed tree in the layout dpkg's tools expect (debian/calvenor), with
# the documentation Debian asks for, the dependencies that the program's libraries need
# (dpkg-shlibdeps) and the control file made from packaging/debian.
work=$linux/deb
rm -rf "$work"
stage=$work/debian/calvenor
DESTDIR=$stage cmake --install "$linux" >/dev/null
# Stripped as Debian's own packages are (dh_strip), the compiler's notes too.
strip --remove-section=.comment --remove-section=.note "$stage/usr/bin/calvenor"
mkdir -p "$stage/DEBIAN"
doc=$stage/usr/share/doc/calvenor
mkdir -p "$doc"
cp packaging/debian/copyright "$doc/copyright"
maintainer=$(sed -n 's/^Maintainer: //p' packaging/debian/control)
sed -e "s/@VERSION@/$version/g" -e "s/@MAINTAINER@/$maintainer/" \
    -e "s/@DATE@/$(date -u -R -d "@$SOURCE_DATE_EPOCH")/" \
    packaging/debian/changelog.in >"$work/debian/changelog"
gzip -9n <"$work/debian/changelog" >"$doc/changelog.gz"
gzip -9n "$stage/usr/share/man/man1/calvenor.1"
cp packaging/debian/control "$work/debian/control"
(
    cd "$work"
    dpkg-shlibdeps -Tdebian/calvenor.substvars debian/calvenor/usr/bin/calvenor
    dpkg-gencontrol -pcalvenor -Pdebian/calvenor -Tdebian/calvenor.substvars -v"$version" \
        -Vcalvenor:Homepage="$homepage"
    cd debian/calvenor
    find . -type f ! -path './DEBIAN/*' -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum \
        >DEBIAN/md5sums
)
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$out/$deb" >/dev/null

# The Windows download: one folder of the program, its readme and licences.
zipped=$windows/release
rm -rf "$zipped"
cmake --install "$windows" --strip --prefix "$zipped/CalvenorXP-$version" >/dev/null
find "$zipped" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$zipped" && find "CalvenorXP-$version" | LC_ALL=C sort | zip -X -9 -q -@ "$out/$zip")

(cd "$out" && sha256sum "$deb" "$zip" >SHA256SUMS)
echo "Release $version in $out:"
(cd "$out" && ls -l "$deb" "$zip" SHA256SUMS)

#!/usr/bin/env bash
# The portable Windows release: BUILD/quintaro-<version>-windows-x64.zip, a
# folder with both programs, the DLLs and Qt plugins they load, the read-me
# and the licences (Quintaro's, Qt's with its build recipe and patches, those
# of the MinGW runtime and SQLite), and nothing more; and the same folder as
# BUILD/quintaro-<version>-setup.exe, a per-user setup program
# (scripts/windows/make-setup.sh).
#
#   scripts/windows/make-release.sh [BUILD]     (default build-windows)
#
# Qt for MinGW comes from scripts/windows/build-qt.sh (built once when
# missing); the programs are cross-built in BUILD, Release, stripped.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(mkdir -p "${1:-$root/build-windows}" && cd "${1:-$root/build-windows}" && pwd)
qt=$("$root/scripts/windows/build-qt.sh")
version=$(sed -n 's/^project(Quintaro VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || {
  echo "make-release: no version in CMakeLists.txt" >&2
  exit 1
}

"$root/scripts/windows/configure.sh" "$qt" "$build"
cmake --build "$build" --target quintaro quintaro-weather

name=quintaro-$version
stage=$build/release
folder=$stage/$name
rm -rf "$stage"
mkdir -p "$folder/LICENSES"
for program in quintaro quintaro-weather; do
  x86_64-w64-mingw32-strip --strip-unneeded -o "$folder/$program.exe" "$build/$program.exe"
done
"$root/scripts/windows/deploy.sh" --qt "$qt" "$folder" >/dev/null
cp "$root/Leggimi_Quintaro.rtf" "$folder/"

# Licences, from the licence texts and copyright files of the Debian
# packages the release is built from: Qt's are of the same 6.4.2 sources.
licences=$folder/LICENSES
doc=/usr/share/doc
copy() {
  [ -f "$1" ] || {
    echo "make-release: $1 is missing (scripts/install-deps.sh windows installs it)" >&2
    exit 1
  }
  cp "$1" "$licences/$2"
}
copy "$root/data/debian/copyright" Quintaro-copyright.txt
copy /usr/share/common-licenses/GPL-3 GPL-3.0.txt
copy /usr/share/common-licenses/LGPL-3 LGPL-3.0.txt
copy "$doc/libqt6core6/copyright" Qt-base-copyright.txt
copy "$doc/libqt6charts6/copyright" Qt-Charts-copyright.txt
copy "$doc/libsqlite3-0/copyright" SQLite-copyright.txt
copy "$doc/gcc-mingw-w64-x86-64-posix-runtime/copyright" MinGW-GCC-runtime-copyright.txt
copy "$doc/mingw-w64-x86-64-dev/copyright" MinGW-w64-runtime-copyright.txt
# How this Qt was built, with every patch applied to it: Qt is LGPL, and a
# user may build it anew and use it with these programs.
cp -r "$qt/share/quintaro-qt-recipe" "$licences/Qt-build-recipe"

zip=$build/$name-windows-x64.zip
"$root/scripts/windows/make-zip.sh" "$folder" "$zip"

# The same folder as a setup program that installs it for one user.
"$root/scripts/windows/make-setup.sh" "$folder" "$version" "$build/quintaro.ico" \
  "$build/$name-setup.exe"

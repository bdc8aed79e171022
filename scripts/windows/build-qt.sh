#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase and Qt Charts) for Windows x64 with MinGW-w64, once,
# into a cache folder outside the clone, and prints that folder's path.
#
#   scripts/windows/build-qt.sh                 build when missing, print the prefix
#   scripts/windows/build-qt.sh --print-prefix  print the prefix only (built or not)
#
# The prefix is ${QUINTARO_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quintaro}/qt-6.4.2-mingw-<key>,
# or QUINTARO_WINDOWS_QT when that is set. <key> is a hash of the recipe: this
# script, cmake/mingw-w64-x86_64.cmake, scripts/windows/qt-patches/*, the
# Debian version of the host Qt (whose source is built, and whose tools the
# build runs) and of the MinGW compiler. A changed recipe builds a new prefix;
# an unchanged one is reused as it is.
#
# Sources: qtbase and SQLite from Debian's source packages (apt-get source
# through a private deb-src list, so the system's apt setup stays as it is),
# Qt Charts from the tarball QTCHARTS_TARBALL (default
# ../shared/qt-src/qtcharts-everywhere-src-6.4.2.tar.xz beside the clone),
# checked against its sha256. Nothing prebuilt is downloaded.
#
# The build runs in a scratch folder beside the cache (QT_BUILD_JOBS jobs,
# default all cores, at nice 19), installs into a staging folder and renames
# that to the prefix at the very end: a prefix that exists is whole. The
# installed Qt holds its recipe in share/quintaro-qt-recipe/ (this script,
# the toolchain file, the options used, the patches and the sources' versions)
# for the licence files that ship with the program. Its bin/qt-cmake
# configures a project for Windows with the recipe's copy of the toolchain
# file.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
script="$root/scripts/windows/build-qt.sh"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
patches_dir="$root/scripts/windows/qt-patches"
qt_version=6.4.2
charts_tarball=${QTCHARTS_TARBALL:-$root/../shared/qt-src/qtcharts-everywhere-src-$qt_version.tar.xz}
charts_sha256=7a21da06f6378432722856eafd5efd24f84db9b25159eb7a99b66ba6d0cfdc81
jobs=${QT_BUILD_JOBS:-$(nproc)}

say() { printf 'build-qt: %s\n' "$*" >&2; }
die() {
  say "$*"
  exit 1
}

installed_version() {
  dpkg-query -W -f='${Status} ${Version}\n' "$1" 2>/dev/null |
    sed -n 's/^install ok installed //p'
}

# The recipe's hash: what decides whether a cached Qt is the one this
# checkout would build.
recipe_key() {
  local host_qt mingw
  host_qt=$(installed_version qt6-base-dev)
  mingw=$(installed_version g++-mingw-w64-x86-64-posix)
  [ -n "$host_qt" ] && [ -n "$mingw" ] ||
    die "qt6-base-dev and g++-mingw-w64-x86-64-posix must be installed: run scripts/install-deps.sh windows"
  {
    echo "host-qt $host_qt"
    echo "mingw $mingw"
    sha256sum "$script" | cut -d' ' -f1
    sha256sum "$toolchain" | cut -d' ' -f1
    if [ -d "$patches_dir" ]; then
      find "$patches_dir" -type f -name '*.patch' -printf '%f\n' | LC_ALL=C sort |
        while read -r p; do echo "$p $(sha256sum "$patches_dir/$p" | cut -d' ' -f1)"; done
    fi
  } | sha256sum | cut -c1-12
}

cache=${QUINTARO_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quintaro}
if [ -n "${QUINTARO_WINDOWS_QT:-}" ]; then
  prefix=$QUINTARO_WINDOWS_QT
else
  prefix="$cache/qt-$qt_version-mingw-$(recipe_key)"
fi

case "${1:-}" in
--print-prefix)
  echo "$prefix"
  exit 0
  ;;
"") ;;
*)
  echo "usage: $0 [--print-prefix]" >&2
  exit 2
  ;;
esac

if [ -d "$prefix" ]; then
  echo "$prefix"
  exit 0
fi

# One build per prefix at a time; a second caller waits and then finds it.
parent=$(dirname "$prefix")
name=$(basename "$prefix")
mkdir -p "$parent"
exec 9>"$parent/.$name.lock"
if ! flock -n 9; then
  say "another build of $prefix is running; waiting for it"
  flock 9
fi
if [ -d "$prefix" ]; then
  echo "$prefix"
  exit 0
fi

for tool in x86_64-w64-mingw32-g++-posix cmake ninja tclsh dpkg-source xz; do
  command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps.sh windows"
done
host_qt=$(installed_version qt6-base-dev)
case "$host_qt" in
"$qt_version"[+-]*) ;;
*) die "the host Qt is $host_qt, this recipe builds $qt_version" ;;
esac

if [ ! -f "$charts_tarball" ]; then
  die "Qt Charts' source is missing: $charts_tarball (set QTCHARTS_TARBALL to qtcharts-everywhere-src-$qt_version.tar.xz, sha256 $charts_sha256)"
fi
actual=$(sha256sum "$charts_tarball" | cut -d' ' -f1)
[ "$actual" = "$charts_sha256" ] ||
  die "$charts_tarball has sha256 $actual, expected $charts_sha256: not the Qt Charts $qt_version source this recipe builds"

# Scratch and staging beside the prefix, so that the final rename stays on one
# file system. Leftovers of an interrupted build are wiped, never reused.
scratch="$parent/.$name.build"
stage="$parent/.$name.stage"
rm -rf "$scratch" "$stage"
mkdir -p "$scratch/src" "$scratch/logs"
logs="$scratch/logs"

# Runs a long step with its output in a log; on failure shows the log's end.
step() {
  local log="$logs/$1.log"
  shift
  local start=$SECONDS
  say "$(date +%H:%M:%S) ${log##*/}"
  if ! { printf '%q ' "$@" && echo; } >"$log" || ! "$@" >>"$log" 2>&1; then
    tail -n 60 "$log" >&2
    die "failed after $((SECONDS - start)) s; the whole log is $log"
  fi
  say "    done in $((SECONDS - start)) s"
}
heavy() { nice -n 19 "$@"; }

# --- Sources -----------------------------------------------------------------
# apt-get with a list of its own: the system's sources turned into deb-src.
apt_dir="$scratch/apt"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/sources.list.d/${f##*/}"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] && sed -n 's/^deb[[:space:]]/deb-src /p' "$f" >"$apt_dir/sources.list.d/${f##*/}.list"
done
apt_src=(apt-get -q -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache"
  -o APT::Sandbox::User="$(id -un)" -o Debug::NoLocking=true)
step apt-update "${apt_src[@]}" update
cd "$scratch/src"
step qtbase-source "${apt_src[@]}" source --only-source "qt6-base=$host_qt"
step sqlite-source "${apt_src[@]}" source --only-source sqlite3
qtbase_src=$(find "$scratch/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
sqlite_src=$(find "$scratch/src" -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
[ -d "$qtbase_src" ] && [ -d "$sqlite_src" ] || die "the source packages did not unpack"
step qtcharts-source tar -xf "$charts_tarball" -C "$scratch/src"
charts_src=$(find "$scratch/src" -maxdepth 1 -type d -name 'qtcharts-*' | head -n 1)
[ -d "$charts_src" ] || die "$charts_tarball did not unpack into a qtcharts-* folder"

# Debian's repack of qtbase leaves out SQLite; Qt's own driver builds it from
# the amalgamation, made here from Debian's SQLite source.
mkdir -p "$scratch/sqlite-build"
(
  cd "$scratch/sqlite-build"
  step sqlite-configure "$sqlite_src/configure" --disable-tcl
  step sqlite-amalgamation heavy make sqlite3.c
)
mkdir -p "$qtbase_src/src/3rdparty/sqlite"
cp "$scratch/sqlite-build/sqlite3.c" "$scratch/sqlite-build/sqlite3.h" "$qtbase_src/src/3rdparty/sqlite/"

# Patches of our own, named qtbase-*.patch or qtcharts-*.patch.
if [ -d "$patches_dir" ]; then
  for p in $(find "$patches_dir" -type f -name '*.patch' -printf '%f\n' | LC_ALL=C sort); do
    case "$p" in
    qtbase-*) dir=$qtbase_src ;;
    qtcharts-*) dir=$charts_src ;;
    *) die "patch $p: its name must start with qtbase- or qtcharts-" ;;
    esac
    step "patch-$p" patch -d "$dir" -p1 --forward -i "$patches_dir/$p"
  done
fi

# --- qtbase --------------------------------------------------------------------
# Only what the programs use: Widgets, Network, Sql with SQLite, Test. The
# libraries Qt bundles (zlib, libpng, pcre2, harfbuzz, md4c) are built in, so
# no third-party DLL ships beside Qt's. direct2d stays on: Qt 6.4.2's Windows
# platform plugin does not link without it.
qtbase_options=(
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DBUILD_SHARED_LIBS=ON
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DINPUT_opengl=no
  -DFEATURE_dbus=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_openssl=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_sql_sqlite=ON
  -DFEATURE_system_sqlite=OFF
  -DFEATURE_sql_odbc=OFF
  -DFEATURE_sql_psql=OFF
  -DFEATURE_sql_mysql=OFF
  -DFEATURE_sql_ibase=OFF
  -DFEATURE_sql_oci=OFF
  -DFEATURE_sql_db2=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_freetype=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_direct2d=ON
)
charts_options=(
  -G Ninja
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
)

start=$SECONDS
step qtbase-configure heavy cmake -S "$qtbase_src" -B "$scratch/qtbase-build" "${qtbase_options[@]}"
step qtbase-build heavy cmake --build "$scratch/qtbase-build" --parallel "$jobs"
step qtbase-install env DESTDIR="$stage" cmake --install "$scratch/qtbase-build"
qtbase_seconds=$((SECONDS - start))

# Qt Charts against the staged qtbase (Qt's CMake files are relocatable).
start=$SECONDS
step qtcharts-configure heavy "$stage$prefix/bin/qt-cmake" -S "$charts_src" -B "$scratch/qtcharts-build" "${charts_options[@]}"
step qtcharts-build heavy cmake --build "$scratch/qtcharts-build" --parallel "$jobs"
step qtcharts-install env DESTDIR="$stage" cmake --install "$scratch/qtcharts-build"
charts_seconds=$((SECONDS - start))

# --- The recipe, for the licence files ----------------------------------------------
recipe="$stage$prefix/share/quintaro-qt-recipe"
mkdir -p "$recipe/patches" "$recipe/debian-patches"
cp "$script" "$toolchain" "$recipe/"
[ -d "$patches_dir" ] && find "$patches_dir" -type f -name '*.patch' -exec cp {} "$recipe/patches/" \;
[ -d "$qtbase_src/debian/patches" ] && cp -r "$qtbase_src/debian/patches/." "$recipe/debian-patches/"
cp "$scratch/qtbase-build/config.summary" "$recipe/qtbase-config.summary" 2>/dev/null || true
{
  echo "Qt $qt_version for Windows x64 (MinGW-w64), built by scripts/windows/build-qt.sh"
  echo
  echo "Sources:"
  echo "  qtbase: Debian source package qt6-base $(basename "$qtbase_src" | sed 's/^qt6-base-//') (apt-get source qt6-base=$host_qt),"
  echo "          with Debian's patches (debian-patches/, applied in the order of their series file)"
  echo "          and SQLite's amalgamation added as src/3rdparty/sqlite (below)"
  echo "  SQLite: Debian source package sqlite3 $(basename "$sqlite_src" | sed 's/^sqlite3-//'), ./configure --disable-tcl && make sqlite3.c"
  echo "  qtcharts: $(basename "$charts_tarball") sha256 $charts_sha256"
  echo "  patches of our own: patches/ (none when empty)"
  echo
  echo "Compiler: $(x86_64-w64-mingw32-g++-posix --version | head -n 1) (Debian g++-mingw-w64-x86-64-posix $(installed_version g++-mingw-w64-x86-64-posix))"
  echo "Host tools: Debian qt6-base-dev $host_qt"
  echo
  echo "qtbase: cmake -S qtbase -B build ${qtbase_options[*]}"
  echo "        cmake --build build && cmake --install build"
  echo "qtcharts: <qt>/bin/qt-cmake -S qtcharts -B build ${charts_options[*]}"
  echo "          cmake --build build && cmake --install build"
} >"$recipe/README.txt"

# Qt's toolchain file for projects (used by bin/qt-cmake) names the toolchain
# file qtbase was built with by its absolute path, in this clone; it names the
# recipe's copy instead, so that the prefix serves on its own.
qt_toolchain="$stage$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
grep -q '^set(__qt_initially_configured_toolchain_file ' "$qt_toolchain" ||
  die "$qt_toolchain does not name the toolchain file as expected"
sed -i 's|^set(__qt_initially_configured_toolchain_file .*|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../share/quintaro-qt-recipe/mingw-w64-x86_64.cmake")|' \
  "$qt_toolchain"

# The one rename that makes the prefix exist.
mv "$stage$prefix" "$prefix"
rm -rf "$stage" "$scratch"
say "qtbase $((qtbase_seconds / 60)) min $((qtbase_seconds % 60)) s, Qt Charts $((charts_seconds / 60)) min $((charts_seconds % 60)) s, installed $(du -sh "$prefix" | cut -f1)"
echo "$prefix"

#!/usr/bin/env bash
# Installs the Debian 12 packages Quintaro needs, one group at a time.
# Idempotent: when everything is present it only asks dpkg and returns.
#
#   scripts/install-deps.sh            build and run the program (make run, make install)
#   scripts/install-deps.sh test       also the test suite, the benchmarks and the demo
#   scripts/install-deps.sh package    also what `make package` needs
#   scripts/install-deps.sh ci         everything .ci/run does: test, package, format and
#                                      package checks
#   scripts/install-deps.sh fuzz       also clang's fuzzing and sanitizer runtimes
#   scripts/install-deps.sh windows    also the cross-build for Windows: MinGW-w64, what
#                                      building Qt for it takes, wine and the packaging tools
set -euo pipefail

# Building the programs and running them: the weather history needs Qt's
# SQLite driver, the weather display Qt Charts (whose CMake files ask for Qt's
# OpenGL development files, although nothing here draws with OpenGL).
run=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-qpa-plugins
  libqt6sql6-sqlite qt6-charts-dev libqt6opengl6-dev
  fonts-dejavu-core
)
# The benchmarks (Google Benchmark); Direwolf and gen_packets for the tests
# against a real engine and for the demo; unrtf to compare the read-me's text;
# an X server with a window manager for the window on a large screen; a
# session bus that starts the accessibility bus, through which a test reads
# what the weather displays show.
test=(libbenchmark-dev direwolf unrtf xvfb openbox wmctrl dbus-daemon at-spi2-core)
# CPack's DEB generator: dpkg-shlibdeps computes Depends, and needs `file`.
package=(dpkg-dev file)
# .ci/run: the format check, and the checks of the built package (validators,
# and a start of the unpacked program under Xvfb).
ci=(git clang-format lintian desktop-file-utils appstream xvfb xauth)
# Windows x64, cross-built (scripts/windows/): the MinGW-w64 compilers of the
# posix thread model, which Qt needs; for building Qt itself ninja, the deb-src
# unpacker (dpkg-source) and tclsh, which makes SQLite's amalgamation; wine
# on an X server of its own to run the programs and tests, with the fonts it
# stands in for Windows' with; python3, which makes the programs' icon; zip
# and NSIS for what ships; for the chain check under wine (make
# windows-chain), Direwolf and gen_packets as the packet engine and its
# radio, and xdotool, which finds the windows and types into them.
windows=(
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  ninja-build dpkg-dev tcl xz-utils
  wine64 fonts-wine xvfb xauth zip nsis python3
  direwolf xdotool
)

packages=("${run[@]}")
case "${1:-}" in
"") ;;
test) packages+=("${test[@]}") ;;
package) packages+=("${package[@]}") ;;
ci) packages+=("${test[@]}" "${package[@]}" "${ci[@]}") ;;
fuzz) packages+=(clang libclang-rt-14-dev) ;;
windows) packages+=("${windows[@]}") ;;
*)
  echo "usage: $0 [test|package|ci|fuzz|windows]" >&2
  exit 2
  ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# Without --no-install-recommends the GTK platform theme comes along and
# would replace Qt's own file dialog.
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

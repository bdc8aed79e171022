#!/usr/bin/env bash
# Configures BUILD for Windows with the Qt for MinGW at PREFIX: both
# programs and the test suite, Release, Ninja; once, then only when asked
# for a Qt of another recipe.
#
#   scripts/windows/configure.sh PREFIX BUILD
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
qt=$1
build=$2
cache=$build/CMakeCache.txt
if [ -f "$cache" ] && grep -q "^QUINTARO_WINDOWS_QT:STRING=$qt\$" "$cache"; then
  exit 0
fi
"$qt/bin/qt-cmake" -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUINTARO_BENCH=OFF -DQUINTARO_TESTS=ON -DQUINTARO_WINDOWS_QT="$qt" ${CMAKE_FLAGS:-} >/dev/null

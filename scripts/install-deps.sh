#!/usr/bin/env bash
# Installs the Debian 12 packages Quintaro needs to build, test and run.
# Idempotent: when everything is present it only asks dpkg and returns.
#
#   scripts/install-deps.sh            build, test and run
#   scripts/install-deps.sh fuzz       also clang's fuzzing and sanitizer runtimes
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-qpa-plugins
  libbenchmark-dev
  fonts-dejavu-core
  direwolf
  unrtf
  xvfb openbox wmctrl
)
if [ "${1:-}" = "fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

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

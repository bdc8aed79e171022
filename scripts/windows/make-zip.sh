#!/usr/bin/env bash
# Zips a folder into ZIP, the folder itself the archive's one top-level entry
# (so that it unpacks into a folder of its name), its files in a fixed order
# and without Unix owners, so that the same folder zips the same.
#
#   scripts/windows/make-zip.sh FOLDER ZIP
set -euo pipefail

[ $# -eq 2 ] && [ -d "$1" ] || {
  echo "usage: $0 FOLDER ZIP" >&2
  exit 2
}
folder=$(cd "$1" && pwd)
zip=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
tmp="$zip.partial"
rm -f "$tmp"
(
  cd "$(dirname "$folder")"
  find "$(basename "$folder")" -print | LC_ALL=C sort |
    zip -q -X -9 -@ "$tmp"
)
mv -f "$tmp" "$zip"
echo "$zip: $(du -h "$zip" | cut -f1)"

#!/usr/bin/env bash
# The Windows setup program: SETUP.exe installs the files of the release
# folder FOLDER for the user who runs it (scripts/windows/quintaro.nsi), and
# its uninstaller removes those files and no others.
#
#   scripts/windows/make-setup.sh FOLDER VERSION ICON SETUP.exe
#
# The lists of files to install and to remove are both made here from
# FOLDER, so that they cannot drift apart from each other or from the zip.
set -euo pipefail

[ $# -eq 4 ] && [ -d "$1" ] && [ -f "$3" ] || {
  echo "usage: $0 FOLDER VERSION ICON SETUP.exe" >&2
  exit 2
}
command -v makensis >/dev/null || {
  echo "make-setup: makensis is missing: run scripts/install-deps.sh windows" >&2
  exit 1
}
root=$(cd "$(dirname "$0")/../.." && pwd)
folder=$(cd "$1" && pwd)
version=$2
icon=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
setup=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
work=$(mktemp -d "${TMPDIR:-/tmp}/quintaro-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT

# "2.01" is 2.1.0.0 in a version resource, as the programs' own say.
IFS=. read -r major minor <<<"$version"
quad="$((10#$major)).$((10#${minor:-0})).0.0"

# NSIS takes "$" as its own; a file name with one, or with a double quote,
# would need escaping that no file of the release needs.
if (cd "$folder" && find . | grep -q '[$"]'); then
  echo "make-setup: a file name in $folder holds \$ or a double quote" >&2
  exit 1
fi
win() { printf '%s' "${1//\//\\}"; }
(
  cd "$folder"
  # Each folder's files after a SetOutPath to it, in a fixed order.
  find . -type d | LC_ALL=C sort | while read -r dir; do
    rel=${dir#.}
    rel=${rel#/}
    files=$(find "$dir" -maxdepth 1 -type f | LC_ALL=C sort)
    [ -n "$files" ] || continue
    printf 'SetOutPath "$INSTDIR%s"\n' "$(win "${rel:+/$rel}")"
    while read -r f; do
      printf 'File "%s/%s"\n' "$folder" "${f#./}"
    done <<<"$files"
  done
) >"$work/files.nsh"
(
  cd "$folder"
  find . -type f | LC_ALL=C sort | while read -r f; do
    printf 'Delete "$INSTDIR\\%s"\n' "$(win "${f#./}")"
  done
  # Deepest folders first, each only when empty.
  find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r d; do
    printf 'RMDir "$INSTDIR\\%s"\n' "$(win "${d#./}")"
  done
) >"$work/unfiles.nsh"

makensis -V2 -NOCD \
  "-DVERSION=$version" "-DVERSION_QUAD=$quad" "-DRELEASE=$folder" "-DICON=$icon" \
  "-DFILES=$work/files.nsh" "-DUNFILES=$work/unfiles.nsh" "-DOUTFILE=$setup.partial" \
  "$root/scripts/windows/quintaro.nsi" >"$work/makensis.log" 2>&1 || {
  cat "$work/makensis.log" >&2
  echo "make-setup: makensis failed" >&2
  exit 1
}
mv -f "$setup.partial" "$setup"
echo "$setup: $(du -h "$setup" | cut -f1)"

#!/usr/bin/env bash
# Makes a folder of Windows programs runnable on Windows: copies beside its
# .exe files the DLLs they load, found by reading their imports (and their
# DLLs' imports, and so on), from the Qt for MinGW given and MinGW's runtime,
# and the Qt plugins they need.
#
#   scripts/windows/deploy.sh --qt PREFIX [--imageformats "ico gif"] FOLDER
#
# Plugins: platforms/qwindows.dll and styles/qwindowsvistastyle.dll when Qt
# Gui and Widgets are used, sqldrivers/qsqlite.dll when Qt Sql is, and the
# image formats named (none by default; PNG is built into Qt Gui). DLLs found
# in neither place are Windows' own and stay out. Every DLL copied is
# stripped: Debian's MinGW runtime carries its debug information
# (libstdc++-6.dll 23.7 MB, 2 MB stripped). Prints what it copied.
set -euo pipefail

qt=""
imageformats=""
while [ $# -gt 0 ]; do
  case "$1" in
  --qt)
    qt=$2
    shift 2
    ;;
  --imageformats)
    imageformats=$2
    shift 2
    ;;
  -*)
    echo "usage: $0 --qt PREFIX [--imageformats \"ico gif\"] FOLDER" >&2
    exit 2
    ;;
  *) break ;;
  esac
done
[ $# -eq 1 ] && [ -n "$qt" ] || {
  echo "usage: $0 --qt PREFIX [--imageformats \"ico gif\"] FOLDER" >&2
  exit 2
}
folder=$1
[ -d "$qt/bin" ] || {
  echo "deploy: $qt is no Qt prefix (no bin/)" >&2
  exit 1
}
[ -d "$folder" ] || {
  echo "deploy: no folder $folder" >&2
  exit 1
}

triplet=x86_64-w64-mingw32
objdump=$triplet-objdump
strip=$triplet-strip
# Where the DLLs come from, in order: Qt, then the compiler's runtime.
search=("$qt/bin")
for dll in libstdc++-6.dll libwinpthread-1.dll; do
  f=$($triplet-g++-posix -print-file-name=$dll)
  [ -f "$f" ] && search+=("$(cd "$(dirname "$f")" && pwd)")
done

# Finds a DLL by name, as Windows does: without regard to case.
find_dll() {
  local d hit
  for d in "${search[@]}"; do
    hit=$(find "$d" -maxdepth 1 -type f -iname "$1" -print -quit)
    [ -n "$hit" ] && {
      echo "$hit"
      return
    }
  done
  return 0
}

imports() { "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }

# Copies one file (stripped) unless already there.
put() {
  local from=$1 to=$2
  [ -e "$to" ] && return
  mkdir -p "$(dirname "$to")"
  "$strip" --strip-unneeded -o "$to" "$from"
  echo "  ${to#"$folder"/}"
}

has() { find "$folder" -maxdepth 1 -type f -iname "$1" -print -quit | grep -q .; }

echo "deploy: into $folder"
# Every binary already in the folder, then each one copied, has its imports
# looked at once.
queue=()
while IFS= read -r -d '' f; do queue+=("$f"); done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
[ ${#queue[@]} -gt 0 ] || {
  echo "deploy: no .exe in $folder" >&2
  exit 1
}
declare -A seen=()
resolve() {
  local f name src
  while [ ${#queue[@]} -gt 0 ]; do
    f=${queue[0]}
    queue=("${queue[@]:1}")
    while IFS= read -r name; do
      local key=${name,,}
      [ -n "${seen[$key]:-}" ] && continue
      seen[$key]=1
      has "$name" && continue
      src=$(find_dll "$name")
      [ -n "$src" ] || continue
      put "$src" "$folder/$(basename "$src")"
      queue+=("$folder/$(basename "$src")")
    done < <(imports "$f")
  done
}
resolve

plugins=()
has Qt6Gui.dll && plugins+=(platforms/qwindows.dll)
has Qt6Widgets.dll && plugins+=(styles/qwindowsvistastyle.dll)
has Qt6Sql.dll && plugins+=(sqldrivers/qsqlite.dll)
for fmt in $imageformats; do plugins+=("imageformats/q$fmt.dll"); done
for p in "${plugins[@]}"; do
  [ -f "$qt/plugins/$p" ] || {
    echo "deploy: the Qt plugin $p is missing in $qt/plugins" >&2
    exit 1
  }
  put "$qt/plugins/$p" "$folder/$p"
  queue+=("$folder/$p")
done
resolve

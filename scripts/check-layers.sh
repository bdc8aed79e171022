#!/usr/bin/env bash
# Checks that includes between the parts under src/ run only the ways the
# README's layout allows: from the window down to the shared plain code,
# never back up. Prints each include that breaks the rule; exits 1 if any.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A allowed=(
  [app]="link stations weather history help geometry settings platform common"
  [display]="history weather platform common"
  [link]="agw common"
  [help]="platform common"
  [geometry]="settings common"
  [stations]="weather common"
  [settings]="common"
  [history]="weather common"
  [agw]=""
  [weather]=""
  [platform]=""
  [common]=""
)

# Which part each header belongs to.
declare -A owner=()
for part in "${!allowed[@]}"; do
  for header in "$part"/*.h "$part"/*.h.in; do
    [ -e "$header" ] || continue
    name=$(basename "$header" .in)
    owner[$name]=$part
  done
done

status=0
for part in "${!allowed[@]}"; do
  for file in "$part"/*.cpp "$part"/*.h; do
    [ -e "$file" ] || continue
    while IFS= read -r header; do
      to=${owner[$header]:-}
      [ -n "$to" ] && [ "$to" != "$part" ] || continue
      case " ${allowed[$part]} " in
      *" $to "*) ;;
      *) echo "src/$file includes $header of src/$to"; status=1 ;;
      esac
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done
exit $status

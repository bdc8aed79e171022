#!/usr/bin/env bash
# Fails when a tracked C++ file under src, tests, bench or fuzz differs from
# what the repository's .clang-format makes of it, and names each difference.
# Fix with: clang-format -i FILE...
#
#   scripts/check-format.sh           (make format-check)
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null 2>&1 ||
    { echo "check-format: $clang_format is not installed (scripts/install-deps.sh ci)" >&2; exit 1; }

mapfile -d '' files < <(git ls-files -z -- \
    'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
    'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
[ ${#files[@]} -gt 0 ] || { echo "check-format: no C++ files found" >&2; exit 1; }

if "$clang_format" --dry-run --Werror "${files[@]}"; then
    echo "check-format: ${#files[@]} files formatted as .clang-format says ($("$clang_format" --version | head -n1))"
else
    echo "check-format: the files above differ from .clang-format; fix with: $clang_format -i FILE..." >&2
    exit 1
fi

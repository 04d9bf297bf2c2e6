#!/usr/bin/env bash
# Formats the tracked C++ files with the tree's .clang-format.
#   scripts/format.sh           reformat them in place
#   scripts/format.sh --check   change nothing; list the files that would change, exit 1 if any
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
if ! command -v "$CLANG_FORMAT" >/dev/null 2>&1; then
  echo "format.sh: $CLANG_FORMAT not found (Debian package clang-format)" >&2
  exit 2
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
else # a copy of the tree without its history
  mapfile -d '' files < <(find src tests tools bench \( -name '*.cpp' -o -name '*.h' \) -print0)
fi
if [ "${1:-}" = "--check" ]; then
  bad=0
  for f in "${files[@]}"; do
    if ! "$CLANG_FORMAT" --style=file "$f" | cmp -s - "$f"; then
      echo "$f"
      bad=1
    fi
  done
  exit $bad
fi
[ $# -eq 0 ] || { echo "usage: $0 [--check]" >&2; exit 2; }
"$CLANG_FORMAT" --style=file -i "${files[@]}"

#!/usr/bin/env bash
# Checks the README's "What -> where" table: every path it names in backticks exists in the tree.
# A table that names no path at all fails too, so a renamed heading cannot make the check pass.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
table=$(awk '/^### What -> where/{on=1; next} on && /^#/{exit} on && /^\|/' README.md)
paths=$(grep -o '`[^`]*/[^`]*`' <<<"$table" | tr -d '`' | sort -u || true)
if [ -z "$paths" ]; then
  echo "readme-map: no \"What -> where\" table with paths in README.md" >&2
  exit 1
fi
missing=0
while IFS= read -r p; do
  if [ ! -e "$p" ]; then
    echo "readme-map: README.md names $p, which does not exist" >&2
    missing=1
  fi
done <<<"$paths"
exit $missing

#!/usr/bin/env bash
# Runs every benchmark program the build made (bench_*), one after another; a program that
# fails does not stop the others, but makes the whole run fail at the end.
set -uo pipefail
BUILD=${1:-build}
found=0
failed=()
for b in "$BUILD"/bench/bench_*; do
  [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || failed+=("$(basename "$b")")
done
[ $found = 1 ] || { echo "no benchmarks built" >&2; exit 1; }
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi

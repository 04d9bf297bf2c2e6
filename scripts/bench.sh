#!/usr/bin/env bash
# Runs every benchmark program the build made (bench_*), one after another.
set -euo pipefail
BUILD=${1:-build}
found=0
for b in "$BUILD"/bench/bench_*; do
  [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
[ $found = 1 ] || { echo "no benchmarks built" >&2; exit 1; }

#!/usr/bin/env bash
# make bench: run every benchmark binary of a release build.
set -euo pipefail
build=${1:-build/release}
shopt -s nullglob
for b in "$build"/bench/*_bench; do
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done

#!/usr/bin/env bash
# make bench: run every benchmark binary of a release build, count the
# plugin's instructions per frame (when valgrind is there), then the frame
# against the copy floor through ffglrun and the video runs.
set -euo pipefail
build=${1:-build/release}
echo "== load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
shopt -s nullglob
for b in "$build"/bench/*_bench; do
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
echo "== instructions per FF_PROCESS_OPENGL"
"$(dirname "$0")/frame-cost.sh" "$build"
"$(dirname "$0")/frame-bench.sh" "$build"
"$(dirname "$0")/media-bench.sh" "$build"

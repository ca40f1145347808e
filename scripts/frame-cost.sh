#!/usr/bin/env bash
# Instructions one FF_PROCESS_OPENGL costs on the host's thread, counted by
# callgrind over bench/frame_cost (guides off, then on). "Tessivar.so" is the
# plugin's own code; "thread" adds the GL driver's work on that thread
# (llvmpipe's state handling and binning; its rasterizer threads, which shade
# the pixels, are not counted).
#   scripts/frame-cost.sh [build dir, default build/release] [frames, default 20]
set -euo pipefail
build=${1:-build/release}
frames=${2:-20}
if ! command -v valgrind >/dev/null; then
  echo "frame-cost: valgrind not installed, skipped"
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for guides in 0 1; do
  valgrind --tool=callgrind --callgrind-out-file="$out/cg.$guides" --collect-atstart=no --separate-threads=yes \
    --toggle-collect=runFrames "$build/bench/frame_cost" "$frames" "$guides" >/dev/null 2>&1
  # Thread 1 is the host's thread.
  callgrind_annotate --threshold=100 "$out/cg.$guides-01" 2>/dev/null | awk -v n="$frames" -v g="$guides" '
    /^ *[0-9,]+ \(/ && $NF ~ /^\[/ {
      v = $1; gsub(",", "", v)
      all += v
      if ($NF ~ /Tessivar\.so\]$/) own += v
    }
    END { printf "guides %-3s  Tessivar.so %8.0f Ir/frame   thread %9.0f Ir/frame\n", (g ? "on" : "off"), own / n, all / n }'
done

#!/usr/bin/env bash
# Instructions one FF_PROCESS_OPENGL costs on the CPU, counted by callgrind
# over bench/frame_cost (guides off, then on). "Tessivar.so" is the plugin's
# own code; "all" adds the GL driver's work done on the way (llvmpipe here,
# including its rasterizer threads while the call runs).
#   scripts/frame-cost.sh [build dir, default build/release] [frames, default 30]
set -euo pipefail
build=${1:-build/release}
frames=${2:-30}
if ! command -v valgrind >/dev/null; then
  echo "frame-cost: valgrind not installed, skipped"
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for guides in 0 1; do
  valgrind --tool=callgrind --callgrind-out-file="$out/cg.$guides" --collect-atstart=no \
    --toggle-collect=runFrames "$build/bench/frame_cost" "$frames" "$guides" >/dev/null 2>&1
  callgrind_annotate --threshold=100 "$out/cg.$guides" 2>/dev/null | awk -v n="$frames" -v g="$guides" '
    /^ *[0-9,]+ \(/ && $NF ~ /^\[/ {
      v = $1; gsub(",", "", v)
      all += v
      if ($NF ~ /Tessivar\.so\]$/) own += v
    }
    END { printf "guides %-3s  Tessivar.so %8.0f Ir/frame   all %9.0f Ir/frame\n", (g ? "on" : "off"), own / n, all / n }'
done

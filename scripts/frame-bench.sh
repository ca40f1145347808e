#!/usr/bin/env bash
# One Tessivar frame against the copy floor, through `ffglrun bench` (frames
# and floor drawn in turn, each finished on the GPU): the quadrilateral of the
# frame benchmarks (bench/BenchHost.h), guides off and on, at 1920x1080 and
# 3840x2160. Prints the median milliseconds of both and their ratio.
#
#   scripts/frame-bench.sh [BUILD]
set -euo pipefail
build=${1:-build/release}
ffglrun=$build/runner/ffglrun
module=$build/effect/Tessivar.so
[ -x "$ffglrun" ] && [ -f "$module" ] || { echo "frame-bench: build $build has no ffglrun or Tessivar.so" >&2; exit 1; }

q=(0.1 0.2 0.8 0.1 0.9 0.95 0.05 0.7)
set_points=()
for i in 0 1 2 3; do
  set_points+=(--set "Point $((i + 1)) X=${q[2 * i]}" --set "Point $((i + 1)) Y=${q[2 * i + 1]}")
done

echo "== frame: ffglrun bench, the benchmark quadrilateral, load $(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores"
printf "  %-10s %-7s %10s %10s %8s\n" "size" "guides" "module ms" "floor ms" "ratio"
for size in 1920x1080 3840x2160; do
  frames=60
  [ "$size" = 3840x2160 ] && frames=30
  for guides in off on; do
    "$ffglrun" bench "$module" --size "$size" --frames "$frames" "${set_points[@]}" --set "Show Guides=$guides" |
      awk -v size="$size" -v guides="$guides" '
        $1 == "module" { module = $3 }
        $1 == "floor" { floor = $3 }
        $1 == "ratio" { ratio = $2 }
        END { printf "  %-10s %-7s %10s %10s %8s\n", size, guides, module, floor, ratio }'
  done
done

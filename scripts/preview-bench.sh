#!/usr/bin/env bash
# Tessivar at 1920x1080 (grid pattern, guides off) through `ffglrun bench`
# and through `ffglrun preview` watched in headless chromium, one after the
# other in one run: the render's frames/s and ms per frame, the frames/s the
# page shows, and the time from a slider move to the picture that has it.
#   scripts/preview-bench.sh [BUILD]    (default build/release, built here)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
./scripts/install-browser-deps.sh
if [ "$build" = build/release ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target ffglrun Tessivar >/dev/null
fi
ffglrun="$PWD/$build/runner/ffglrun"
module="$PWD/$build/effect/Tessivar.so"
args=(--size 1920x1080 --set "Show Guides=off")
echo "== load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "== ffglrun bench"
"$ffglrun" bench "$module" "${args[@]}" --pattern grid --frames 60
echo "== ffglrun preview in chromium (--fps 1000: as fast as it renders)"
node tests/runner/preview/browser/measure.mjs "$ffglrun" "$module" "Point 2 X" --pattern grid --fps 1000 "${args[@]}"
echo "== ffglrun preview in chromium (--fps 30)"
node tests/runner/preview/browser/measure.mjs "$ffglrun" "$module" "Point 2 X" --pattern grid --fps 30 "${args[@]}"

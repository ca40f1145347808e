#!/usr/bin/env bash
# make demo: show what the built Tessivar module offers, then render a picture
# with transparent side bars through it for a few frames with the guides on:
# the first frame fits the four points to the opaque picture, and the events
# say where they went. The result is demo/tessivar.png.
set -euo pipefail
build=${1:-build/default}
ffglrun="$build/runner/ffglrun"
module="$build/effect/Tessivar.so"
out=demo/tessivar.png

for f in "$ffglrun" "$module"; do
  [ -e "$f" ] || { echo "demo: $f is missing; build first (make build)" >&2; exit 1; }
done

echo "== ffglrun info $module"
"$ffglrun" info "$module"
echo
echo "== render: alpha-bars pattern, 1280x720, 3 frames, guides on"
mkdir -p "$(dirname "$out")"
"$ffglrun" render "$module" --pattern alpha-bars --size 1280x720 --frames 3 \
  --set "Show Guides=on" --events --out "$out"
echo
echo "demo: wrote $(cd "$(dirname "$out")" && pwd)/$(basename "$out")"

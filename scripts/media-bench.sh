#!/usr/bin/env bash
# Video through ffglrun next to ffmpeg's own perspective filter: a 10-second
# 1920x1080 clip at 30 frames/s with audio is decoded, warped onto the same
# quadrilateral and encoded with the same encoder and settings, once per
# container ffglrun writes. Reports frames/s of each whole run (decode +
# render + encode) by the wall clock, and the CPU time each took per frame
# (user + system, all threads), which a busy machine disturbs less. The two
# tools run one after the other, row by row. A 4K row (.mp4, 60 frames)
# follows, and then ffglrun's own breakdown of each run by stage
# (ffglrun render --stats).
#
#   scripts/media-bench.sh [BUILD]      EXTS="mp4 mov" picks the containers,
#                                       NO_4K=1 leaves the 4K row out
set -euo pipefail
build=${1:-build/release}
ffglrun=$build/runner/ffglrun
module=$build/effect/Tessivar.so
exts=${EXTS:-mp4 mov mkv webm}
command -v ffmpeg >/dev/null || { echo "media-bench: needs the ffmpeg program" >&2; exit 1; }
[ -x "$ffglrun" ] && [ -f "$module" ] || { echo "media-bench: build $build has no ffglrun or Tessivar.so" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The clip at 1080p (10 s) and at 4K (2 s, .mp4 only: the row that shows
# how the costs grow with the picture).
ffmpeg -v error -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=10 \
  -f lavfi -i sine=frequency=440:duration=10 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$work/clip.mp4"
ffmpeg -v error -f lavfi -i testsrc2=size=3840x2160:rate=30:duration=2 \
  -f lavfi -i sine=frequency=440:duration=2 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$work/clip4k.mp4"
# WebM carries no AAC, and ffglrun copies audio unchanged: that run is silent.
ffmpeg -v error -i "$work/clip.mp4" -an -c copy "$work/silent.mp4"

# The quadrilateral, 0..1 from the top-left: points 1-4 clockwise from the
# top-left corner (Tessivar's order).
q=(0.10 0.08 0.92 0.05 0.95 0.90 0.06 0.94)
set_points=()
for i in 0 1 2 3; do
  set_points+=(--set "Point $((i + 1)) X=${q[2 * i]}" --set "Point $((i + 1)) Y=${q[2 * i + 1]}")
done
# ffmpeg names them top-left, top-right, bottom-left, bottom-right.
perspective="perspective=sense=destination:x0=${q[0]}*W:y0=${q[1]}*H:x1=${q[2]}*W:y1=${q[3]}*H"
perspective+=":x2=${q[6]}*W:y2=${q[7]}*H:x3=${q[4]}*W:y3=${q[5]}*H"

declare -A encoder=(
  [mp4]="libx264 -preset veryfast -crf 18 -pix_fmt yuv420p"
  [mov]="prores_ks -profile:v 4444 -pix_fmt yuva444p10le"
  [mkv]="ffv1 -pix_fmt bgra"
  [webm]="libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -crf 30 -b:v 0 -pix_fmt yuva420p"
)

# "WALL CPU" seconds of one command.
measure() {
  local TIMEFORMAT='%R %U %S' t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1) || { echo "media-bench: failed: $*" >&2; exit 1; }
  awk '{ print $1, $2 + $3 }' <<<"$t"
}
fps() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", n / s }'; }
cpu() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", 1000 * s / n }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# An older ffglrun, measured for a before-and-after, has no breakdown.
breakdown=1
"$ffglrun" render --help 2>/dev/null | grep -q -- --stats || breakdown=

# One row per container: ffglrun, then ffmpeg right after it on the same
# clip; ffglrun's own breakdown of the run goes to $work/stats-ROW.json.
rows=()
for ext in $exts; do rows+=("$ext 1080p"); done
[ -z "${NO_4K:-}" ] && rows+=("mp4 4K")
echo "== video: decode + warp + encode, the same clip, quad and encoder settings; load $(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores"
printf "  %-5s %-6s %-11s %12s %12s %9s %16s %16s %9s\n" "out" "size" "encoder" "ffglrun fps" "ffmpeg fps" "fps ratio" \
  "ffglrun cpu ms" "ffmpeg cpu ms" "cpu ratio"
for row in "${rows[@]}"; do
  read -r ext size <<<"$row"
  in=$work/clip.mp4 frames=300
  [ "$ext" = webm ] && in=$work/silent.mp4
  [ "$size" = 4K ] && in=$work/clip4k.mp4 frames=60
  stats=()
  [ -n "$breakdown" ] && stats=(--stats "$work/stats-$ext-$size.json")
  read -r aw ac < <(measure "$ffglrun" render "$module" --input "$in" --out "$work/ffglrun.$ext" \
    --set "Show Guides=off" "${set_points[@]}" "${stats[@]}")
  # shellcheck disable=SC2086
  read -r bw bc < <(measure ffmpeg -v error -y -i "$in" -vf "$perspective" -c:v ${encoder[$ext]} -c:a copy \
    "$work/ffmpeg.$ext")
  printf "  %-5s %-6s %-11s %12s %12s %9s %16s %16s %9s\n" "$ext" "$size" "${encoder[$ext]%% *}" \
    "$(fps $frames "$aw")" "$(fps $frames "$bw")" "$(ratio "$bw" "$aw")" "$(cpu $frames "$ac")" "$(cpu $frames "$bc")" \
    "$(ratio "$ac" "$bc")"
done
echo "  (fps ratio: ffglrun's frames/s over ffmpeg's; cpu ratio: ffglrun's CPU a frame over ffmpeg's)"

# Where ffglrun's time went: CPU ms a frame per stage, the libraries' worker
# threads counted with the stage that started them; the GL passes' shading
# runs on the renderer's threads, so on llvmpipe it shows under render.
[ -n "$breakdown" ] || exit 0
echo "== ffglrun's clip pipeline by stage (CPU ms a frame; which conversion ran each way)"
printf "  %-5s %-6s %7s %10s %7s %11s %7s %6s  %s\n" "out" "size" "decode" "convert in" "render" "convert out" "encode" \
  "other" "conversions (in / out)"
for row in "${rows[@]}"; do
  read -r ext size <<<"$row"
  python3 - "$work/stats-$ext-$size.json" "$ext" "$size" <<'PY'
import json, sys
s = json.load(open(sys.argv[1]))
c = s["cpu_ms_per_frame"]
print("  %-5s %-6s %7.1f %10.1f %7.1f %11.1f %7.1f %6.1f  %s / %s" % (
    sys.argv[2], sys.argv[3], c["decode"], c["convert_in"], c["render"], c["convert_out"], c["encode"], c["other"],
    s["convert_in"], s["convert_out"]))
PY
done

#!/usr/bin/env bash
# Video through ffglrun next to ffmpeg's own perspective filter: a 10-second
# 1920x1080 clip at 30 frames/s with audio is decoded, warped onto the same
# quadrilateral and encoded with the same encoder and settings, once per
# container ffglrun writes. Reports frames/s of each whole run (decode +
# render + encode) by the wall clock, and the CPU time each took per frame
# (user + system, all threads), which a busy machine disturbs less. The two
# tools run one after the other.
#
#   scripts/media-bench.sh [BUILD]      EXTS="mp4 mov" picks the containers
set -euo pipefail
build=${1:-build/release}
ffglrun=$build/runner/ffglrun
module=$build/effect/Tessivar.so
exts=${EXTS:-mp4 mov mkv webm}
command -v ffmpeg >/dev/null || { echo "media-bench: needs the ffmpeg program" >&2; exit 1; }
[ -x "$ffglrun" ] && [ -f "$module" ] || { echo "media-bench: build $build has no ffglrun or Tessivar.so" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frames=300
ffmpeg -v error -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=10 \
  -f lavfi -i sine=frequency=440:duration=10 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$work/clip.mp4"
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
fps() { awk -v n="$frames" -v s="$1" 'BEGIN { printf "%.1f", n / s }'; }
cpu() { awk -v n="$frames" -v s="$1" 'BEGIN { printf "%.0f", 1000 * s / n }'; }

echo "== video: ${frames} frames of 1920x1080, decode + warp + encode, load $(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores"
printf "  %-5s %-11s %12s %12s %16s %16s\n" "out" "encoder" "ffglrun fps" "ffmpeg fps" "ffglrun cpu ms" "ffmpeg cpu ms"
for ext in $exts; do
  in=$work/clip.mp4
  [ "$ext" = webm ] && in=$work/silent.mp4
  read -r aw ac < <(measure "$ffglrun" render "$module" --input "$in" --out "$work/ffglrun.$ext" \
    --set "Show Guides=off" "${set_points[@]}")
  # shellcheck disable=SC2086
  read -r bw bc < <(measure ffmpeg -v error -y -i "$in" -vf "$perspective" -c:v ${encoder[$ext]} -c:a copy \
    "$work/ffmpeg.$ext")
  printf "  %-5s %-11s %12s %12s %16s %16s\n" "$ext" "${encoder[$ext]%% *}" "$(fps "$aw")" "$(fps "$bw")" \
    "$(cpu "$ac")" "$(cpu "$bc")"
done

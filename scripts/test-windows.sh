#!/usr/bin/env bash
# make test-windows: cross-builds Tessivar.dll, the examples, ffglrun.exe and
# the suite with MinGW-w64 and runs the suite through Wine on a virtual X
# display (WGL on Mesa's llvmpipe), then checks that a picture and a clip come
# out of ffglrun.exe as they come out of ffglrun on Linux. The Wine prefix
# lives in build/windows-wine and is made on first use; the libraries FFmpeg,
# the preview and libpng need are cross-built once per machine
# (scripts/windows-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/windows-deps.sh
export PATH="$PATH:/usr/lib/wine"
export WINEPREFIX="$PWD/build/windows-wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cmake --preset windows
cmake --build --preset windows
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "test-windows: making the Wine prefix $WINEPREFIX"
  xvfb-run -a wine64 wineboot -i >/dev/null 2>&1 ||
    { echo "test-windows: Wine cannot make its prefix in $WINEPREFIX" >&2; exit 1; }
fi
# Each test starts its own Wine process: run as many as there are cores.
# Wine now and then fails to start one of several programs started at once
# (no output, exit within milliseconds); a test gets up to three starts, so a
# real failure, which repeats, still fails the run.
# One Wine session serves the whole suite: its server and Wine's own services
# start here, with their output going nowhere. Started by the first test
# instead, the services would keep that test's output pipes open for as long
# as the session lasts, and CTest would wait on it until its time-out.
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  wineserver -p && wine64 wineboot </dev/null >/dev/null 2>&1
  ctest --preset windows -j "$(nproc)" --repeat until-pass:3 "$@"
  status=$?
  wineserver -k
  exit $status' test-windows "$@"

# The same picture on both systems: one pattern, one quad, guides on, rendered
# by ffglrun + Tessivar.so here and by ffglrun.exe + Tessivar.dll under Wine;
# no channel may differ by more than 1/255.
linux=build/default
if [ ! -x "$linux/runner/ffglrun" ] || [ ! -f "$linux/effect/Tessivar.so" ]; then
  cmake --preset default >/dev/null && cmake --build --preset default --target ffglrun Tessivar >/dev/null
fi
same=build/windows/same-picture
rm -rf "$same" && mkdir -p "$same"
args=(--pattern grid --size 96x64 --set "Point 1 X=0.1" --set "Point 1 Y=0.2" --set "Point 2 X=0.9"
      --set "Point 2 Y=0.05" --set "Point 3 X=0.8" --set "Point 3 Y=0.95" --set "Point 4 X=0.15"
      --set "Point 4 Y=0.8" --set "Show Guides=1" --set "Auto Bounds=0")
"$linux/runner/ffglrun" render "$linux/effect/Tessivar.so" "${args[@]}" --raw-out > "$same/linux.rgba"
xvfb-run -a wine64 build/windows/runner/ffglrun.exe render build/windows/effect/Tessivar.dll "${args[@]}" \
  --raw-out > "$same/windows.rgba"
worst=$(paste <(od -An -v -tu1 -w1 "$same/linux.rgba") <(od -An -v -tu1 -w1 "$same/windows.rgba") |
  awk 'BEGIN { worst = 0 } NF != 2 { worst = 256; exit } { d = $1 - $2; if (d < 0) d = -d; if (d > worst) worst = d }
       END { print worst }')
bytes=$(stat -c %s "$same/linux.rgba")
if [ "$bytes" -ne $((96 * 64 * 4)) ] || [ "$worst" -gt 1 ]; then
  echo "test-windows: the pictures differ (largest channel difference $worst/255, $bytes bytes; see $same)" >&2
  exit 1
fi
echo "test-windows: same picture on Linux and Windows (largest channel difference $worst/255)"

# The same clip on both systems: a small clip with sound, through the identity
# quad and through the benchmark quad, into .mov (ProRes 4444 with the sound
# copied) by ffglrun here and ffglrun.exe under Wine. Decoded by the same
# ffmpeg, the frames may differ by 1/255 at most, the frames' times and the
# sound's packets not at all.
clip=build/windows/same-clip
rm -rf "$clip" && mkdir -p "$clip"
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=96x64:rate=10 -f lavfi -i sine=frequency=330:sample_rate=48000 \
  -t 1.2 -c:v libx264 -pix_fmt yuv420p -c:a aac "$clip/in.mp4"
q=(0.1 0.2 0.8 0.1 0.9 0.95 0.05 0.7)  # the frame benchmarks' quadrilateral
bench=()
for i in 0 1 2 3; do bench+=(--set "Point $((i + 1)) X=${q[2 * i]}" --set "Point $((i + 1)) Y=${q[2 * i + 1]}"); done
fail_clip() { echo "test-windows: the clips differ through the $1 quad: $2 (see $clip)" >&2; exit 1; }
for quad in identity bench; do
  args=(--input "$clip/in.mp4" --set "Show Guides=off" --set "Auto Bounds=off")
  if [ "$quad" = identity ]; then args+=(--set "Input Aspect=1.5"); else args+=("${bench[@]}"); fi
  "$linux/runner/ffglrun" render "$linux/effect/Tessivar.so" "${args[@]}" --out "$clip/$quad-linux.mov"
  xvfb-run -a wine64 build/windows/runner/ffglrun.exe render build/windows/effect/Tessivar.dll "${args[@]}" \
    --out "$clip/$quad-windows.mov"
  for os in linux windows; do
    out=$clip/$quad-$os
    ffmpeg -nostdin -v error -i "$out.mov" -map 0:v -f rawvideo -pix_fmt rgba "$out.rgba"
    ffprobe -v error -select_streams v -show_entries frame=pts_time -of csv=p=0 "$out.mov" > "$out.times"
    ffmpeg -nostdin -v error -i "$out.mov" -map 0:a -c copy -f md5 - > "$out.sound"
  done
  a=$clip/$quad-linux b=$clip/$quad-windows
  [ -s "$a.rgba" ] && [ "$(stat -c %s "$a.rgba")" = "$(stat -c %s "$b.rgba")" ] || fail_clip $quad "not the same number of frames"
  # (cmp -l lists each differing byte's values in octal.)
  worst=$({ cmp -l "$a.rgba" "$b.rgba" || true; } |
    awk 'function oct(s,  v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 8 + substr(s, i, 1); return v }
         BEGIN { w = 0 } { d = oct($2) - oct($3); if (d < 0) d = -d; if (d > w) w = d } END { print w }')
  [ "$worst" -le 1 ] || fail_clip $quad "a channel differs by $worst/255"
  cmp -s "$a.times" "$b.times" || fail_clip $quad "the frames' times differ"
  [ -s "$a.sound" ] && cmp -s "$a.sound" "$b.sound" || fail_clip $quad "the sound is not carried the same way"
  echo "test-windows: same clip on Linux and Windows through the $quad quad ($(wc -l < "$a.times") frames, largest channel difference $worst/255, the same times and sound)"
done

#!/usr/bin/env bash
# make test-windows: cross-builds Tessivar.dll, the examples, ffglrun.exe and
# the suite with MinGW-w64 and runs the suite through Wine on a virtual X
# display (WGL on Mesa's llvmpipe). The Wine prefix lives in build/windows-wine
# and is made on first use.
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
xvfb-run -a -s "-screen 0 640x480x24" ctest --preset windows -j "$(nproc)" --repeat until-pass:3 "$@"

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

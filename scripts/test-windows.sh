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
xvfb-run -a -s "-screen 0 640x480x24" ctest --preset windows "$@"

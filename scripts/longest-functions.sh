#!/usr/bin/env bash
# The longest functions of the tracked C and C++ sources outside tests/ and
# fuzz/, longest first: lines from the signature to the closing brace (a
# lambda counts in the function that holds it), as Universal Ctags reads
# them.
#
#   scripts/longest-functions.sh        the ten longest
#   scripts/longest-functions.sh N      the N longest
#
# A function that outgrows a screen (80 lines) becomes named steps. The one
# exception is host/FFGL.cpp's Dispatch, plugMain's switch over the function
# codes: a table written as a switch, one line a code.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v ctags >/dev/null || ! ctags --version | grep -q Universal; then
  ./scripts/install-deps.sh universal-ctags
fi
git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp' ':!tests/**' ':!fuzz/**' |
  xargs ctags --languages=C,C++ --kinds-C=f --kinds-C++=f --fields=+ne -o - |
  awk -F'\t' '{
    start = ""; end = ""
    for (i = 4; i <= NF; ++i) {
      if ($i ~ /^line:/) start = substr($i, 6)
      if ($i ~ /^end:/) end = substr($i, 5)
    }
    if (start != "" && end != "") printf "%d\t%s:%s\t%s\n", end - start + 1, $2, start, $1
  }' |
  sort -rn | head -n "${1:-10}"

#!/usr/bin/env bash
# make demo: show what the built Tessivar module offers and render through it.
set -euo pipefail
build=${1:-build/default}
echo "demo: not wired yet; the runner will render here." >&2
ls "$build"/effect/Tessivar.so 2>/dev/null || true

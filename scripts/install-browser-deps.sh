#!/usr/bin/env bash
# Installs what the preview's browser tests need: Debian's chromium, Node.js
# and npm where they are missing, and puppeteer-core at the version pinned in
# tests/runner/preview/browser/package-lock.json, into that folder's
# node_modules (not committed). Does nothing when all of it is in place.
set -euo pipefail
cd "$(dirname "$0")/.."

extra=(chromium)
command -v node >/dev/null || extra+=(nodejs)
command -v npm >/dev/null || extra+=(npm)
./scripts/install-deps.sh "${extra[@]}"

dir=tests/runner/preview/browser
stamp="$dir/node_modules/.installed-from-lock"
if ! cmp -s "$dir/package-lock.json" "$stamp" 2>/dev/null; then
  echo "install-browser-deps: npm ci in $dir"
  npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error
  cp "$dir/package-lock.json" "$stamp"
fi

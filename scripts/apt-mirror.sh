#!/usr/bin/env bash
# Prints the package mirror this machine's apt is configured with, and the
# distribution it follows, so that scripts fetching packages or source
# packages go where the machine already goes (its own mirror, proxy or
# snapshot) instead of a host name written into the repository.
#
#   scripts/apt-mirror.sh          the archive's URI, e.g. http://host/debian
#   scripts/apt-mirror.sh suite    the machine's own suite, e.g. bookworm
#   scripts/apt-mirror.sh vendor   debian or ubuntu (from /etc/os-release)
#
# Reads both forms apt takes: deb822 files (*.sources) and one-line lists
# (sources.list, *.list). Security and update suites are passed over: they
# hold only the packages that changed. Exits 1 with one line when apt has no
# usable entry.
set -euo pipefail
want=${1:-uri}

entries() {  # one "URI SUITE" line per configured binary or source entry
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # A deb822 stanza ends at a blank line; comments start with '#'.
    awk 'function flush() { if (uri != "" && suites != "" && enabled) { n = split(suites, s, " "); for (i = 1; i <= n; i++) print uri, s[i] } uri = ""; suites = ""; enabled = 1 }
         BEGIN { enabled = 1 }
         /^[[:space:]]*#/ { next }
         /^[[:space:]]*$/ { flush(); next }
         tolower($1) == "uris:" { uri = $2 }
         tolower($1) == "suites:" { $1 = ""; suites = $0 }
         tolower($1) == "enabled:" && tolower($2) == "no" { enabled = 0 }
         END { flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    # deb [options] URI SUITE COMPONENTS...
    awk '$1 == "deb" || $1 == "deb-src" { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } print $i, $(i + 1) }' "$f"
  done
}

main=$(entries | awk '$2 !~ /-(security|updates|backports|proposed)$/ && $2 !~ /\// { print; exit }')
if [ -z "$main" ]; then
  echo "apt-mirror: no package archive found in /etc/apt/sources.list or /etc/apt/sources.list.d" >&2
  exit 1
fi
case "$want" in
  uri) echo "${main%% *}" ;;
  suite) echo "${main##* }" ;;
  vendor) (. /etc/os-release && echo "${ID:-debian}") ;;
  *) echo "apt-mirror: unknown request '$want' (uri, suite or vendor)" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# FFmpeg's headers as a Debian suite carries them, without installing
# anything: the -dev packages of libavcodec, libavformat, libavutil,
# libswscale, libswresample and libavfilter are fetched with apt-get download
# from the archive this machine's apt uses (scripts/apt-mirror.sh), with
# private package lists, and unpacked into
# ~/.cache/tessivar/ffmpeg-headers/VERSION (XDG_CACHE_HOME is honoured),
# where reruns and other trees find them. The lists are read again on every
# run (a few seconds), so a new upload to the suite is fetched.
#
#   scripts/ffmpeg-headers.sh SUITE    prints "VERSION INCLUDE-FOLDER", the
#                                      folder holding libavcodec/ and the rest
#
# Used by scripts/ffmpeg-header-check.sh and scripts/build-macos.sh. Exits 1
# with one line naming the suite and what failed.
set -euo pipefail
cd "$(dirname "$0")/.."
suite=${1:?usage: scripts/ffmpeg-headers.sh SUITE}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tessivar/ffmpeg-headers
packages=(libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev)
fail() { echo "ffmpeg-headers: $suite: $*" >&2; exit 1; }

lists="$cache/apt-$suite"
mkdir -p "$lists/lists/partial"
# Two trees fetching at once share the lists and the unpacked headers.
exec 9>"$lists/lock"
flock 9
mirror=$(./scripts/apt-mirror.sh uri) || fail "no package archive in this machine's apt sources"
printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\n' "$mirror" "$suite" > "$lists/suite.sources"
apt=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$lists" -o "Dir::State::Lists=$lists/lists"
     -o "Dir::Cache=$lists/cache" -o Dir::State::status=/dev/null -o Debug::NoLocking=1
     -o APT::Sandbox::User="$(id -un)" -o "APT::Architecture=$(dpkg --print-architecture)")
apt-get "${apt[@]}" -qq update >"$lists/update.log" 2>&1 ||
  fail "cannot read the package lists from $mirror (see $lists/update.log)"
version=$(apt-cache "${apt[@]}" show --no-all-versions libavcodec-dev 2>/dev/null | sed -n 's/^Version: //p' | head -1)
[ -n "$version" ] || fail "no libavcodec-dev in $mirror"
dir="$cache/${version//[:~]/_}"
if [ ! -f "$dir/.complete" ]; then
  tmp=$(mktemp -d "$cache/fetch.XXXXXX")
  trap 'rm -rf "$tmp"' EXIT
  (cd "$tmp" && apt-get "${apt[@]}" -qq download "${packages[@]/%/=$version}") >"$tmp/download.log" 2>&1 ||
    fail "cannot download FFmpeg $version's -dev packages: $(tail -1 "$tmp/download.log")"
  for deb in "$tmp"/*.deb; do dpkg-deb -x "$deb" "$tmp/root"; done
  rm -rf "$dir" && mv "$tmp/root" "$dir"
  echo "$version" > "$dir/.complete"
fi
avcodec=$(find "$dir/usr/include" -path '*/libavcodec/avcodec.h' | head -1)
[ -n "$avcodec" ] || fail "FFmpeg $version's packages hold no libavcodec/avcodec.h"
echo "$version $(dirname "$(dirname "$avcodec")")"

#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Does nothing when they are all present; uses sudo when not run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libcli11-dev nlohmann-json3-dev libcpp-httplib-dev libturbojpeg0-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev
  ffmpeg  # the media tests make their small clips with it
  libegl-dev libegl-mesa0 libgl1-mesa-dri libopengl-dev libgl-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null; then
  echo "install-deps: missing packages (${missing[*]}) and no apt-get on this machine" >&2
  exit 1
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

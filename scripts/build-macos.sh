#!/usr/bin/env bash
# make build-macos: Tessivar.bundle and every example bundle for macOS,
# universal (x86_64 + arm64), cross-built here and checked:
#   1. the toolchain (scripts/macos-toolchain.sh: zig, pinned, and Debian's
#      ld64.lld and LLVM tools), made once into build/macos-toolchain;
#   2. the headers ffglrun's sources need, in build/macos-host-headers:
#      Khronos' GL header (Apple's comes only with Xcode), libpng, CLI11,
#      nlohmann-json, cpp-httplib and libjpeg-turbo from this machine's
#      packages, and the newest FFmpeg Debian carries (its development
#      suite's, scripts/ffmpeg-headers.sh), which Homebrew's is closest to;
#   3. one build tree per architecture (presets macos-x86_64, macos-arm64,
#      Release): the modules, and every source of ffglrun the macOS job
#      builds (the CGL context, the Darwin heap reader, the commands, the
#      media room, the preview, ...) compiled with our warnings, not linked;
#   4. each bundle put together in build/macos/: the folder with its
#      Info.plist, and both architectures joined into one binary (lipo);
#   5. tests/host/MachOCheck.cmake on every bundle: both architectures, a
#      loadable bundle for macOS 11.0, the host-facing exports only, system
#      libraries only, the arm64 code signed, the Info.plist of a bundle.
# Any failure, a broken export list or a stray import among them, ends the
# run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
minimum=11.0  # the oldest macOS the bundles load into, on both architectures
toolchain=$PWD/build/macos-toolchain
out=build/macos

./scripts/install-deps.sh
./scripts/macos-toolchain.sh "$toolchain"

# (Made beside the last and put in its place only when something differs, so
# an unchanged folder keeps its times and nothing is compiled again.)
headers=$PWD/build/macos-host-headers
fresh=$headers.new
rm -rf "$fresh" && mkdir -p "$fresh/GL"
cp -L /usr/include/GL/glcorearb.h "$fresh/GL/"
cp -L /usr/include/png.h /usr/include/pngconf.h /usr/include/pnglibconf.h /usr/include/httplib.h \
  /usr/include/turbojpeg.h "$fresh/"
cp -RL /usr/include/KHR /usr/include/CLI /usr/include/nlohmann "$fresh/"
ffmpeg=$(./scripts/ffmpeg-headers.sh sid) || { echo "build-macos: no FFmpeg headers to compile the media room against" >&2; exit 1; }
read -r ffmpeg_version ffmpeg_include <<<"$ffmpeg"
for lib in libavcodec libavformat libavutil libswscale libswresample libavfilter; do
  ln -s "$ffmpeg_include/$lib" "$fresh/$lib"
done
if diff -rq "$fresh" "$headers" >/dev/null 2>&1; then
  rm -rf "$fresh"
else
  rm -rf "$headers" && mv "$fresh" "$headers"
fi
echo "build-macos: ffglrun's sources compiled against FFmpeg ${ffmpeg_version#*:}'s headers"

for arch in x86_64 arm64; do
  cmake --preset "macos-$arch" >/dev/null
  cmake --build --preset "macos-$arch"
done

rm -rf "$out" && mkdir -p "$out"
bundles=()
for arm in build/macos-arm64/effect/*.bundle build/macos-arm64/examples/*.bundle; do
  [ -d "$arm" ] || continue
  name=$(basename "$arm" .bundle)
  intel=build/macos-x86_64/${arm#build/macos-arm64/}
  [ -d "$intel" ] || { echo "build-macos: $name.bundle was built for arm64 only" >&2; exit 1; }
  cp -R "$arm" "$out/"
  "$toolchain/bin/llvm-lipo" -create "$intel/Contents/MacOS/$name" "$arm/Contents/MacOS/$name" \
    -output "$out/$name.bundle/Contents/MacOS/$name"
  bundles+=("$PWD/$out/$name.bundle")
done
[ -d "$out/Tessivar.bundle" ] || { echo "build-macos: no Tessivar.bundle was built" >&2; exit 1; }

list=$(IFS=';'; echo "${bundles[*]}")
cmake -DLIPO="$toolchain/bin/llvm-lipo" -DOBJDUMP="$toolchain/bin/llvm-objdump" -DBUNDLES="$list" \
  -DMINIMUM="$minimum" -P tests/host/MachOCheck.cmake
echo "build-macos: ${#bundles[@]} universal bundles in $out"

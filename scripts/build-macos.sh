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
#      libraries only, the arm64 code signed, the Info.plist of a bundle;
#   5. the kit as a plugin author on a Mac gets it (tests/kit does the same
#      on Linux and Windows): installed into build/macos-kit/prefix with
#      universal libraries, each template built against it as a project of
#      its own (once per architecture, with the same toolchain) and joined,
#      and checked as in 4.
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

# 5. The kit: one prefix, each library of both architectures (as a Mac's own
# build makes them), then the templates from it.
kit=$PWD/build/macos-kit
rm -rf "$kit"
cmake --install build/macos-arm64 --component kit --prefix "$kit/prefix" >/dev/null
cmake --install build/macos-x86_64 --component kit --prefix "$kit/x86_64" >/dev/null
while IFS= read -r lib; do
  "$toolchain/bin/llvm-lipo" -create "$kit/x86_64/$lib" "$kit/prefix/$lib" -output "$kit/prefix/$lib"
done < <(cd "$kit/prefix" && find lib -name '*.a' -o -name '*.o')
rm -rf "$kit/x86_64"
templates=()
for type in effect mixer source; do
  cp -R "$kit/prefix/share/tessivar/templates/$type" "$kit/$type"
  name=$(sed -n 's/^add_ffgl_plugin(\([A-Za-z0-9_]*\) .*/\1/p' "$kit/$type/CMakeLists.txt")
  for arch in x86_64 arm64; do
    cmake -S "$kit/$type" -B "$kit/$type-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/macos-cross.cmake" -DTESSIVAR_MACOS_ARCH=$arch \
      -DTESSIVAR_MACOS_TOOLCHAIN="$toolchain" -DTessivar_DIR="$kit/prefix/lib/cmake/Tessivar" >/dev/null ||
      { echo "build-macos: the $type template does not configure for $arch against the kit" >&2; exit 1; }
    cmake --build "$kit/$type-$arch" >/dev/null ||
      { echo "build-macos: the $type template does not build for $arch against the kit" >&2; exit 1; }
  done
  cp -R "$kit/$type-arm64/$name.bundle" "$kit/"
  "$toolchain/bin/llvm-lipo" -create "$kit/$type-x86_64/$name.bundle/Contents/MacOS/$name" \
    "$kit/$type-arm64/$name.bundle/Contents/MacOS/$name" -output "$kit/$name.bundle/Contents/MacOS/$name"
  templates+=("$kit/$name.bundle")
done
list=$(IFS=';'; echo "${templates[*]}")
cmake -DLIPO="$toolchain/bin/llvm-lipo" -DOBJDUMP="$toolchain/bin/llvm-objdump" -DBUNDLES="$list" \
  -DMINIMUM="$minimum" -P tests/host/MachOCheck.cmake
echo "build-macos: ${#templates[@]} templates built against the installed kit in $kit"

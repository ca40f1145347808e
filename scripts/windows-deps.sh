#!/usr/bin/env bash
# Everything the Windows cross build needs, for `make test-windows`:
#   - Debian packages: the MinGW-w64 compiler (posix threads), Wine, Xvfb,
#     xauth, zlib for MinGW;
#   - libpng built for MinGW (Debian ships none) from Debian's own source
#     package, static, into PREFIX (default build/windows-deps);
#   - the header-only CLI11 and nlohmann-json copied into PREFIX, so the cross
#     build never sees the build machine's /usr/include.
# Prints one line naming what is missing and exits non-zero if it cannot.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-$PWD/build/windows-deps}

# (Debian's wine64 package keeps the program in /usr/lib/wine.)
export PATH="$PATH:/usr/lib/wine"
tools=(x86_64-w64-mingw32-g++-posix wine64 xvfb-run xauth)
packages=(g++-mingw-w64-x86-64-posix wine64 xvfb xauth libz-mingw-w64-dev libcli11-dev nlohmann-json3-dev dpkg-dev)
if ! ./scripts/install-deps.sh "${packages[@]}" >/dev/null 2>&1; then
  missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "windows-deps: cannot install ${missing[*]:-the Windows build tools}" >&2
  exit 1
fi
for t in "${tools[@]}"; do
  command -v "$t" >/dev/null || { echo "windows-deps: $t not found after installing its package" >&2; exit 1; }
done

mkdir -p "$prefix/include" "$prefix/share/cmake"
for pkg in CLI11 nlohmann_json; do
  rm -rf "$prefix/share/cmake/$pkg" && cp -r "/usr/share/cmake/$pkg" "$prefix/share/cmake/"
done
for dir in CLI nlohmann; do
  rm -rf "$prefix/include/$dir" && cp -r "/usr/include/$dir" "$prefix/include/"
done

[ -f "$prefix/lib/libpng.a" ] && exit 0
src="$prefix/src"
mkdir -p "$src/apt/lists"
if ! ls "$src"/libpng1.6_*.orig.tar.* >/dev/null 2>&1; then
  # The source package comes from the archive and suite this machine's apt
  # already uses (Debian's or Ubuntu's own libpng), verified by its keyring.
  mirror=$(./scripts/apt-mirror.sh uri) && suite=$(./scripts/apt-mirror.sh suite) ||
    { echo "windows-deps: no package archive in this machine's apt sources to fetch libpng's source from" >&2; exit 1; }
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n' "$mirror" "$suite" > "$src/apt/src.sources"
  apt=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$src/apt" -o "Dir::State::Lists=$src/apt/lists"
       -o Debug::NoLocking=1)
  # Only the upstream tarball is built (--tar-only): the .dsc and Debian's
  # patches are not needed, and a mirror that lacks them must not stop us.
  (cd "$src" && apt-get "${apt[@]}" -qq update && apt-get "${apt[@]}" -qq source --download-only --tar-only libpng1.6) \
    >"$src/fetch-libpng.log" 2>&1 ||
    { echo "windows-deps: cannot download Debian's libpng1.6 source package from $mirror $suite:" \
        "$(grep -E '^(E|Err):' "$src/fetch-libpng.log" | head -1)" >&2; exit 1; }
fi
rm -rf "$src/libpng" && mkdir -p "$src/libpng"
tar -xf "$src"/libpng1.6_*.orig.tar.* -C "$src/libpng" --strip-components=1
cmake -S "$src/libpng" -B "$src/libpng-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON \
  -DSKIP_INSTALL_FILES=ON >/dev/null ||
  { echo "windows-deps: libpng does not configure for MinGW (see $src/libpng-build)" >&2; exit 1; }
cmake --build "$src/libpng-build" --target install >/dev/null ||
  { echo "windows-deps: libpng does not build for MinGW (see $src/libpng-build)" >&2; exit 1; }

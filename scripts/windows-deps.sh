#!/usr/bin/env bash
# Everything the Windows cross build needs, for `make test-windows`:
#   - Debian packages: the MinGW-w64 compiler (posix threads), Wine, Xvfb,
#     xauth, zlib for MinGW, nasm for the codecs' assembly;
#   - the libraries Debian ships for Linux only, cross-built for MinGW from
#     Debian's own source packages (Debian's patches applied), static: libpng;
#     x264, libvpx (VP9 only, with its deep profiles) and Opus, the encoders
#     behind .mp4, .webm and .webm's audio; FFmpeg with just the containers,
#     codecs, parsers and filters ffglrun reads and writes; libjpeg-turbo's
#     TurboJPEG and cpp-httplib's single header for the preview;
#   - the header-only CLI11 and nlohmann-json copied beside them, so the cross
#     build never sees the build machine's /usr/include.
#
# The result is built once per machine into a cache outside the work tree,
#   ${XDG_CACHE_HOME:-~/.cache}/tessivar/windows-deps/<key>
# where the key names the source packages' versions, the compilers' and the
# configuration below, so every worktree and every later run reuses it, and a
# new Debian upload or a changed option builds a new one beside it.
# build/windows-deps (the windows preset's TESSIVAR_WINDOWS_PREFIX) is made a
# link to it. The first build prints how long it took.
#
# Prints one line naming what is missing and exits non-zero if it cannot.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cache=${TESSIVAR_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tessivar/windows-deps}
link=$root/build/windows-deps
jobs=$(nproc)

fail() { echo "windows-deps: $*" >&2; exit 1; }

# ---------------------------------------------------------------------------
# The tools, from Debian. (Debian's wine64 package keeps the program in
# /usr/lib/wine.)
export PATH="$PATH:/usr/lib/wine"
tools=(x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix wine64 xvfb-run xauth nasm)
packages=(g++-mingw-w64-x86-64-posix wine64 xvfb xauth libz-mingw-w64-dev libcli11-dev nlohmann-json3-dev dpkg-dev nasm)
if ! ./scripts/install-deps.sh "${packages[@]}" >/dev/null 2>&1; then
  missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  fail "cannot install ${missing[*]:-the Windows build tools}"
fi
for t in "${tools[@]}"; do
  command -v "$t" >/dev/null || fail "$t not found after installing its package"
done

# ---------------------------------------------------------------------------
# What each library is built with. These lists are part of the cache key.
mingw=x86_64-w64-mingw32
cc=$mingw-gcc-posix
cxx=$mingw-g++-posix

# x264: the library alone, 8 and 10 bits (a deep clip into .mp4 is 10-bit).
x264_flags=(--host=$mingw --cross-prefix=$mingw- --enable-static --disable-cli --disable-opencl --disable-avs
  --disable-swscale --disable-lavf --disable-ffms --disable-gpac --disable-lsmash --bit-depth=all)
# libvpx: VP9 only (encoder for .webm, decoder for its alpha), with the deep
# profiles .webm takes from a 10- or 12-bit clip; no programs, tests or docs.
vpx_flags=(--target=x86_64-win64-gcc --as=nasm --disable-vp8 --enable-vp9 --enable-vp9-highbitdepth
  --disable-examples --disable-tools --disable-docs --disable-unit-tests --disable-libyuv --disable-webm-io
  --disable-postproc --enable-static --disable-shared --disable-install-bins --disable-install-srcs)
# Opus: the encoder a track is re-encoded with for .webm. (Its configure
# turns on _FORTIFY_SOURCE, whose checked calls need MinGW's libssp.)
opus_flags=(--host=$mingw "CFLAGS=-O2 -D_FORTIFY_SOURCE=0" --enable-static --disable-shared --disable-doc --disable-extra-programs
  --disable-stack-protector)
# FFmpeg: the libraries only, nothing found by itself (no zlib, no Windows
# media or GPU APIs), and of the components just what ffglrun's clips need:
#   the README's containers both ways (.mov/.mp4, .mkv/.webm), and sound
#   files for --audio (WAV, MP3, FLAC, Ogg, AAC); no zlib, so no PNG
#   decoder (pictures come through libpng) nor zlib-packed Matroska tracks;
#   decoders for what those carry from cameras, phones and our own encoders,
#   libvpx's VP9 decoder for WebM's alpha; encoders behind each extension;
#   the parsers the demuxers lean on; the filters that stand a turned clip
#   upright (and the ones a filter graph adds by itself).
ffmpeg_components=(
  --enable-protocol=file,pipe
  --enable-demuxer=mov,matroska,wav,mp3,flac,ogg,aac
  --enable-muxer=mov,mp4,matroska,webm
  --enable-decoder=h264,hevc,mpeg4,vp8,vp9,libvpx_vp9,prores,ffv1,mjpeg,rawvideo
  --enable-decoder=aac,opus,vorbis,mp3float,flac,alac
  --enable-decoder=pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_f32le,pcm_f64le
  --enable-encoder=prores_ks,ffv1,libvpx_vp9,libx264,aac,libopus
  --enable-parser=h264,hevc,mpeg4video,vp8,vp9,aac,opus,vorbis,mpegaudio,flac,mjpeg
  --enable-filter=transpose,hflip,vflip,rotate,format,scale,null,aformat,anull,aresample
)
ffmpeg_flags=(--target-os=mingw32 --arch=x86_64 --cross-prefix=$mingw- --cc=$cc --cxx=$cxx
  --pkg-config=pkg-config --pkg-config-flags=--static --enable-static --disable-shared
  --disable-programs --disable-doc --disable-avdevice --disable-postproc --disable-network --disable-debug
  --disable-autodetect --enable-w32threads --disable-everything
  --enable-gpl --enable-libx264 --enable-libvpx --enable-libopus "${ffmpeg_components[@]}")
# libjpeg-turbo: TurboJPEG alone, static, with its SIMD.
jpeg_flags=(-DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DREQUIRE_SIMD=ON -DWITH_JAVA=OFF)
png_flags=(-DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON
  -DSKIP_INSTALL_FILES=ON)
sources=(libpng1.6 x264 libvpx opus ffmpeg libjpeg-turbo cpp-httplib)
# Raise when a build step changes in a way the lists above do not show.
recipe=1

# ---------------------------------------------------------------------------
# The source packages' versions, from the archive and suite this machine's
# apt already uses (Debian's or Ubuntu's own), verified by its keyring. The
# index is kept in the cache and looked at again once a day.
mkdir -p "$cache/src/apt/lists"
src=$cache/src
apt=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$src/apt" -o "Dir::State::Lists=$src/apt/lists"
     -o Debug::NoLocking=1)
if [ ! -f "$src/apt/src.sources" ] || [ -z "$(find "$src/apt/lists" -name '*Sources*' -mmin -1440 2>/dev/null)" ]; then
  mirror=$(./scripts/apt-mirror.sh uri) && suite=$(./scripts/apt-mirror.sh suite) ||
    fail "no package archive in this machine's apt sources to fetch the libraries' sources from"
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n' "$mirror" "$suite" > "$src/apt/src.sources"
  # An old index still serves when the archive cannot be reached.
  apt-get "${apt[@]}" -qq update >"$src/apt/update.log" 2>&1 || [ -n "$(find "$src/apt/lists" -name '*Sources*')" ] ||
    fail "cannot read the source index of $mirror $suite: $(grep -E '^(E|Err):' "$src/apt/update.log" | head -1)"
fi
declare -A version
for p in "${sources[@]}"; do
  version[$p]=$(apt-cache "${apt[@]}" showsrc "$p" 2>/dev/null | awk '/^Version:/ && v == "" { v = $2 } END { print v }')
  [ -n "${version[$p]}" ] || fail "no source package $p in the archive's index"
done

describe() {
  for p in "${sources[@]}"; do echo "$p ${version[$p]}"; done
  dpkg-query -W gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev nasm cmake \
    libcli11-dev nlohmann-json3-dev 2>/dev/null
  echo "recipe $recipe"
  echo "x264 ${x264_flags[*]}"; echo "vpx ${vpx_flags[*]}"; echo "opus ${opus_flags[*]}"
  echo "ffmpeg ${ffmpeg_flags[*]}"; echo "jpeg ${jpeg_flags[*]}"; echo "png ${png_flags[*]}"
  sha256sum cmake/mingw-w64-x86_64.cmake | cut -d' ' -f1
}
v=${version[ffmpeg]#*:}
key=ffmpeg-${v%%-*}-$(describe | sha256sum | cut -c1-12)
prefix=$cache/$key

point_link() {
  mkdir -p "$(dirname "$link")"
  # (An older tree kept the libraries in a folder of its own here.)
  [ -L "$link" ] || rm -rf "$link"
  ln -sfn "$prefix" "$link"
}
if [ -f "$prefix/stamp" ]; then
  point_link
  exit 0
fi

# ---------------------------------------------------------------------------
# Build, once: another worktree building the same key at the same time waits
# here and then finds it made.
exec 9>"$cache/lock"
flock 9
if [ -f "$prefix/stamp" ]; then
  point_link
  exit 0
fi
started=$SECONDS
echo "windows-deps: building FFmpeg ${version[ffmpeg]}, x264, libvpx, Opus, libjpeg-turbo and libpng for MinGW-w64"
echo "windows-deps: once per machine, into $prefix (logs in $prefix/logs)"
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/share/cmake" "$prefix/logs"
work=$cache/work-$key
rm -rf "$work" && mkdir -p "$work"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=

# Downloads (once) and unpacks a source package with Debian's patches. A
# mirror that lacks the package's .dsc still has its upstream tarball
# (--tar-only): that is built then, without Debian's patches.
unpack() {
  local p=$1 v=${version[$p]#*:} dsc tar log=$prefix/logs/fetch-$p.log
  dsc=$src/${p}_$v.dsc
  upstream() { find "$src" -maxdepth 1 -name "${p}_${v%-*}.orig.tar.*" ! -name '*.asc' | head -1; }
  if [ ! -f "$dsc" ] && [ -z "$(upstream)" ]; then
    (cd "$src" && apt-get "${apt[@]}" -qq source --download-only "$p=${version[$p]}") >"$log" 2>&1 ||
      (cd "$src" && apt-get "${apt[@]}" -qq source --download-only --tar-only "$p=${version[$p]}") >>"$log" 2>&1 ||
      fail "cannot download Debian's $p source package: $(grep -E '^(E|Err):' "$log" | head -1) (see $log)"
  fi
  if [ -f "$dsc" ]; then
    dpkg-source --no-check -x "$dsc" "$work/$p" >"$prefix/logs/unpack-$p.log" 2>&1 ||
      fail "cannot unpack $dsc (see $prefix/logs/unpack-$p.log)"
  else
    tar=$(upstream)
    echo "windows-deps:   $p: no .dsc on the mirror, building its upstream tarball without Debian's patches"
    mkdir -p "$work/$p" && tar -xf "$tar" -C "$work/$p" --strip-components=1 || fail "cannot unpack $tar"
  fi
}
# Runs one build step niced, its output in the library's log.
step() {
  local p=$1 what=$2; shift 2
  nice "$@" >>"$prefix/logs/$p.log" 2>&1 || fail "$p does not $what for MinGW (see $prefix/logs/$p.log)"
}
cmake_lib() {  # a CMake project, cross-compiled and installed
  local p=$1; shift
  step "$p" configure cmake -S "$work/$p" -B "$work/$p-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTESSIVAR_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
}

# Each step's time, and the CPU seconds its programs took: on a machine
# shared with other builds the second says what the build costs.
# (times reports on this shell's own children only in this shell, not in a
# subshell: hence a file, not $(times).)
cpu() {
  times > "$cache/times.$$"
  cpu_now=$(awk 'NR == 2 { split($1, u, /[ms]/); split($2, k, /[ms]/); print int(u[1] * 60 + u[2] + k[1] * 60 + k[2]) }' "$cache/times.$$")
  rm -f "$cache/times.$$"
}
cpu
lap=$SECONDS cpu_lap=$cpu_now cpu_start=$cpu_now
timed() {
  cpu
  echo "windows-deps:   $1 $((SECONDS - lap)) s (CPU $((cpu_now - cpu_lap)) s)"
  lap=$SECONDS cpu_lap=$cpu_now
}

for p in "${sources[@]}"; do unpack "$p"; done
timed "sources"

cmake_lib libpng1.6 "${png_flags[@]}"
step libpng1.6 build cmake --build "$work/libpng1.6-build" --target install
timed "libpng"

step x264 configure env -C "$work/x264" CC=$cc ./configure --prefix="$prefix" "${x264_flags[@]}"
step x264 build make -C "$work/x264" -j"$jobs"
step x264 install make -C "$work/x264" install-lib-static
timed "x264"

step libvpx configure env -C "$work/libvpx" CROSS=$mingw- CC=$cc CXX=$cxx ./configure --prefix="$prefix" "${vpx_flags[@]}"
step libvpx build make -C "$work/libvpx" -j"$jobs"
step libvpx install make -C "$work/libvpx" install
timed "libvpx"

step opus configure env -C "$work/opus" ./configure --prefix="$prefix" CC=$cc "${opus_flags[@]}"
step opus build make -C "$work/opus" -j"$jobs"
step opus install make -C "$work/opus" install
timed "opus"

step ffmpeg configure env -C "$work/ffmpeg" ./configure --prefix="$prefix" "${ffmpeg_flags[@]}"
step ffmpeg build make -C "$work/ffmpeg" -j"$jobs"
step ffmpeg install make -C "$work/ffmpeg" install
timed "ffmpeg"

# Only TurboJPEG: the whole project would also build its programs and tests.
cmake_lib libjpeg-turbo "${jpeg_flags[@]}" -DCMAKE_ASM_NASM_COMPILER=nasm
step libjpeg-turbo build cmake --build "$work/libjpeg-turbo-build" --target turbojpeg-static
cp "$work/libjpeg-turbo-build/libturbojpeg.a" "$prefix/lib/"
cp "$work/libjpeg-turbo/turbojpeg.h" "$prefix/include/"
cp "$work/libjpeg-turbo-build/pkgscripts/libturbojpeg.pc" "$prefix/lib/pkgconfig/"
timed "libjpeg-turbo"

# cpp-httplib in its header form (Debian's Linux package builds it as a
# library): the one header, and Windows sockets to link.
cp "$work/cpp-httplib/httplib.h" "$prefix/include/"
cat > "$prefix/lib/pkgconfig/cpp-httplib.pc" <<EOF
prefix=$prefix
includedir=\${prefix}/include

Name: cpp-httplib
Description: cpp-httplib's single header, with Windows sockets
Version: ${version[cpp-httplib]}
Cflags: -I\${includedir}
Libs: -lws2_32
EOF

for pkg in CLI11 nlohmann_json; do cp -r "/usr/share/cmake/$pkg" "$prefix/share/cmake/"; done
for dir in CLI nlohmann; do cp -r "/usr/include/$dir" "$prefix/include/"; done

describe > "$prefix/stamp"
rm -rf "$work"
total=$((SECONDS - started))
cpu
echo "windows-deps: built in $((total / 60)) min $((total % 60)) s ($((cpu_now - cpu_start)) s of CPU on $jobs cores)"
point_link

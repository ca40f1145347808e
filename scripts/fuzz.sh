#!/usr/bin/env bash
# Fuzzes one target with libFuzzer for a bounded time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET]      defaults: 60, Tessivar
#
# TARGET is a module (Tessivar, or an example such as QuickstartEffect):
# plugMain of that module; `media`: ClipReader and AudioSpectrum over files
# held in memory; `png`: the PNG reader over files held in memory.
#
# Builds a clang tree in build/fuzz with AddressSanitizer, UndefinedBehavior-
# Sanitizer and coverage on every target (leaks are checked after every
# input), then runs the target's libFuzzer program (see fuzz/) from its seed
# corpus in fuzz/corpus/<target>. New inputs go to build/fuzz/corpus/<name>,
# findings to build/fuzz/findings/<name>; the corpora in the repository are
# left as they are (a finding's input joins them once it is mended). Prints
# libFuzzer's final statistics and exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
target="${2:-Tessivar}"

# Per target: the program, its seeds, the longest input, what each may take.
case "$target" in
  media) program=fuzz_media; seeds=fuzz/corpus/media; max_len=16384; limits=(-timeout=20) ;;
  png) program=fuzz_png; seeds=fuzz/corpus/png; max_len=4096; limits=(-timeout=20) ;;
  *) program=fuzz_plugmain; seeds=fuzz/corpus/plugmain; max_len=512
     # Inputs that make instances take many times as long as the others;
     # libFuzzer schedules the quick ones more.
     limits=(-timeout=30 -entropic_scale_per_exec_time=1) ;;
esac
case "$target" in
  media|png) name=$target; build_targets=("$program") ;;
  *) name="plugmain-$target"; build_targets=(fuzz_plugmain "$target") ;;
esac

# Only this path needs clang and its runtimes (libFuzzer, shared sanitizers).
./scripts/install-deps.sh clang libclang-rt-dev

build=build/fuzz
mkdir -p "$build"
runtime_dir="$(clang -print-resource-dir)/lib/linux"
# The modules are shared objects linked with -z defs, so the sanitizer runtime
# must be a shared library that the fuzzer and the modules both use.
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -shared-libsan"
link="$sanitize -Wl,-rpath,$runtime_dir"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSIVAR_FUZZ=ON -DTESSIVAR_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link $sanitize -fno-omit-frame-pointer" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $sanitize -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="$link" \
  -DCMAKE_MODULE_LINKER_FLAGS="$link" \
  -DCMAKE_SHARED_LINKER_FLAGS="$link" >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
if [ "$target" = media ] && ! grep -q "^TESSIVAR_MEDIA:BOOL=ON" "$build/CMakeCache.txt"; then
  echo "fuzz: the media target needs FFmpeg's libraries (make installs them)" >&2
  exit 2
fi
cmake --build "$build" --target "${build_targets[@]}" -j2

corpus="$build/corpus/$name"
findings="$build/findings/$name"
mkdir -p "$corpus" "$findings"
if [ "$program" = fuzz_plugmain ]; then
  export TESSIVAR_FUZZ_MODULE="$(find "$build" -name "$target.so" -print -quit)"
fi
log="$build/fuzz-$name.log"
echo "fuzz: $target for ${seconds}s"
status=0
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  "$build/fuzz/$program" \
    -max_total_time="$seconds" "${limits[@]}" -rss_limit_mb=4096 -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" "$seeds" </dev/null >"$log" 2>&1 || status=$?

# The last status line and the totals, for the CI log.
grep -E '^#[0-9]+' "$log" | tail -n 1 || true
grep -E '^stat::' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzz: finding (exit $status); input saved in $findings/" >&2
  tail -n 60 "$log" >&2
  exit 1
fi
echo "fuzz: no findings"

#!/usr/bin/env bash
# Fuzzes plugMain with libFuzzer for a bounded time.
#
#   scripts/fuzz.sh [seconds] [module-target]     defaults: 60, Tessivar
#
# Builds a clang tree in build/fuzz with AddressSanitizer, UndefinedBehavior-
# Sanitizer and coverage on every target, then runs fuzz_plugmain (see
# fuzz/PlugMainFuzz.h) from the seed corpus in fuzz/corpus. New
# inputs go to build/fuzz/corpus, crashes to build/fuzz/findings; the seeds
# in the repository are left as they are. Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
module="${2:-Tessivar}"

# Only this path needs clang and its runtimes (libFuzzer, shared sanitizers).
./scripts/install-deps.sh clang libclang-rt-14-dev

build=build/fuzz
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
  -DCMAKE_SHARED_LINKER_FLAGS="$link" >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target fuzz_plugmain "$module" -j2

mkdir -p "$build/corpus" "$build/findings"
module_path="$(find "$build" -name "$module.so" -print -quit)"
log="$build/fuzz.log"
echo "fuzz: $module for ${seconds}s"
status=0
TESSIVAR_FUZZ_MODULE="$module_path" \
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  "$build/fuzz/fuzz_plugmain" \
    -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -max_len=512 \
    -print_final_stats=1 -artifact_prefix="$build/findings/" \
    "$build/corpus" fuzz/corpus </dev/null >"$log" 2>&1 || status=$?

# The last status line and the totals, for the CI log.
grep -E '^#[0-9]+' "$log" | tail -n 1 || true
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzz: finding (exit $status); input saved in $build/findings/" >&2
  tail -n 60 "$log" >&2
  exit 1
fi
echo "fuzz: no findings"

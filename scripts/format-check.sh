#!/usr/bin/env bash
# Checks that the C and C++ sources are laid out as .clang-format says, with
# clang-format 19 (installed with apt when missing: Debian 12 and 13 both
# carry clang-format-19; other versions lay out a few lines otherwise, so the
# check takes no other).
#
#   scripts/format-check.sh              every tracked .c, .cpp, .h, .hpp file
#   scripts/format-check.sh FILE...      only these
#   scripts/format-check.sh --fix [FILE...]   rewrites them in place instead
#
# Each misformatted line is named (file:line, with the line as it stands) and
# the exit status is 1; 0 when every file is laid out as it should be; 2 when
# clang-format itself fails (a file it cannot read, a broken .clang-format),
# with its message.
#
# What keeps its own layout: a region fenced by `// clang-format off` and
# `// clang-format on` (gl/GLApi.h's tables, which tests/gl/GLTableCheck.cmake
# reads as glcorearb.h writes them), and whole files under the folders named
# in `kept` below, which hold other projects' code. Generated sources are
# written into the build tree, never tracked, so the list never sees them.
set -euo pipefail
cd "$(dirname "$0")/.."

version=19
tool="clang-format-$version"
kept=(':(exclude,glob)**/third_party/**' ':(exclude,glob)**/vendor/**')

fix=0
if [ "${1:-}" = "--fix" ]; then
  fix=1
  shift
fi
if [ $# -gt 0 ]; then
  files=("$@")
  for f in "${files[@]}"; do
    [ -f "$f" ] || { echo "format-check: $f: no such file" >&2; exit 2; }
  done
else
  mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp' "${kept[@]}")
fi
[ ${#files[@]} -gt 0 ] || exit 0

if ! command -v "$tool" >/dev/null; then
  ./scripts/install-deps.sh "$tool"
fi

if [ $fix -eq 1 ]; then
  "$tool" --style=file -i "${files[@]}"
  exit 0
fi

# --dry-run names each difference (file:line:column) on standard error and
# exits 0 all the same; it fails only when it cannot do its work.
status=0
messages=$("$tool" --style=file --dry-run "${files[@]}" 2>&1 >/dev/null) || status=$?
if [ $status -ne 0 ]; then
  grep -v -e '-Wclang-format-violations' -e '^ ' -e '^\s*\^' <<<"$messages" | head -5 >&2 || true
  echo "format-check: $tool failed (exit status $status)" >&2
  exit 2
fi
report=$(sed -n 's/^\(.*\):\([0-9][0-9]*\):[0-9][0-9]*: .*\[-Wclang-format-violations\]$/\1:\2/p' <<<"$messages" |
  sort -u -t: -k1,1 -k2,2n)
[ -z "$report" ] && exit 0
count=0
while IFS=: read -r file line; do
  printf '%s:%s: not laid out as .clang-format says: %s\n' "$file" "$line" "$(sed -n "${line}p" "$file")"
  count=$((count + 1))
done <<<"$report"
echo "format-check: $count line(s) to lay out; scripts/format-check.sh --fix FILE... rewrites them ($tool)" >&2
exit 1

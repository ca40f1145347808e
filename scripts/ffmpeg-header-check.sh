#!/usr/bin/env bash
# Compiles every source that includes FFmpeg's headers (directly or through
# our own headers), syntax only, with the build's own command line (our
# warnings, deprecations as errors), against FFmpeg versions other than the
# one installed: by default Debian 13's (trixie) and the newest Debian
# carries (sid, its development suite). So a call FFmpeg has deprecated or
# removed since is seen here before a user on a newer system meets it.
#
#   scripts/ffmpeg-header-check.sh [BUILD]   BUILD: a configured tree whose
#                                            compile_commands.json is used
#                                            (default build/default, configured
#                                            with the default preset if missing)
#   FFMPEG_SUITES="trixie sid"               the suites to check against
#
# FFmpeg's -dev packages are fetched with apt-get download and unpacked,
# never installed, into a cache that reruns and other trees reuse
# (scripts/ffmpeg-headers.sh). Exits 1 naming each FFmpeg version, the
# sources that do not compile against it and each distinct error once.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
suites=${FFMPEG_SUITES:-trixie sid}

fail() { echo "ffmpeg-header-check: $*" >&2; exit 1; }

# The sources: those including an FFmpeg header, then, until nothing is
# added, those including one of our headers that does.
mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h')
mapfile -t hit < <(grep -lE '^\s*#\s*include\s*<lib(av[a-z]*|sw[a-z]*|postproc)/' "${files[@]}" || true)
while :; do
  headers=$(printf '%s\n' "${hit[@]}" | grep '\.h$' | sed 's/[.]/\\./g' | paste -sd'|')
  [ -n "$headers" ] || break
  mapfile -t more < <(grep -lE "^\s*#\s*include\s*\"($headers)\"" "${files[@]}" || true)
  mapfile -t next < <(printf '%s\n' "${hit[@]}" "${more[@]}" | sort -u)
  [ "${#next[@]}" -eq "${#hit[@]}" ] && break
  hit=("${next[@]}")
done
mapfile -t sources < <(printf '%s\n' "${hit[@]}" | grep -E '\.(c|cpp)$' || true)
[ "${#sources[@]}" -gt 0 ] || fail "found no source that includes FFmpeg's headers"

if [ ! -f "$build/compile_commands.json" ]; then
  cmake --preset default >/dev/null || fail "cannot configure $build (cmake --preset default)"
fi
commands="$build/compile_commands.json"
command -v python3 >/dev/null || ./scripts/install-deps.sh python3 >/dev/null || fail "cannot install python3"

status=0
for suite in $suites; do
  if ! found=$(./scripts/ffmpeg-headers.sh "$suite"); then
    status=1
    continue
  fi
  read -r version include <<<"$found"
  upstream=$(sed -n 's/^#define LIBAVCODEC_VERSION_MAJOR *//p' "$include/libavcodec/version_major.h" 2>/dev/null || true)
  label="FFmpeg ${version#*:} ($suite${upstream:+, libavcodec $upstream})"
  # Each source's own command from the build: the launcher (ccache) and the
  # output dropped, syntax only, the fetched headers searched before the
  # system's.
  out=$(mktemp -d "${TMPDIR:-/tmp}/ffmpeg-header-check.XXXXXX")
  python3 - "$commands" "$include" "$out" "${sources[@]}" <<'EOF'
import json, os, shlex, sys
commands, include, out, sources = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
root = os.getcwd()
by_file = {os.path.realpath(e["file"]): e for e in json.load(open(commands))}
for i, source in enumerate(sources):
    e = by_file.get(os.path.realpath(os.path.join(root, source)))
    if e is None:
        continue  # not in this build (a platform's or a bench's file left out)
    args = e["arguments"] if "arguments" in e else shlex.split(e["command"])
    if os.path.basename(args[0]) in ("ccache", "sccache"):
        args = args[1:]
    kept, skip = [], False
    for a in args:
        if skip:
            skip = False
        elif a in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
        elif a in ("-c", "-MD", "-MMD"):
            pass
        else:
            kept.append(a)
    kept[1:1] = ["-fsyntax-only", "-isystem", include]
    with open(os.path.join(out, "%03d.cmd" % i), "w") as f:
        f.write("cd %s && %s\n" % (shlex.quote(e["directory"]), shlex.join(kept)))
        f.write("# %s\n" % source)
EOF
  compiled=$(ls "$out"/*.cmd 2>/dev/null | wc -l)
  ls "$out"/*.cmd | xargs -P "$(nproc)" -I{} sh -c 'sh {} > {}.log 2>&1 || touch {}.failed'
  # An error in a header shows in every source including it: each is named once.
  broken=$(ls "$out" | grep -c '\.failed$' || true)
  if [ "$broken" -gt 0 ]; then
    echo "ffmpeg-header-check: against $label, $broken of $compiled sources do not compile:" >&2
    for cmd in "$out"/*.cmd; do [ -f "$cmd.failed" ] && echo "  $(sed -n 's/^# //p' "$cmd")"; done >&2
    cat "$out"/*.cmd.log | grep -E 'error' | grep -v 'warnings being treated as errors' | sed "s|$PWD/||" | sort | uniq | head -12 | sed 's/^/    /' >&2
  fi
  rm -rf "$out"
  if [ "$broken" -gt 0 ]; then
    status=1
  else
    echo "ffmpeg-header-check: $label: the $compiled sources that include its headers compile"
  fi
done
exit $status

#!/usr/bin/env bash
# Runs the README's commands as a new user would, on a fresh Debian: makes a
# root with debootstrap (the base system and build-essential, nothing else),
# copies this working tree into it (tracked and new files, no build folders)
# and runs, in a chroot, `make test`, `make demo` and `make test-windows`,
# each of which installs what it needs with apt-get as on a real machine.
#
#   sudo scripts/fresh-debian.sh [SUITE] [ROOT]
#     SUITE   the Debian release to make (default trixie, Debian 13)
#     ROOT    where to make it (default ~/.cache/tessivar/fresh-SUITE); an
#             old root there is removed first, so every run starts bare
#   COMMANDS="test demo"   the make targets to run, in order (default
#             "test demo test-windows")
#   REUSE=1   keep a root made by an earlier run (its packages and build
#             folders; the tree is copied in again), to rerun one command
#
# Packages come from the archive this machine's apt uses (scripts/apt-mirror.sh).
# Needs root (debootstrap, chroot, mounts) and debootstrap, which it installs.
# Prints each command's time and ends with one line naming the first command
# that failed, or that all passed; the whole output is also kept in
# ROOT.log. Takes about 45 minutes on our 2-core machine (see the README).
set -euo pipefail
cd "$(dirname "$0")/.."
suite=${1:-trixie}
root=${2:-${XDG_CACHE_HOME:-$HOME/.cache}/tessivar/fresh-$suite}
commands=${COMMANDS:-test demo test-windows}

fail() { echo "fresh-debian: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot and mounts): run it with sudo"
[ "$(./scripts/apt-mirror.sh vendor)" = debian ] || fail "makes a Debian root from a Debian archive; this machine's apt follows $(./scripts/apt-mirror.sh vendor)"
mirror=$(./scripts/apt-mirror.sh uri) || fail "no package archive in this machine's apt sources"
command -v debootstrap >/dev/null || ./scripts/install-deps.sh debootstrap >/dev/null ||
  fail "cannot install debootstrap"
case "$root" in /|"") fail "refusing to make a root at '$root'" ;; esac

mounted=()
unmount() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true; done
  mounted=()
}
trap unmount EXIT
mountIn() {  # mountIn TYPE-OR-BIND SOURCE TARGET
  mkdir -p "$3"
  if [ "$1" = bind ]; then mount --bind "$2" "$3"; else mount -t "$1" "$2" "$3"; fi
  mounted+=("$3")
}

log="$root.log"
mkdir -p "$(dirname "$root")"
# A root left mounted by a killed run must not have its /dev or /proc removed.
if grep -q " $root/" /proc/mounts; then fail "$root still has file systems mounted in it; unmount them first"; fi
[ "${REUSE:-0}" = 1 ] || : >"$log"   # a reused root adds to its log
exec > >(tee -a "$log") 2>&1
start=$SECONDS
if [ "${REUSE:-0}" = 1 ] && [ -x "$root/usr/bin/make" ]; then
  echo "=== reusing the root made earlier, $root"
else
  if [ -e "$root" ]; then
    echo "=== removing the last root, $root"
    rm -rf "$root"
  fi
  echo "=== debootstrap $suite (base + build-essential) from $mirror into $root"
  debootstrap --include=build-essential "$suite" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    fail "debootstrap failed (see $root.debootstrap.log)"
  echo "    $((SECONDS - start)) s"
fi

# The tree as it stands, with files not yet committed, but no build output.
mkdir -p "$root/src/tessivar"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar --null -T - -cf - | tar -xf - -C "$root/src/tessivar"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The root trusts what this machine trusts: certificates its administrator
# added (a TLS-inspecting proxy's, say) go along, or npm could not reach its
# registry from inside. apt's ca-certificates takes them in when installed.
if ls /usr/local/share/ca-certificates/*.crt >/dev/null 2>&1; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
fi

mountIn proc proc "$root/proc"
mountIn sysfs sys "$root/sys"
mountIn bind /dev "$root/dev"
mountIn bind /dev/pts "$root/dev/pts"
mountIn tmpfs shm "$root/dev/shm"   # chromium and Wine share memory through it

failed=""
for target in $commands; do
  echo "=== make $target ($(date -u +%H:%M:%S))"
  t=$SECONDS
  # (Node.js reads the system's certificates only when told to.)
  if chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive \
       NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt \
       PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
       nice make -C /src/tessivar "$target"; then
    echo "=== make $target passed in $((SECONDS - t)) s"
  else
    echo "=== make $target FAILED after $((SECONDS - t)) s"
    failed=$target
    break
  fi
done

unmount
total=$((SECONDS - start))
if [ -n "$failed" ]; then
  echo "fresh-debian: make $failed failed on a fresh $suite ($total s; the root stays in $root, the log in $log)"
  exit 1
fi
echo "fresh-debian: make ${commands// /, make } passed on a fresh $suite in $total s (log: $log)"

#!/usr/bin/env bash
# Installs what a purpose needs, from Debian's packages. Idempotent: a second
# run installs nothing and returns quickly.
#
#   scripts/setup.sh [base|test|windows|bench|all]...
#
#   base     building and running the library, the CLI and the demo:
#            compiler, CMake, Ninja, libcurl, yyjson (`make demo`, `make dev`)
#   windows  base, and the mingw-w64 cross build with its tests under Wine,
#            with yyjson's source for it (`make windows`, `make test-windows`)
#   test     base and windows, and GoogleTest, clang, valgrind and what the
#            end-to-end tests run (`make test`)
#   bench    base and Google Benchmark (`make bench`, `make install`)
#   all      every one of them (the default)
#
# yyjson 0.12 is not in Debian's stable suite; the unstable suite has it with a
# libc6-only dependency. We add unstable for the yyjson packages alone (pinned,
# so nothing else is upgraded), on the same mirror the machine already uses.
#
# The Windows build (mingw-w64, tested under Wine) needs yyjson's source, which
# no Debian package ships built for mingw: we take the upstream tarball of
# Debian's own yyjson source package from the same mirror, checked against the
# SHA-256 of the source index that apt fetched and verified, and unpack it
# under build/deps/. Nothing of yyjson is kept in the repository.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

base_pkgs=(g++ cmake ninja-build make pkg-config libcurl4-openssl-dev)
# The Windows tests build GoogleTest from the sources libgtest-dev installs,
# and the end-to-end ones run a Python server with openssl's certificates.
windows_pkgs=(g++-mingw-w64-x86-64-posix wine64 xz-utils libgtest-dev python3 openssl)
test_pkgs=(libgtest-dev libgmock-dev clang libclang-rt-14-dev llvm valgrind python3 openssl)
bench_pkgs=(libbenchmark-dev python3)

[ "$#" -gt 0 ] || set -- all
pkgs=("${base_pkgs[@]}")
windows=0
for purpose in "$@"; do
  case "$purpose" in
    base) ;;
    windows) pkgs+=("${windows_pkgs[@]}"); windows=1 ;;
    test) pkgs+=("${test_pkgs[@]}" "${windows_pkgs[@]}"); windows=1 ;;
    bench) pkgs+=("${bench_pkgs[@]}") ;;
    all) pkgs+=("${test_pkgs[@]}" "${windows_pkgs[@]}" "${bench_pkgs[@]}"); windows=1 ;;
    *) echo "setup: unknown purpose '$purpose' (base, test, windows, bench or all)" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)

missing=()
for p in $(printf '%s\n' "${pkgs[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

have_yyjson() {
  dpkg-query -W -f='${Status}' libyyjson-dev 2>/dev/null | grep -q "install ok installed"
}

# The Debian mirror of the machine's own apt configuration.
find_mirror() {
  local f m
  for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list /etc/apt/sources.list; do
    [ -f "$f" ] || continue
    m=$(grep -Eho '(URIs:[[:space:]]*|^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?)[a-z]+://[^[:space:]]*/debian/?([[:space:]]|$)' "$f" 2>/dev/null \
        | grep -Eo '[a-z]+://[^[:space:]]*' | grep -v -- '-security' | head -n1 || true)
    if [ -n "$m" ]; then echo "${m%/}"; return; fi
  done
}

updated=0
apt_update() { [ "$updated" -eq 1 ] || { $SUDO apt-get update -qq; updated=1; }; }

if [ "${#missing[@]}" -gt 0 ]; then
  apt_update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! have_yyjson; then
  mirror=$(find_mirror)
  if [ -n "$mirror" ]; then
    list=/etc/apt/sources.list.d/kova-unstable.list
    pref=/etc/apt/preferences.d/kova-yyjson
    echo "deb ${mirror%/} unstable main" | $SUDO tee "$list" >/dev/null
    $SUDO tee "$pref" >/dev/null <<PIN
Package: *
Pin: release a=unstable
Pin-Priority: 50

Package: libyyjson-dev libyyjson0 libyyjson0t64
Pin: release a=unstable
Pin-Priority: 600
PIN
    updated=0
    apt_update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends libyyjson-dev || true
  fi
  if ! have_yyjson; then
    # Fallback: whatever the configured suites offer (0.10 or newer builds too).
    apt_update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends libyyjson-dev || {
      echo "setup: could not install libyyjson-dev" >&2; exit 1; }
  fi
fi
# ---------------------------------------------------------------------------
# yyjson's source for the Windows build, in build/deps/yyjson (with a VERSION
# file naming what was unpacked). 0.12 is preferred; when the mirror does not
# serve its tarball, the newest older version from 0.10 on is taken instead.
# ---------------------------------------------------------------------------
deps=$root/build/deps
if [ "$windows" = 1 ] && { [ ! -f "$deps/yyjson/VERSION" ] || [ ! -f "$deps/yyjson/src/yyjson.c" ]; }; then
  mirror=$(find_mirror)
  [ -n "$mirror" ] || { echo "setup: no Debian mirror in the apt configuration" >&2; exit 1; }
  # Source indexes of the suites that carry yyjson 0.12 (unstable) and 0.10
  # (trixie). A deb-src entry changes no installed package.
  srclist=/etc/apt/sources.list.d/kova-src.list
  want="deb-src $mirror unstable main
deb-src $mirror trixie main"
  if [ "$(cat "$srclist" 2>/dev/null)" != "$want" ]; then
    echo "$want" | $SUDO tee "$srclist" >/dev/null
    updated=0
  fi
  apt_update
  # One line per source version: version, pool directory, SHA-256, size and
  # name of its upstream tarball; newest first.
  candidates=$(apt-cache showsrc yyjson 2>/dev/null | awk '
      /^Version:/ { v = $2 }
      /^Directory:/ { d = $2 }
      /^Checksums-Sha256:/ { sha = 1; next }
      sha && /^ / { if ($3 ~ /\.orig\.tar\.(xz|gz|bz2)$/) o = $1 " " $2 " " $3; next }
      sha { sha = 0 }
      /^$/ { if (v != "" && o != "") print v, d, o; v = d = o = "" }
      END { if (v != "" && o != "") print v, d, o }' | sort -u -V -r -k1,1)
  got=""
  mkdir -p "$deps"
  while read -r ver dir sum size file; do
    [ -n "$ver" ] || continue
    case "$ver" in 0.[0-9].*) continue ;; esac   # older than 0.10
    tarball=$deps/$file
    if [ ! -f "$tarball" ] || ! echo "$sum  $tarball" | sha256sum -c --status; then
      rm -f "$tarball"
      /usr/lib/apt/apt-helper download-file "$mirror/$dir/$file" "$tarball" "SHA256:$sum" >/dev/null 2>&1 || {
        echo "setup: the mirror does not serve $file; trying an older yyjson"; rm -f "$tarball"; continue; }
    fi
    # apt-helper checked the hash; check it and the size once more before use.
    if ! echo "$sum  $tarball" | sha256sum -c --status || [ "$(stat -c %s "$tarball")" != "$size" ]; then
      echo "setup: $file does not match the source index" >&2; rm -f "$tarball"; continue
    fi
    rm -rf "$deps/yyjson" "$deps/yyjson.tmp"
    mkdir -p "$deps/yyjson.tmp"
    tar -xf "$tarball" -C "$deps/yyjson.tmp" --strip-components=1
    echo "$ver" > "$deps/yyjson.tmp/VERSION"
    mv "$deps/yyjson.tmp" "$deps/yyjson"
    got=$ver
    break
  done <<< "$candidates"
  [ -n "$got" ] || { echo "setup: could not fetch yyjson's source for the Windows build" >&2; exit 1; }
  echo "setup: yyjson $got source in build/deps/yyjson (verified against the source index)"
fi
echo "setup: dependencies present ($*)"

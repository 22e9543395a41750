#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent: a second run installs nothing and returns quickly.
#
# yyjson 0.12 is not in Debian's stable suite; the unstable suite has it with a
# libc6-only dependency. We add unstable for the yyjson packages alone (pinned,
# so nothing else is upgraded), on the same mirror the machine already uses.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

pkgs=(g++ cmake ninja-build make pkg-config libgtest-dev libgmock-dev
      libbenchmark-dev libcurl4-openssl-dev clang libclang-rt-14-dev llvm
      valgrind python3 openssl)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

have_yyjson() {
  dpkg-query -W -f='${Status}' libyyjson-dev 2>/dev/null | grep -q "install ok installed"
}

updated=0
apt_update() { [ "$updated" -eq 1 ] || { $SUDO apt-get update -qq; updated=1; }; }

if [ "${#missing[@]}" -gt 0 ]; then
  apt_update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! have_yyjson; then
  # Find the Debian mirror of the machine's own apt configuration.
  mirror=""
  for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list /etc/apt/sources.list; do
    [ -f "$f" ] || continue
    m=$(grep -Eho '(URIs:[[:space:]]*|^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?)[a-z]+://[^[:space:]]*/debian/?([[:space:]]|$)' "$f" 2>/dev/null \
        | grep -Eo '[a-z]+://[^[:space:]]*' | grep -v -- '-security' | head -n1 || true)
    if [ -n "$m" ]; then mirror="$m"; break; fi
  done
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
echo "setup: dependencies present"

#!/usr/bin/env bash
# Runs a Windows program under Debian's Wine, in the project's own prefix
# (build/windows/wineprefix, created on first use), with Wine's debug output
# off and without a display. The Windows tests run every program through it.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#   scripts/wine-run.sh --stop        ends the prefix's wineserver
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${KOVA_WINEPREFIX:-$root/build/windows/wineprefix}
export WINEDEBUG=-all
# Wine converts command lines and file names with the Unix locale: UTF-8.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -x "$server" ] || server=$(command -v wineserver)

if [ "${1:-}" = "--stop" ]; then
  [ -d "$WINEPREFIX" ] && "$server" -k 2>/dev/null || true
  exit 0
fi

mkdir -p "$(dirname "$WINEPREFIX")"
# One prefix, created once; parallel tests wait for the first to finish it.
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.kova-ready" ]; then
  "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
  "$server" -w 2>/dev/null || true
  touch "$WINEPREFIX/.kova-ready"
fi
# A wineserver that outlives single programs (so each test does not pay its
# start-up) but not the test run: it exits 30 s after the last program. Its
# output goes nowhere, so it holds no pipe of whoever ran the tests open.
"$server" -p30 </dev/null >/dev/null 2>&1 || true
# Wine's own background programs (services.exe and the like) start with the
# first program of a wineserver and inherit its output: start them here, with
# theirs going nowhere, so that they never hold a test's output pipe open.
"$wine" wineboot </dev/null >/dev/null 2>&1 || true
flock -u 9
exec 9>&-

exec "$wine" "$@"

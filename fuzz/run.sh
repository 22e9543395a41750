#!/usr/bin/env bash
# Runs every libFuzzer target (or the ones named) for a bounded time each.
#   bash fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# New inputs go to BUILD_DIR/fuzz-work/<target>; the committed corpus in
# fuzz/corpora/<target> is only read. A crash leaves its input in
# BUILD_DIR/fuzz-artifacts/ and makes the script fail; copy it into
# fuzz/corpora/<target>/ (named regress-...) once fixed, so that every build
# replays it.
set -euo pipefail
build=${1:-build/fuzz}
secs=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(jackett releases prowlarr torznab validate configure workflow queue sequence)

mkdir -p "$build/fuzz-work" "$build/fuzz-artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for t in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$t"
  work="$build/fuzz-work/$t"
  log="$build/fuzz-work/$t.log"
  mkdir -p "$work"
  dict=()
  [ -f "$here/dicts/$t.dict" ] && dict=(-dict="$here/dicts/$t.dict")
  if "$bin" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
       -artifact_prefix="$build/fuzz-artifacts/$t-" "${dict[@]}" "$work" "$here/corpora/$t" >"$log" 2>&1; then
    runs=$(grep -ao 'stat::number_of_executed_units: [0-9]*' "$log" | tail -n1 | grep -o '[0-9]*$' || echo '?')
    cov=$(grep -ao 'cov: [0-9]*' "$log" | tail -n1 | grep -o '[0-9]*$' || echo '?')
    echo "fuzz_$t: ${secs}s, $runs runs, coverage $cov, clean"
  else
    echo "fuzz_$t: FAILED (log: $log)"
    tail -n 40 "$log"
    status=1
  fi
done
exit $status

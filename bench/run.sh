#!/usr/bin/env bash
# Runs the benchmarks of a build and prints the summary table with the ratios
# against yyjson and the targets.
#
#   bash bench/run.sh BUILD_DIR [extra Google Benchmark flags]
#
# REPS (default 5) sets the repetitions; the repetitions of all benchmarks
# are interleaved at random so that a slow spell of a shared machine hits
# both sides of a ratio alike, and each figure is the fastest repetition.
set -euo pipefail
build=${1:?usage: bench/run.sh BUILD_DIR}
shift
bin="$build/bench/kova_bench"
[ -x "$bin" ] || { echo "run.sh: $bin not built (configure with -DKOVA_BUILD_BENCH=ON)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

echo "== peak memory of a 200,000-row parse"
"$bin" --peak-memory | tee "$out/peak.json"
echo "== peak memory of a search through the request frame (150,000 realistic rows; 6,600,000 tiny rows)"
"$bin" --peak-memory-search 150000 | tee "$out/peak_search.json"
"$bin" --peak-memory-search 6600000 tiny | tee "$out/peak_tiny.json"

echo "== benchmarks (${REPS:-5} repetitions, interleaved)"
"$bin" --benchmark_repetitions="${REPS:-5}" --benchmark_enable_random_interleaving=true \
  --benchmark_out="$out/bench.json" --benchmark_out_format=json --benchmark_format=console \
  --benchmark_display_aggregates_only=true "$@" >"$out/console.txt" 2>&1 || { cat "$out/console.txt"; exit 1; }

python3 - "$out/bench.json" "$out/peak.json" "$out/peak_search.json" "$out/peak_tiny.json" <<'PY'
import json, sys

import re
bench = json.load(open(sys.argv[1]))
peak = json.load(open(sys.argv[2]))
for b in bench["benchmarks"]:
    b["run_name"] = re.sub(r"/min_warmup_time:[0-9.]+", "", b["run_name"])
runs = {}
for b in bench["benchmarks"]:
    if b.get("run_type") != "aggregate" or b.get("aggregate_name") != "min":
        continue
    if b.get("error_occurred"):
        continue
    runs[b["run_name"]] = b

# Google Benchmark has no "min" aggregate by default before 1.8; fall back to
# the per-repetition runs when it is missing.
if not runs:
    for b in bench["benchmarks"]:
        if b.get("run_type") == "iteration" and not b.get("error_occurred"):
            name = b["run_name"]
            if name not in runs or b["cpu_time"] < runs[name]["cpu_time"]:
                runs[name] = b

def ms(name):
    b = runs.get(name)
    if not b:
        return None
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["cpu_time"] * scale

def rate(name, key):
    b = runs.get(name)
    return b.get(key) if b else None

def fmt_rate(v, unit):
    if v is None:
        return "-"
    for div, p in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if v >= div:
            return "%.2f %s%s/s" % (v / div, p, unit)
    return "%.0f %s/s" % (v, unit)

rows = []
def line(what, name, base=None, target=None):
    t = ms(name)
    if t is None:
        rows.append((what, "skipped", "", "", "", "not built or failed"))
        return None
    r = ""
    verdict = ""
    ratio = None
    if base is not None and ms(base) is not None:
        ratio = t / ms(base)
        r = "%.2fx" % ratio
        if target is not None:
            verdict = ("ok (<= %.1fx)" if ratio <= target else "MISSED (> %.1fx)") % target
    rows.append((what, "%.3f ms" % t, fmt_rate(rate(name, "bytes_per_second"), "B"),
                 fmt_rate(rate(name, "rows"), "rows"), r, verdict))
    return t

for n in (1000, 10000, 200000):
    line("yyjson_read, Jackett %d rows" % n, "BM_yyjson_read_jackett/%d" % n)
    line("  strlen + yyjson_read (C text)", "BM_yyjson_read_cstr_jackett/%d" % n, "BM_yyjson_read_jackett/%d" % n)
    line("kova_parse_jackett, %d rows" % n, "BM_kova_parse_jackett/%d" % n, "BM_yyjson_read_jackett/%d" % n,
         1.5 if n >= 10000 else None)
line("yyjson_read, 10000 releases", "BM_yyjson_read_releases/10000")
line("kova_parse_arr_releases, 10000", "BM_kova_parse_arr_releases/10000", "BM_yyjson_read_releases/10000")
for n in (10000, 200000):
    line("accessors, all fields, %d rows" % n, "BM_accessors/%d" % n)
for n in (10000, 200000):
    line("yyjson_write of the answer, %d rows" % n, "BM_yyjson_write/%d" % n)
    line("kova_result_json, %d rows" % n, "BM_kova_result_json/%d" % n, "BM_yyjson_write/%d" % n, 1.5)
line("staged search via fake, 10000 rows", "BM_staged_search/10000")
line("Torznab list, 500 indexers", "BM_torznab_indexers/500")
line("Sonarr lookup via fake, 1000 series", "BM_sonarr_lookup/1000")

w = [max(len(str(r[i])) for r in rows + [("benchmark", "cpu time", "bytes/s", "rows/s", "ratio", "target")])
     for i in range(6)]
head = ("benchmark", "cpu time", "bytes/s", "rows/s", "ratio", "target")
print()
print("  ".join(h.ljust(w[i]) for i, h in enumerate(head)))
print("  ".join("-" * w[i] for i in range(6)))
for r in rows:
    print("  ".join(str(c).ljust(w[i]) for i, c in enumerate(r)))

t10 = ms("BM_kova_parse_jackett/10000")
t200 = ms("BM_kova_parse_jackett/200000")
if t10 and t200:
    per10, per200 = t10 / 10000, t200 / 200000
    growth = per200 / per10 - 1
    print("\nscaling: %.1f ns/row at 10,000 rows, %.1f ns/row at 200,000 (%+.0f%%; target within 25%%): %s"
          % (per10 * 1e6, per200 * 1e6, growth * 100, "ok" if abs(growth) <= 0.25 else "MISSED"))
m = peak["peak_multiple"]
print("peak memory of the 200,000-row parse: %.2fx the answer's %.1f MB (target <= 4x): %s"
      % (m, peak["answer_bytes"] / 1e6, "ok" if m <= 4 else "MISSED"))
search = json.load(open(sys.argv[3]))
tiny = json.load(open(sys.argv[4]))
m = search["peak_multiple"]
print("peak memory of a 150,000-row search through the frame: %.2fx the answer's %.1f MB (target <= 2.5x): %s"
      % (m, search["answer_bytes"] / 1e6, "ok" if m <= 2.5 else "MISSED"))
print("peak memory of a search of %d tiny rows: %.2fx the answer's %.1f MB (no target: yyjson's values dominate)"
      % (6600000, tiny["peak_multiple"], tiny["answer_bytes"] / 1e6))
PY

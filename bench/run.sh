#!/usr/bin/env bash
# Runs the benchmarks of a build and prints the summary table: each time is
# the median of the repetitions with their spread (fastest to slowest). A
# ratio with a target is measured in pairs (kova_bench's BM_pair_*: each
# iteration times one run of each side, by turns), and printed as the median
# of the repetitions' ratios with their spread, beside the target; the other
# ratios are those of the two sides' median times.
#
#   bash bench/run.sh BUILD_DIR [extra Google Benchmark flags]
#
# REPS (default 7) sets the repetitions of the benchmarks, interleaved at
# random so that a slow spell of a shared machine hits both sides of a ratio
# alike; WHOLE_PAIRS (default 5) the paired runs of the whole process
# (`kova parse jackett FILE` beside Python on the 200,000-row answer).
set -euo pipefail
build=${1:?usage: bench/run.sh BUILD_DIR}
shift
here=$(cd "$(dirname "$0")" && pwd)
bin="$build/bench/kova_bench"
cli="$build/cli/kova"
[ -x "$bin" ] || { echo "run.sh: $bin not built (configure with -DKOVA_BUILD_BENCH=ON)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

echo "== machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== peak memory of a 200,000-row parse"
"$bin" --peak-memory | tee "$out/peak.json"
echo "== peak memory of a search through the request frame (150,000 realistic rows; 6,600,000 tiny rows)"
"$bin" --peak-memory-search 150000 | tee "$out/peak_search.json"
"$bin" --peak-memory-search 6600000 tiny | tee "$out/peak_tiny.json"

echo "== benchmarks (${REPS:-7} repetitions, interleaved)"
"$bin" --benchmark_repetitions="${REPS:-7}" --benchmark_enable_random_interleaving=true \
  --benchmark_out="$out/bench.json" --benchmark_out_format=json --benchmark_format=console \
  --benchmark_display_aggregates_only=true "$@" >"$out/console.txt" 2>&1 || { cat "$out/console.txt"; exit 1; }

# The accessors of a host that binds sessions beside those of one that does
# not: binding switches a whole process, so each side is a process of its
# own, run by turns.
echo "== accessors: the default context against a bound session (${ACCESSOR_PAIRS:-5} pairs of processes)"
for i in $(seq "${ACCESSOR_PAIRS:-5}"); do
  for side in default bound; do
    flag=(); [ $side = bound ] && flag=(--bound-session)
    "$bin" "${flag[@]}" --benchmark_filter='^BM_accessors/' --benchmark_repetitions=3 \
      --benchmark_out="$out/acc_${side}_$i.json" --benchmark_out_format=json >/dev/null 2>&1 || true
  done
done

echo "== whole process on the 200,000-row answer (${WHOLE_PAIRS:-5} pairs)"
if [ -x "$cli" ]; then
  "$bin" --write-jackett 200000 "$out/jackett.json"
  python3 "$here/whole_process.py" "$cli" "$out/jackett.json" "${WHOLE_PAIRS:-5}" >"$out/whole.json"
else
  echo "{}" >"$out/whole.json"
fi
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$out/bench.json" "$out/peak.json" "$out/peak_search.json" "$out/peak_tiny.json" "$out/whole.json" "$out" <<'PY'
import glob, json, os, re, statistics, sys

bench = json.load(open(sys.argv[1]))
peak = json.load(open(sys.argv[2]))
whole = json.load(open(sys.argv[5]))

# The repetitions of each benchmark, in the order they ran.
reps = {}
for b in bench["benchmarks"]:
    if b.get("run_type") != "iteration" or b.get("error_occurred"):
        continue
    name = re.sub(r"/min_(warmup_)?time:[0-9.]+", "", b["run_name"])
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    reps.setdefault(name, []).append(dict(b, ms=b["cpu_time"] * scale))

def spread(values, fmt):
    return "%s (%s..%s)" % (fmt % statistics.median(values), fmt % min(values), fmt % max(values))

def fmt_rate(v, unit):
    if v is None:
        return "-"
    for div, p in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if v >= div:
            return "%.2f %s%s/s" % (v / div, p, unit)
    return "%.0f %s/s" % (v, unit)

rows = []
verdicts = []
def line(what, name, base=None, target=None, pair=None, at_least=False):
    r = reps.get(name)
    if not r:
        rows.append((what, "skipped", "", "", "", "not built or failed"))
        return
    times = [x["ms"] for x in r]
    rate = lambda key: statistics.median(x[key] for x in r) if key in r[0] else None
    ratio, verdict = "", ""
    paired = [x["ratio"] for x in reps.get(pair, []) if x.get("ratio")]
    if paired:
        ratio = spread(paired, "%.2fx") + " paired"
        if target is not None:
            m = statistics.median(paired)
            ok = m >= target if at_least else m <= target
            verdict = (("ok (>= %.1fx)" if ok else "MISSED (< %.1fx)") if at_least else
                       ("ok (<= %.1fx)" if ok else "MISSED (> %.1fx)")) % target
            verdicts.append(ok)
    elif base and reps.get(base):
        ratio = "%.2fx" % (statistics.median(times) / statistics.median(x["ms"] for x in reps[base]))
        if target is not None:
            verdict = "no pairs measured"
    rows.append((what, spread(times, "%.3f") + " ms", fmt_rate(rate("bytes_per_second"), "B"),
                 fmt_rate(rate("rows"), "rows"), ratio, verdict))

for n in (1000, 10000, 200000):
    line("yyjson_read, Jackett %d rows" % n, "BM_yyjson_read_jackett/%d" % n)
    line("  strlen + yyjson_read (C text)", "BM_yyjson_read_cstr_jackett/%d" % n, "BM_yyjson_read_jackett/%d" % n)
    line("kova_parse_jackett, %d rows" % n, "BM_kova_parse_jackett/%d" % n, "BM_yyjson_read_jackett/%d" % n,
         1.3 if n >= 10000 else None, "BM_pair_parse_jackett/%d" % n)
line("yyjson_read, 10000 releases", "BM_yyjson_read_releases/10000")
line("kova_parse_arr_releases, 10000", "BM_kova_parse_arr_releases/10000", "BM_yyjson_read_releases/10000")
for n in (10000, 200000):
    line("accessors, all fields, %d rows" % n, "BM_accessors/%d" % n)
for n in (10000, 200000):
    line("yyjson_write of the answer, %d rows" % n, "BM_yyjson_write/%d" % n)
    line("kova_result_json, %d rows" % n, "BM_kova_result_json/%d" % n, "BM_yyjson_write/%d" % n, 1.5,
         "BM_pair_result_json/%d" % n)
line("staged search via fake, 10000 rows", "BM_staged_search/10000")
line("Torznab list, 500 indexers", "BM_torznab_indexers/500")
line("Sonarr lookup via fake, 1000 series", "BM_sonarr_lookup/1000")
# Two threads with a session each beside one thread doing both searches: the
# ratio is one thread's time over two threads' (2: fully side by side).
line("sessions: staged search via fake, 10000 rows, 2 threads vs 1", "BM_pair_sessions_fake/10000",
     target=1.7, pair="BM_pair_sessions_fake/10000", at_least=True)
line("sessions: the machine's ceiling (arithmetic, no kova), 2 threads vs 1", "BM_pair_cpu_control",
     pair="BM_pair_cpu_control")
line("sessions: search via curl, server answering after 50 ms, 2 threads vs 1",
     "BM_pair_sessions_delay/50/real_time", pair="BM_pair_sessions_delay/50/real_time")

head = ("benchmark", "cpu time: median (fastest..slowest)", "bytes/s", "rows/s", "ratio", "target")
w = [max(len(str(r[i])) for r in rows + [head]) for i in range(6)]
print()
print("  ".join(h.ljust(w[i]) for i, h in enumerate(head)))
print("  ".join("-" * w[i] for i in range(6)))
for r in rows:
    print("  ".join(str(c).ljust(w[i]) for i, c in enumerate(r)))

# Scaling compares two sizes measured at different moments: their fastest
# repetitions, the least disturbed by the rest of the machine.
def min_ms(name):
    r = reps.get(name)
    return min(x["ms"] for x in r) if r else None
t10, t200 = min_ms("BM_kova_parse_jackett/10000"), min_ms("BM_kova_parse_jackett/200000")
if t10 and t200:
    per10, per200 = t10 / 10000, t200 / 200000
    growth = per200 / per10 - 1
    print("\nscaling (fastest repetitions): %.1f ns/row at 10,000 rows, %.1f ns/row at 200,000 (%+.0f%%; "
          "target within 25%%): %s" % (per10 * 1e6, per200 * 1e6, growth * 100, "ok" if abs(growth) <= 0.25 else "MISSED"))
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

# Per pair of processes: the bound session's median time over the default
# context's, for each size.
def acc_medians(path):
    try:
        data = json.load(open(path))
    except (OSError, ValueError):
        return {}
    by = {}
    for b in data.get("benchmarks", []):
        if b.get("run_type") == "iteration" and not b.get("error_occurred"):
            by.setdefault(re.sub(r"/min_(warmup_)?time:[0-9.]+", "", b["run_name"]), []).append(b["cpu_time"])
    return {k: statistics.median(v) for k, v in by.items()}
acc_pairs = []
for d in sorted(glob.glob(os.path.join(sys.argv[6], "acc_default_*.json"))):
    acc_pairs.append((acc_medians(d), acc_medians(d.replace("acc_default_", "acc_bound_"))))
for n in (10000, 200000):
    name = "BM_accessors/%d" % n
    ratios = [b[name] / a[name] for a, b in acc_pairs if a.get(name) and b.get(name)]
    if ratios:
        print("accessors, every field of %d rows, a bound session against the default context: %s "
              "(%d pairs of processes; 1.00x: the same)" % (n, spread(ratios, "%.2fx"), len(ratios)))

if whole.get("pairs"):
    pairs = whole["pairs"]
    size = whole["file_bytes"]
    print("\nwhole process on the 200,000-row answer (%.1f MB), %d pairs of runs:" % (size / 1e6, len(pairs)))
    for who in ("kova", "python"):
        print("  %-7s elapsed %s s, CPU %s s, peak memory %s MB" % (
            who, spread([p[who]["elapsed"] for p in pairs], "%.2f"), spread([p[who]["cpu"] for p in pairs], "%.2f"),
            spread([p[who]["peak_rss"] / 1e6 for p in pairs], "%.0f")))
    speed = [p["python"]["elapsed"] / p["kova"]["elapsed"] for p in pairs]
    cpu = [p["python"]["cpu"] / p["kova"]["cpu"] for p in pairs]
    ok = statistics.median(speed) >= 8
    verdicts.append(ok)
    print("  kova faster than python: %s elapsed, %s CPU (target >= 8x elapsed): %s"
          % (spread(speed, "%.1fx"), spread(cpu, "%.1fx"), "ok" if ok else "MISSED"))
    mem = [p["kova"]["peak_rss"] / size for p in pairs]
    ok = statistics.median(mem) <= 3
    verdicts.append(ok)
    print("  kova's peak memory: %s the file (target <= 3x): %s" % (spread(mem, "%.2fx"), "ok" if ok else "MISSED"))
else:
    print("\nwhole process: skipped (no kova command-line program in the build, or no pairs asked for)")
print("\ntargets met by their medians: %d of %d" % (sum(verdicts), len(verdicts)))
PY

#!/usr/bin/env bash
# JSON page read: the loader's way of reading a 300-plugin catalogue page through JsonDocument,
# against python3's json.loads of the same text, in the same run. Prints both medians and the ratio
# (target: at most 1.0).
#   bench/run_json_bench.sh [REPETITIONS]    (BUILD_DIR may be set in the environment)
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-9}
build=${BUILD_DIR:-build-bench}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON -DQUILLORA_TESTS=OFF \
  -DQUILLORA_GUI=OFF >/dev/null
cmake --build "$build" --target json_page_bench -j 2 >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/quillora-json-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/json_page_bench" --write-page="$work/page.json"

"$build/bench/json_page_bench" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$work/bench.json"

python3 - "$work/page.json" "$work/bench.json" "$repetitions" <<'PY'
import json, statistics, sys, time, timeit
page_path, bench_path, repetitions = sys.argv[1], sys.argv[2], int(sys.argv[3])
text = open(page_path, encoding="utf-8").read()
wall, cpu = {}, {}
for run in json.load(open(bench_path))["benchmarks"]:
    if run.get("aggregate_name") == "median":
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[run["time_unit"]]
        wall[run["run_name"]] = run["real_time"] * scale
        cpu[run["run_name"]] = run["cpu_time"] * scale

def python_median(clock):
    timer = timeit.Timer(lambda: json.loads(text), timer=clock)
    number, _ = timer.autorange()
    return statistics.median(t / number * 1e6 for t in timer.repeat(repeat=repetitions, number=number))

# Wall time is what the user waits for; CPU time is steadier on a shared machine. Both are medians.
python_wall = python_median(time.perf_counter)
python_cpu = python_median(time.process_time)
print(f"page: {len(text)} bytes, 300 plugins, 10 members each; python3 {sys.version.split()[0]}")
print(f"{'':34}{'wall us':>10}{'cpu us':>10}")
print(f"{'JsonDocument parse only':34}{wall['JsonPageParseOnly']:10.1f}{cpu['JsonPageParseOnly']:10.1f}")
print(f"{'JsonDocument page read (loader)':34}{wall['JsonPageRead']:10.1f}{cpu['JsonPageRead']:10.1f}")
print(f"{'python3 json.loads':34}{python_wall:10.1f}{python_cpu:10.1f}")
print(f"{'ratio page read / json.loads':34}{wall['JsonPageRead'] / python_wall:10.2f}"
      f"{cpu['JsonPageRead'] / python_cpu:10.2f}")
PY

#!/usr/bin/env bash
# Side-by-side figures in one run: download throughput against curl and peak RSS growth over a 1 GiB
# download (bench/run_download_bench.sh); a catalogue page of 300 plugins from the click to its rows
# against the bare fetch and parse of the same page, in a window without a display and in the real
# window; start-up to the first page shown against a minimal Qt window, with the store on loopback and
# with every request answered 30 ms late.
#   bench/run_compare.sh [RUNS]    (BUILD_DIR, GUI_BUILD_DIR, BYTES and WORK_DIR may be set in the
#                                   environment; SKIP_DOWNLOAD=1 leaves the download out)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD_DIR:-build-bench-soak}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON -DQUILLORA_TESTS=OFF \
  -DQUILLORA_GUI=OFF >/dev/null
cmake --build "$build" --target page_show_bench download_bench quillora-store -j 2 >/dev/null

. bench/store_env.sh
bench_work compare

if [ "${SKIP_DOWNLOAD:-0}" != 1 ]; then
echo "== download, ${BYTES:-1073741824} bytes, against curl -o =="
BUILD_DIR="$build" bench/run_download_bench.sh "$runs" | grep -v '^run '
fi

# One robot with 300 plugins on its only page: the sample catalogue's plugins, repeated under new
# ids, so that the cells are of every kind the sample has (Chinese, quotes, CR LF, odd times).
python3 - devstore/catalogue.json "$work/catalogue.json" <<'PY'
import json, sys
sample = json.load(open(sys.argv[1], encoding="utf-8"))
plugins = [p for p in sample["plugins"] if p.get("robot_id") == 1]
page = []
for i in range(300):
    plugin = dict(plugins[i % len(plugins)])
    plugin["plugin_id"] = str(200000 + i)
    page.append(plugin)
sample["page_size"] = 300
sample["plugins"] = page
json.dump(sample, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PY

start_store "$build" --catalogue "$work/catalogue.json"
echo
echo "== catalogue page of 300 plugins: click to rows in the list against fetch + parse =="
"$build/bench/page_show_bench" "$http_url" "$ca_file" $((runs * 6 + 1))

# The real window: a build with Qt of its own, so that the builds above stay without it.
gui_build=${GUI_BUILD_DIR:-build-bench-gui}
startup() {
  QT_QPA_PLATFORM=offscreen python3 - "$gui_build/bench" "$work/robot" "$http_url" "$ca_file" \
    $((runs * 2 + 1)) <<'PY'
import statistics, subprocess, sys, time
bench, robot, url, ca, runs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
def shown_after(args):
    start = time.perf_counter()
    child = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = child.stdout.readline()
    elapsed = time.perf_counter() - start
    child.wait(timeout=30)
    if line.strip() != b"shown":
        sys.exit("%s did not show its window" % args[0])
    return elapsed * 1000
minimal, quillora = [], []
for i in range(runs + 1):  # the first pair warms the page cache
    pair = [(minimal, [bench + "/minimal_qt_window"]),
            (quillora, [bench + "/startup_gui", robot, url, ca])]
    for figures, args in (pair if i % 2 else reversed(pair)):
        ms = shown_after(args)
        if i > 0:
            figures.append(ms)
m, q = statistics.median(minimal), statistics.median(quillora)
print("minimal Qt window, first paint   %.1f ms (median of %d)" % (m, runs))
print("Quillora, first page shown       %.1f ms (median of %d)" % (q, runs))
print("ratio                            %.2f" % (q / m))
PY
}
if cmake -S . -B "$gui_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON \
  -DQUILLORA_TESTS=OFF -DQUILLORA_GUI=ON >/dev/null 2>&1 &&
  cmake --build "$gui_build" --target startup_gui minimal_qt_window page_show_gui -j 2 >/dev/null; then
  mkdir "$work/robot"
  : >"$work/robot/vexa.exe"
  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR="$work/runtime"  # where Qt wants it; unset, it warns on every start
  echo
  echo "== the same page in the real window (offscreen): click to rows painted against fetch + parse =="
  QT_QPA_PLATFORM=offscreen "$gui_build/bench/page_show_gui" "$work/robot" "$http_url" "$ca_file" \
    $((runs * 6 + 1))
  echo
  echo "== start-up to the first page shown (300 rows) against a minimal Qt window, offscreen =="
  startup
  # Again against a store that answers every request 30 ms late, as one across a network would: what
  # the start-up's requests cost when they are not on loopback.
  stop_store
  start_store "$build" --catalogue "$work/catalogue.json" --latency 30
  echo
  echo "== the same, each request answered 30 ms late =="
  startup
else
  echo
  echo "real window: no build with Qt in $gui_build; its page and start-up figures skipped"
fi

#!/usr/bin/env bash
# Download throughput: RangedDownloader against `curl -o`, both fetching 1 GiB from quillora-store
# over loopback into a real file. Prints per-run figures, medians, the ratio and peak RSS growth.
#   bench/run_download_bench.sh [RUNS]    (BUILD_DIR, BYTES and WORK_DIR may be set in the environment)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD_DIR:-build-bench}
bytes=${BYTES:-1073741824}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON -DQUILLORA_TESTS=OFF \
  -DQUILLORA_GUI=OFF >/dev/null
cmake --build "$build" --target download_bench quillora-store -j 2 >/dev/null

. bench/store_env.sh
bench_work download-bench

mkdir "$work/files"
start_store "$build"

echo "curl: $(curl --version | head -1)"
"$build/bench/download_bench" "$http_url/test/bytes/$bytes" "$work/files" "$runs"

#!/usr/bin/env bash
# Soak check: 2,000 paging clicks and 200 downloads in a row in one process against quillora-store;
# resident memory and open descriptors at the end against those after a warm-up.
#   bench/run_soak.sh [CLICKS [DOWNLOADS]]    (BUILD_DIR and WORK_DIR may be set in the environment)
# Exit status 0 when the process stayed steady (RSS within 5 %, no descriptor left open).
set -euo pipefail
cd "$(dirname "$0")/.."
clicks=${1:-2000}
downloads=${2:-200}
build=${BUILD_DIR:-build-bench-soak}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLORA_BENCH=ON -DQUILLORA_TESTS=OFF \
  -DQUILLORA_GUI=OFF >/dev/null
cmake --build "$build" --target soak_bench quillora-store -j 2 >/dev/null

. bench/store_env.sh
bench_work soak

mkdir "$work/client"
start_store "$build"

"$build/bench/soak_bench" "$http_url" "$ca_file" "$work/client" "$clicks" "$downloads"

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

work=$(mktemp -d "${WORK_DIR:-${TMPDIR:-/tmp}}/quillora-soak-XXXXXX")
store_pid=
cleanup() {
  if [ -n "$store_pid" ]; then
    kill "$store_pid" 2>/dev/null || true
    wait "$store_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/state" "$work/client"
"$build/devstore/quillora-store" --state-dir "$work/state" >"$work/store.out" 2>"$work/store.err" &
store_pid=$!
for _ in $(seq 100); do
  [ -s "$work/store.out" ] && break
  sleep 0.1
done
http_url=$(sed -n 's/.*"http_url":"\([^"]*\)".*/\1/p' "$work/store.out")
ca_file=$(sed -n 's/.*"ca_file":"\([^"]*\)".*/\1/p' "$work/store.out")
if [ -z "$http_url" ]; then
  echo "quillora-store did not start" >&2
  cat "$work/store.err" >&2
  exit 1
fi

"$build/bench/soak_bench" "$http_url" "$ca_file" "$work/client" "$clicks" "$downloads"

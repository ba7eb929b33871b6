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

work=$(mktemp -d "${WORK_DIR:-${TMPDIR:-/tmp}}/quillora-download-bench-XXXXXX")
store_pid=
cleanup() {
  if [ -n "$store_pid" ]; then
    kill "$store_pid" 2>/dev/null || true
    wait "$store_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/state" "$work/files"
"$build/devstore/quillora-store" --state-dir "$work/state" >"$work/store.out" 2>"$work/store.err" &
store_pid=$!
for _ in $(seq 100); do
  [ -s "$work/store.out" ] && break
  sleep 0.1
done
http_url=$(sed -n 's/.*"http_url":"\([^"]*\)".*/\1/p' "$work/store.out")
if [ -z "$http_url" ]; then
  echo "quillora-store did not start" >&2
  cat "$work/store.err" >&2
  exit 1
fi

echo "curl: $(curl --version | head -1)"
"$build/bench/download_bench" "$http_url/test/bytes/$bytes" "$work/files" "$runs"

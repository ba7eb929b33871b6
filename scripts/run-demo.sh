#!/usr/bin/env bash
# Installs what is missing, builds the program, starts the local demo store and opens the window in
# a sample robot directory. Without a display it runs under Xvfb.
#   QUILLORA_BUILD_DIR  build directory (default: build)
#   QUILLORA_DEMO_DIR   where the robot directory and the store's state live (default: out/demo)
#   QUILLORA_DEMO_RATE  pace of the plugin files in bytes per second, so that the progress can be
#                       watched (default: 1500000; 0 for full speed)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${QUILLORA_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillora quillora-store
demo=${QUILLORA_DEMO_DIR:-$PWD/out/demo}
robot="$demo/robot"
mkdir -p "$robot/Plugin" "$demo/store"  # Plugin/: where a Vexa robot keeps its plugins
touch "$robot/vexa.exe"            # the marker of the "Vexa" host robot
cp "$build/src/app/ui/quillora" "$robot/quillora"

urls="$demo/store.json"
rm -f "$urls"
"$build/devstore/quillora-store" --state-dir "$demo/store" --file-rate "${QUILLORA_DEMO_RATE:-1500000}" >"$urls" &
store_pid=$!
stop_store() {
  kill -TERM "$store_pid" 2>/dev/null || true
  wait "$store_pid" 2>/dev/null || true
}
trap stop_store EXIT
# The store prints its one line once both ports accept connections.
for _ in $(seq 200); do
  grep -q '}' "$urls" 2>/dev/null && break
  kill -0 "$store_pid" 2>/dev/null || { echo "quillora-store did not start" >&2; exit 1; }
  sleep 0.05
done
grep -q '}' "$urls" || { echo "quillora-store did not report its URLs" >&2; exit 1; }
field() { sed -n "s/.*\"$1\":\"\([^\"]*\)\".*/\1/p" "$urls"; }
http_url=$(field http_url)
https_url=$(field https_url)
ca_file=$(field ca_file)
echo "demo store: $http_url and $https_url (CA $ca_file)"
echo "demo account: demo / demo123 (see devstore/README.md)"
run=("$robot/quillora" --store-url "$http_url" --store-tls-url "$https_url" --ca-file "$ca_file")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" "${run[@]}"
else
  "${run[@]}"
fi

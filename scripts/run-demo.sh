#!/usr/bin/env bash
# Installs what is missing, builds the program, starts the local demo store and opens the window in
# a sample robot directory. Without a display it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${QUILLORA_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillora quillora-store
demo=${QUILLORA_DEMO_DIR:-$PWD/out/demo}
robot="$demo/robot"
mkdir -p "$robot" "$demo/store"
touch "$robot/vexa.exe"            # the marker of the "Vexa" host robot
cp "$build/src/app/ui/quillora" "$robot/quillora"
"$build/devstore/quillora-store" --state-dir "$demo/store" >"$demo/store.json" &
store_pid=$!
trap 'kill $store_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$demo/store.json" ] && break; sleep 0.1; done
http_url=$(sed -n 's/.*"http_url" *: *"\([^"]*\)".*/\1/p' "$demo/store.json")
https_url=$(sed -n 's/.*"https_url" *: *"\([^"]*\)".*/\1/p' "$demo/store.json")
ca_file=$(sed -n 's/.*"ca_file" *: *"\([^"]*\)".*/\1/p' "$demo/store.json")
echo "demo store: $http_url and $https_url; demo account: demo / demo123"
run=("$robot/quillora" --store-url "$http_url" --store-tls-url "$https_url" --ca-file "$ca_file")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" "${run[@]}"
else
  "${run[@]}"
fi

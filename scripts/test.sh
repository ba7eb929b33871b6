#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless; non-zero on any failure.
# QUILLORA_QUICK=1 skips the fuzzing and sanitizer passes (CI always runs them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
build=${QUILLORA_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DQUILLORA_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
if [ "${QUILLORA_QUICK:-0}" != 1 ]; then
  # CI gives every fuzz target a full minute; by hand a few seconds each is the default.
  [ "${CI:-}" = true ] && export FUZZ_SECONDS=${FUZZ_SECONDS:-60}
  for extra in scripts/fuzz.sh scripts/sanitize.sh; do
    [ -f "$extra" ] && bash "$extra"
  done
fi
echo "all tests passed"

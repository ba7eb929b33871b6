#!/usr/bin/env bash
# Builds every libFuzzer target under AddressSanitizer + UndefinedBehaviorSanitizer in build-fuzz and
# runs each for FUZZ_SECONDS seconds (default 10), starting from its seed corpus in fuzz/corpus/.
# Any crash, sanitizer report, leak, time-out or out-of-memory fails the run; the input that caused
# it is kept in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-10}
build=build-fuzz

CXX=clang++ cmake -S . -B "$build" -G Ninja -DQUILLORA_FUZZ=ON -DQUILLORA_TESTS=OFF -DQUILLORA_GUI=OFF \
  -DQUILLORA_SANITIZE=address -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for source in fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
  # New inputs go to a scratch corpus so that the seeds in the repository stay as they are.
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "== $target: ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$work" "fuzz/corpus/$target" \
    >"$build/artifacts/$target.log" 2>&1; then
    tail -n 40 "$build/artifacts/$target.log"
    failed+=("$target")
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$build/artifacts/$target.log" || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing passed"

#!/usr/bin/env bash
# The test suites again under AddressSanitizer + UndefinedBehaviorSanitizer (all of them) and under
# ThreadSanitizer (the page-loading store tests and the window tests). Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
supp="$PWD/scripts/sanitizer"

cmake -S . -B build-asan -G Ninja -DQUILLORA_WERROR=ON -DQUILLORA_SANITIZE=address \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan -j "$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$supp/lsan.supp \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 600

cmake -S . -B build-tsan -G Ninja -DQUILLORA_WERROR=ON -DQUILLORA_SANITIZE=thread \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-tsan -j "$(nproc)" --target store_tests $( [ -n "$(ls tests/app/*.cpp 2>/dev/null)" ] && echo app_tests )
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp \
  ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" --timeout 600 -L 'store|gui'
echo "sanitizer runs passed"

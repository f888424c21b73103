#!/usr/bin/env bash
# Installs the dependencies, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${ZARVO_TEST_BUILD_DIR:-build/test}
cmake -S . -B "$build" -DZARVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DZARVO_WERROR=ON
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Every fuzz target for a short while under the sanitizers (clang and libFuzzer), two
# minutes in all.
bash fuzz/run.sh "${ZARVO_FUZZ_SECONDS:-120}"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
# The fault matrix as a table in the output (ctest shows a passing step's output only
# when asked).
ctest --test-dir "$build" -R '^faultmatrix_table$' --output-on-failure -V | sed -n 's/^[0-9]*: //; /The fault matrix/,/fault matrix:/p'

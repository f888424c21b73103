#!/usr/bin/env bash
# Builds every fuzz target with clang and libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs each for a while from its seeds, its regression
# inputs and any other folders its .cmake file names. New inputs go into the build tree;
# an input that fails is written there too and stops the script with an error. The time
# is shared out evenly between the targets (at least 5 s each).
#
#   bash fuzz/run.sh [seconds in all, default 120] [build folder, default build/fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-120}
build=${2:-build/fuzz}
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DZARVO_BUILD_FUZZ=ON -DZARVO_SANITIZE=ON \
  -DZARVO_BUILD_TESTS=OFF -DZARVO_BUILD_BENCH=OFF -DZARVO_WERROR=ON >/dev/null
targets=()
while read -r binary _; do targets+=("$(basename "$binary")"); done <"$build/fuzz-targets.txt"
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets"; exit 0; }
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)"
seconds=$((total / ${#targets[@]}))
[ "$seconds" -ge 5 ] || seconds=5
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
while read -r binary found dirs; do
  echo "fuzzing $(basename "$binary") for ${seconds} s"
  # shellcheck disable=SC2086  # the folders are separated by blanks
  "$binary" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$(dirname "$binary")/$(basename "$binary")-" "$found" $dirs </dev/null 2>&1 | tail -n 12
done <"$build/fuzz-targets.txt"

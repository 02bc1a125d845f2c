#!/usr/bin/env bash
# Builds the Find fuzz target with clang's libFuzzer (and the sanitizers)
# and runs it for a while, adding what it learns to build-fuzz/fuzz-corpus.
#
#   scripts/fuzz.sh [seconds]        default 600
#
# Needs clang and its runtime (Debian: clang, libclang-rt-14-dev).
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang++ >/dev/null || { echo "clang++ is not installed" >&2; exit 1; }
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERIVO_SANITIZE=ON -DMERIVO_BUILD_FUZZ=ON -DMERIVO_BUILD_TESTS=OFF -DMERIVO_BUILD_BENCH=OFF
cmake --build "$build" --target fuzz_find --parallel "$(nproc)"

mkdir -p "$build/fuzz-corpus"
exec "$build/fuzz/fuzz_find" -max_total_time="${1:-600}" -max_len=4096 -dict=fuzz/find.dict \
  -print_final_stats=1 "$build/fuzz-corpus" fuzz/corpus

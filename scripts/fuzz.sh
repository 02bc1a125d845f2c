#!/usr/bin/env bash
# Builds a fuzz target with clang's libFuzzer (and the sanitizers) and runs
# it for a while, adding what it learns to build-fuzz/fuzz-corpus-<target>.
#
#   scripts/fuzz.sh [find|vcard|csv|cff|sync] [seconds]   default: find, 600 seconds
#
# Needs clang and its runtime (Debian: clang, libclang-rt-14-dev).
set -euo pipefail
cd "$(dirname "$0")/.."

target=find
if [[ $# -gt 0 && ! $1 =~ ^[0-9]+$ ]]; then
  target=$1
  shift
fi
max_len=8192
case $target in
  find) corpus=fuzz/corpus max_len=4096 ;;
  vcard | csv | cff | sync) corpus=fuzz/corpus-$target ;;
  *) echo "unknown fuzz target $target: find, vcard, csv, cff or sync" >&2; exit 2 ;;
esac

command -v clang++ >/dev/null || { echo "clang++ is not installed" >&2; exit 1; }
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERIVO_SANITIZE=ON -DMERIVO_BUILD_FUZZ=ON -DMERIVO_BUILD_TESTS=OFF -DMERIVO_BUILD_BENCH=OFF
cmake --build "$build" --target "fuzz_$target" --parallel "$(nproc)"

mkdir -p "$build/fuzz-corpus-$target"
exec "$build/fuzz/fuzz_$target" -max_total_time="${1:-600}" -max_len=$max_len -dict="fuzz/$target.dict" \
  -print_final_stats=1 "$build/fuzz-corpus-$target" "$corpus"

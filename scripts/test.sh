#!/usr/bin/env bash
# Builds Merivo with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the whole test suite. Installs any missing Debian package first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build test

build=build-test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERIVO_SANITIZE=ON
cmake --build "$build" --parallel "$(nproc)"

export ASAN_OPTIONS=abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 600

#!/usr/bin/env bash
# Builds Merivo (installing any missing Debian package first) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build

build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMERIVO_BUILD_TESTS=OFF -DMERIVO_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)"
exec "$build/src/merivo"

#!/usr/bin/env bash
# Builds the two programs without sanitizers or tests and makes the Debian
# package BUILD/merivo_VERSION_ARCH.deb (build-package unless BUILD is
# given), installing any missing Debian package first. Each user of the
# installed package keeps their own contacts.
#   scripts/package.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build package

build=${1:-build-package}
# Hardened as Debian builds its own packages (the build type gives the optimisation).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DMERIVO_SANITIZE=OFF \
      -DMERIVO_BUILD_TESTS=OFF -DMERIVO_BUILD_BENCH=OFF -DMERIVO_DATA_DIR= >/dev/null
cmake --build "$build" --parallel "$(nproc)"
rm -f "$build"/merivo_*.deb
(cd "$build" && cpack -G DEB)

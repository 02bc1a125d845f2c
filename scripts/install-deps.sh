#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and looking at Merivo need.
# Safe to run again: packages already present are skipped without touching apt.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libsqlite3-dev sqlite3
  libbenchmark-dev
  libharfbuzz-dev libdeflate-dev
  xvfb xauth xdotool imagemagick openbox x11-utils
  poppler-utils fonts-dejavu-core fonts-liberation2 fonts-wqy-microhei fonts-lohit-deva fonts-noto-cjk
  cups printer-driver-cups-pdf
  desktop-file-utils appstream
  abook mdbtools python3-vobject
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

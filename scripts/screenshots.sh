#!/usr/bin/env bash
# Starts Merivo under a virtual X server with its own data directory, walks
# through the windows with real keyboard input and saves a picture of each
# in docs/. Needs a build made by scripts/run.sh or any build folder given as $1.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

data=$(mktemp -d)
build=${1:-build-shots}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMERIVO_BUILD_TESTS=OFF -DMERIVO_BUILD_BENCH=OFF \
      -DMERIVO_DATA_DIR="$data" >/dev/null
cmake --build "$build" --parallel "$(nproc)" >/dev/null

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$data"' EXIT
sleep 1
openbox >/dev/null 2>&1 &
sleep 1

"$build/src/merivo" &
app=$!

wait_for() { # window title
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "no window titled '$1'" >&2; return 1
}
shot() { # window title, file
  local id; id=$(xdotool search --onlyvisible --name "^$1\$" | head -n1)
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
  sleep 0.4
  import -window root -crop "$(xwininfo -id "$id" -frame | awk '/Width:/{w=$2}/Height:/{h=$2}/Absolute upper-left X:/{x=$4}/Absolute upper-left Y:/{y=$4}END{print w+8"x"h+40"+"x-4"+"y-32}')" "docs/$2"
}

mkdir -p docs
wait_for Login
xdotool type --delay 20 "alice"
xdotool key Tab
xdotool type --delay 20 "qard"
shot Login login.png
xdotool key Return
wait_for Merivo
sleep 0.3
xdotool key alt+b
sleep 0.4
import -window root -crop 560x420+232+150 docs/main-window.png
xdotool key Escape
xdotool key alt+a
wait_for About
shot About about.png
xdotool key Return

kill "$app" 2>/dev/null || true
echo "saved: $(ls docs)"

#!/usr/bin/env bash
# Builds everything and runs the main job: the demo target streaming frames, and the host
# console connected to it with the GPU profiler open.
#
# With a display, the console opens its windows there and runs until you close it. Without one
# (no DISPLAY), it runs offscreen for a few seconds and saves a screenshot of every window to
# build/screenshots/.
#
# Extra arguments go to the demo target, e.g.: scripts/run.sh --fps 120 --samples 3000
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

bin=build/release
port=${CORVID_DEMO_PORT:-29100}

"$bin/target/demo/gpuprofiler-demo-target" --port "$port" --loopback --quiet "$@" &
target_pid=$!
trap 'kill $target_pid 2>/dev/null || true' EXIT
sleep 0.3

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$bin/corvid/corvid" --connect "localhost:$port" --open-profiler
else
  shots=build/screenshots
  echo "No display: running offscreen for 6 seconds; screenshots go to $shots/"
  QT_QPA_PLATFORM=offscreen "$bin/corvid/corvid" --connect "localhost:$port" --open-profiler \
    --run-for 6000 --screenshots "$shots"
  ls -1 "$shots"
fi

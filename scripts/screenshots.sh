#!/usr/bin/env bash
# Takes the README's pictures under Xvfb: the console, the profiler recording, the profiler paused
# with the sample hierarchy open, and the resource window's two lists. The console walks through
# these steps itself (--screenshot-tour) against a demo target on a private port.
#
#   scripts/screenshots.sh [output folder, default docs]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

out=${1:-docs}
bin=build/release
port=${CORVID_DEMO_PORT:-29131}

"$bin/target/demo/gpuprofiler-demo-target" --port "$port" --loopback --quiet --run-for 60 &
target_pid=$!
trap 'kill $target_pid 2>/dev/null || true' EXIT
sleep 0.3

mkdir -p "$out"
xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$bin/corvid/corvid" --connect "localhost:$port" --screenshot-tour "$out"

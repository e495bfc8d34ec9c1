#!/usr/bin/env bash
# Takes the README's pictures under Xvfb: the console, the profiler recording, the profiler paused
# with the sample hierarchy open, and the resource window's two lists. The console walks through
# these steps itself (--screenshot-tour) against a demo target on a private port. Then the same
# tour against real Vulkan applications through the profiler's layer: vkcube (vulkan-tools) and
# gpuprofiler-vulkan-demo, whose paused profiler pictures become docs/profiler-vkcube.png and
# docs/profiler-vulkan-demo.png. Between the two, a capture of the demo target recorded with gpucap:
# its frames plotted (docs/frames-plot.png), and the console with the capture opened
# (docs/capture-console.png, docs/capture-profiler.png).
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

shots=$(mktemp -d)
"$bin/tools/gpucap/gpucap" record --connect "localhost:$port" --frames 400 --quiet -o "$shots/demo.gpucap"
"$bin/tools/gpucap/gpucap" frames "$shots/demo.gpucap" -o "$shots/frames.csv"
scripts/plot-frames.sh "$shots/frames.csv" "$out/frames-plot.png" "GPU time per frame: 400 frames of the demo target" >/dev/null
xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$bin/corvid/corvid" "$shots/demo.gpucap" --run-for 2000 --screenshots "$shots"
cp "$shots"/*-Corvid-Developer-Console.png "$out/capture-console.png"
cp "$shots"/*-GPU-Profiler-*.png "$out/capture-profiler.png"
rm -rf "$shots"

# Vulkan applications with the layer, on Mesa's lavapipe. vkcube records its command buffers
# once at start-up, so the layer instruments them from the start (GPUPROFILER_INSTRUMENT_ALWAYS).
export VK_LAYER_PATH=$PWD/$bin/target/vulkan VK_INSTANCE_LAYERS=VK_LAYER_CORVID_gpuprofiler
export VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json
tour=$(mktemp -d)
vulkan_port=$((port + 1))
xvfb-run -a -s "-screen 0 1600x1000x24" bash -c "
  GPUPROFILER_PORT=$vulkan_port GPUPROFILER_INSTRUMENT_ALWAYS=1 timeout 60 vkcube --width 400 --height 400 >/dev/null &
  sleep 1
  '$bin/corvid/corvid' --connect localhost:$vulkan_port --screenshot-tour '$tour/vkcube'
  kill %1 2>/dev/null || true"
cp "$tour/vkcube/profiler-paused.png" "$out/profiler-vkcube.png"

GPUPROFILER_PORT=$vulkan_port "$bin/target/vulkan/scene/gpuprofiler-vulkan-demo" --fps 30 --run-for 60 >/dev/null &
demo_pid=$!
trap 'kill $target_pid $demo_pid 2>/dev/null || true' EXIT
sleep 1
xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$bin/corvid/corvid" --connect "localhost:$vulkan_port" --screenshot-tour "$tour/demo"
cp "$tour/demo/profiler-paused.png" "$out/profiler-vulkan-demo.png"
rm -rf "$tour"
ls -1 "$out"/profiler-vkcube.png "$out"/profiler-vulkan-demo.png

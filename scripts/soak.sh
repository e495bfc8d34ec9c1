#!/usr/bin/env bash
# Memory over time: runs the demo target at 1,000 frames per second with the console connected
# and the profiler open (offscreen), samples the resident memory of both processes into a CSV,
# and prints a summary of the console's: start, end, maximum, and the slope of a least-squares
# line over the whole run and over its second half (a warm-up shows in the first, growth that
# goes on in both). Besides resident memory the CSV has what the console reports of its own
# heap (--report-memory): the bytes live in g_pMemAlloc (the plug-in's and the links' data) and
# in the C heap. Resident memory that grows while those stay flat is the allocator holding on
# to freed memory, not a leak.
#
#   scripts/soak.sh [--seconds N] [--interval S] [--out FILE] [-- demo target options]
#
# Defaults: 300 s, a sample every 5 s, build/soak/rss.csv. Example, one hour:
#   scripts/soak.sh --seconds 3600
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=300
interval=5
out=build/soak/rss.csv
target_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --interval) interval=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --) shift; target_args=("$@"); break ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target corvid gpuprofiler-demo-target >/dev/null

bin=build/release
port=${CORVID_SOAK_PORT:-29177}
mkdir -p "$(dirname "$out")"

"$bin/target/demo/gpuprofiler-demo-target" --port "$port" --loopback --quiet --fps 1000 "${target_args[@]}" &
target_pid=$!
console_pid=
trap 'kill $target_pid $console_pid 2>/dev/null || true' EXIT
sleep 0.3
report="$out.console"
QT_QPA_PLATFORM=offscreen "$bin/corvid/corvid" --connect "localhost:$port" --open-profiler \
  --run-for $(( (seconds + 2) * 1000 )) --report-memory 1000 >"$report" 2>/dev/null &
console_pid=$!

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
# The console's latest report: tracked and heap bytes, in KiB.
heap_kib() { awk '$1 == "memory" { t = $2; h = $3 } END { printf "%d,%d", t / 1024, h / 1024 }' "$report"; }

echo "seconds,console_rss_kib,target_rss_kib,console_tracked_kib,console_heap_kib" > "$out"
echo "Soaking for $seconds s at 1,000 fps; samples every $interval s go to $out"
start=$(date +%s)
while :; do
  now=$(( $(date +%s) - start ))
  [ "$now" -gt "$seconds" ] && break
  kill -0 "$console_pid" 2>/dev/null || { echo "the console ended early" >&2; exit 1; }
  echo "$now,$(rss_kib "$console_pid"),$(rss_kib "$target_pid"),$(heap_kib)" >> "$out"
  sleep "$interval"
done
wait "$console_pid" || true

awk -F, -v half="$(( seconds / 2 ))" '
  function slope(n, sx, sy, sxx, sxy) { d = n * sxx - sx * sx; return d ? (n * sxy - sx * sy) / d : 0 }
  NR == 1 { next }
  {
    t = $1; m = $2 / 1024
    if (!first) { first = m; first_t = t }
    last = m; if (m > max) max = m
    tracked = $4 / 1024; heap = $5 / 1024
    if (t >= half && !half_tracked) { half_tracked = tracked; half_heap = heap }
    n++; sx += t; sy += m; sxx += t * t; sxy += t * m
    if (t >= half) { hn++; hsx += t; hsy += m; hsxx += t * t; hsxy += t * m }
  }
  END {
    printf "console RSS: start %.1f MiB, end %.1f MiB, max %.1f MiB\n", first, last, max
    printf "slope: %.2f MiB/hour over the run, %.2f MiB/hour over its second half (%d samples)\n",
           slope(n, sx, sy, sxx, sxy) * 3600, slope(hn, hsx, hsy, hsxx, hsxy) * 3600, n
    printf "g_pMemAlloc live: %.1f MiB at half time, %.1f MiB at the end; C heap in use: %.1f MiB, %.1f MiB\n",
           half_tracked, tracked, half_heap, heap
  }' "$out"

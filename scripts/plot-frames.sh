#!/usr/bin/env bash
# Draws the GPU time of every frame in a frames.csv (from `gpucap frames`) as a PNG: one line per
# swap chain over its frames in capture order, with the 60 and 30 frames-per-second budgets
# (the green and dark green of the profiler's history bars) as dashed lines.
#
#   scripts/plot-frames.sh frames.csv [frames.png] [title]
#
# Needs gnuplot (the gnuplot-nox package; scripts/install-deps.sh installs it).
set -euo pipefail

csv=${1:?usage: plot-frames.sh frames.csv [frames.png] [title]}
png=${2:-${csv%.csv}.png}
title=${3:-GPU time per frame}
command -v gnuplot >/dev/null || { echo "plot-frames.sh: gnuplot is missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# frames.csv: Frame, Swap Chain, Swap Chain Id, GPU Time [ms], ... with ", " between fields and
# no separator inside a name. Each swap chain's frames go to a file of their own: its frame
# number within the chain and its GPU time.
awk -F', ' -v dir="$work" '
  NR == 1 { if ($4 != "GPU Time [ms]") { print "plot-frames.sh: not a gpucap frames file" > "/dev/stderr"; exit 2 } next }
  {
    if (!($3 in chain)) { chain[$3] = ++n; print $2 " (" $3 ")" > (dir "/titles") }
    print count[$3]++, $4 > (dir "/chain" chain[$3])
  }' "$csv"
[ -s "$work/titles" ] || { echo "plot-frames.sh: $csv holds no frame" >&2; exit 2; }

plots=()
i=0
while IFS= read -r name; do
  i=$((i + 1))
  plots+=("'$work/chain$i' using 1:2 with lines linewidth 1.5 title '${name//\'/\'\'}'")
done < "$work/titles"
plot=$(IFS=,; echo "${plots[*]}")

gnuplot <<GNUPLOT
set terminal pngcairo size 1000,420 font "DejaVu Sans,10"
set output '$png'
set title '${title//\'/\'\'}'
set xlabel 'frame of its swap chain'
set ylabel 'GPU time [ms]'
set yrange [0:*]
set grid ytics
set key outside top center horizontal
set arrow from graph 0, first 1000.0/60 to graph 1, first 1000.0/60 nohead dashtype 2 linecolor rgb '#00a000'
set arrow from graph 0, first 1000.0/30 to graph 1, first 1000.0/30 nohead dashtype 2 linecolor rgb '#006000'
set label '60 fps' at graph 0.005, first 1000.0/60 offset 0,0.6 textcolor rgb '#00a000'
set label '30 fps' at graph 0.005, first 1000.0/30 offset 0,0.6 textcolor rgb '#006000'
plot $plot
GNUPLOT
echo "$png"

#!/usr/bin/env bash
# Measures the capture program on the production: its frame rate without encoding (one still at the
# end, so every frame of the demo runs) beside the scenes' whole-frame benchmark in the same run,
# then the real-time factor when it writes PNG frames and when it encodes H.264 through ffmpeg.
# Medians of RUNS runs (5 by default; the PNG and video runs once each).
#
#   scripts/measure_capture.sh <build-folder>      (run from the repository, after make content)
set -euo pipefail
build=$(realpath "${1:?usage: scripts/measure_capture.sh <build-folder>}")
runs=${RUNS:-5}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
capture="$build/tools/capture/capture"

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# The closing line: "capture: N frames in S s: F fps, R x real time" -> "F R"
rates() { sed -n 's/^capture: .* frames in .* s: \(.*\) fps, \(.*\)x real time$/\1 \2/p'; }

echo "== whole frames of both scenes without the pump's pause, as the capture runs them: bench_parts --benchmark_filter='BM_SceneFrame/.*/sleep:0' (median of $runs)"
"$build/bench/bench_parts" --benchmark_filter='BM_SceneFrame/.*/sleep:0' --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true 2>/dev/null | awk '/_median/ {
    printf "%-32s %8.1f us wall %8.1f us cpu  = %6.0f frames/s wall, %6.0f frames/s cpu\n",
      $1, $2, $4, 1e6 / $2, 1e6 / $4 }'

echo "== capture without encoding: capture --still 117 (the whole production, median of $runs)"
for ((i = 0; i < runs; i++)); do
  (cd content && "$capture" --still 117 "$scratch/still.png" 2>&1 >/dev/null) | rates
done > "$scratch/still.txt"
echo "  $(cut -d' ' -f1 "$scratch/still.txt" | median) frames/s, $(cut -d' ' -f2 "$scratch/still.txt" | median)x real time at 60 fps"

echo "== PNG frames and sound: capture --frames (the whole production, once)"
(cd content && "$capture" --frames "$scratch/frames" 2>&1 >/dev/null) | rates |
  awk '{printf "  %s frames/s, %sx real time\n", $1, $2}'
echo "  $(du -sh "$scratch/frames" | cut -f1) in $(ls "$scratch/frames" | wc -l) files"
rm -rf "$scratch/frames"

echo "== H.264 1280 x 720 and AAC: capture FILE.mp4 --to 30 (once)"
(cd content && "$capture" --to 30 "$scratch/clip.mp4" 2>&1 >/dev/null) | rates |
  awk '{printf "  %s frames/s, %sx real time\n", $1, $2}'

#!/usr/bin/env bash
# Measures the production's pictures: records it from content/ as PNG frames (FPS a second, 10 by
# default), then writes each frame's mean brightness and colour entropy to a table and prints the
# mean brightness of each section and every span of flat frames: frames whose every colour
# channel has under 0.2 bits of entropy, which a frame ~99% one colour stays below. In this
# production only the fades should be flat: from black at the start, the white flashes and to black
# at the end.
#
#   scripts/measure_frames.sh <build-folder> [fps]
set -euo pipefail
build=$(realpath "${1:?usage: scripts/measure_frames.sh <build-folder> [fps]}")
fps=${2:-10}
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
table="$build/frame_levels.txt"

(cd content && "$build/tools/capture/capture" --fps "$fps" --frames "$frames" 2>/dev/null)
# Entropy per channel of the RGB picture; brightness as the mean of Y (0-255, full range).
ffmpeg -nostdin -v error -framerate "$fps" -start_number 0 -i "$frames/frame_%06d.png" \
  -vf "format=gbrp,entropy,scale=out_range=full,format=yuv444p,signalstats,metadata=print:file=-" \
  -f null - |
  awk -v fps="$fps" '
    /^frame:/ {frame = substr($1, 7)}
    /entropy.normal.[GBR]=/ {split($0, kv, "="); if (kv[2] > worst[frame]) worst[frame] = kv[2]}
    /signalstats.YAVG=/ {split($0, kv, "="); printf "%8.2f %7.2f %6.3f%s\n", frame / fps, kv[2],
      worst[frame], worst[frame] < 0.2 ? " flat" : ""}' >"$table"
echo "== $(wc -l <"$table") frames at $fps a second: seconds, mean brightness, highest channel entropy (bits) in $table"

echo "== mean brightness per section (0-255)"
"$build/tools/content/gen_module" --sections | while read -r name first bars; do
  awk -v name="$name" -v from="$(awk "BEGIN {print $first * 32 / 24}")" \
    -v to="$(awk "BEGIN {print ($first + $bars) * 32 / 24}")" '
    $1 >= from && $1 < to {sum += $2; n++; if (n == 1 || $2 < low) low = $2; if ($2 > high) high = $2}
    END {printf "%-10s %6.2f s - %6.2f s  mean %6.1f  darkest %6.1f  brightest %6.1f\n",
      name, from, to, sum / n, low, high}' "$table"
done

echo "== spans of flat frames (~99% one colour)"
awk '
  $4 == "flat" {if (!open) {start = $1; open = 1; low = $2; high = $2}
    if ($2 < low) low = $2; if ($2 > high) high = $2; last = $1; n++; next}
  open {printf "  %7.2f s - %7.2f s  brightness %.1f - %.1f\n", start, last, low, high; open = 0}
  END {if (open) printf "  %7.2f s - %7.2f s  brightness %.1f - %.1f\n", start, last, low, high;
    printf "%d flat frames\n", n}' "$table"

#!/usr/bin/env bash
# Measures the soundtrack as the program plays it: renders it offline through the program's audio
# layer into a WAV file, then prints the loudness (EBU R128, integrated and per section), the true
# peak, sox's statistics and the seconds whose level falls below -60 dBFS.
#
#   scripts/measure_audio.sh <build-folder> [module]
set -euo pipefail
build=${1:?usage: scripts/measure_audio.sh <build-folder> [module]}
module=${2:-content/zoveta.xm}
wav="$build/zoveta.wav"
"$build/tools/content/render_audio" "$module" "$wav"

loudness() { # start seconds, length seconds: "integrated-LUFS true-peak-dBFS"
  ffmpeg -nostdin -hide_banner -nostats -ss "$1" -t "$2" -i "$wav" -af ebur128=peak=true -f null - 2>&1 |
    awk '/Summary/ {s = 1} s && /I:/ {i = $2} s && /Peak:/ {p = $2} END {print i, p}'
}

echo "== whole song: ffmpeg -i $wav -af ebur128=peak=true -f null -"
ffmpeg -hide_banner -nostats -i "$wav" -af ebur128=peak=true -f null - 2>&1 | sed -n '/Summary/,$p'
echo "== per section (bars of 32 rows at 24 rows per second)"
"$build/tools/content/gen_module" --sections | while read -r name first bars; do
  start=$(awk "BEGIN {print $first * 32 / 24}"); length=$(awk "BEGIN {print $bars * 32 / 24}")
  read -r lufs peak < <(loudness "$start" "$length")
  printf "%-10s bars %2d-%2d  %6.2f s - %6.2f s  %6s LUFS  peak %6s dBFS\n" "$name" "$first" \
    $((first + bars - 1)) "$start" "$(awk "BEGIN {print $start + $length}")" "$lufs" "$peak"
done
echo "== sox $wav -n stats"
sox "$wav" -n stats 2>&1 | grep -E 'Pk lev|RMS lev|DC offset|Crest'
echo "== seconds quieter than -60 dBFS RMS (sox, one-second windows)"
seconds=$(sox --i -D "$wav")
for ((s = 0; s < ${seconds%.*}; s++)); do
  rms=$(sox "$wav" -n trim "$s" 1 stats 2>&1 | awk '/RMS lev dB/ {print $4}')
  awk -v r="$rms" -v s="$s" 'BEGIN {if (r == "-inf" || r < -60) print "  second " s ": " r " dB"}'
done

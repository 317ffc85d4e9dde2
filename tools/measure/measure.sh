#!/usr/bin/env bash
# The demo beside the bare SDL window, run the same way in the same X session:
#   - time from start to the first presented frame ("auto", in a window), median of RUNS runs;
#   - peak resident memory over a whole run (the demo until its tracks end it, the bare window
#     for as long);
#   - CPU share of one core while playing (sampled from /proc between 3 s and 13 s of the run).
# Usage, from the repository:  xvfb-run -a -s "-screen 0 1280x720x24" tools/measure/measure.sh \
#     build-release content
set -euo pipefail
build=$(realpath "${1:?build folder}")
content=$(realpath "${2:?folder the demo runs in}")
runs=${RUNS:-7}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Prints the first-frame time of one run of the given command.
first_frame() {
    MEASURE_START_NS=$(date +%s%N) "$@" 2>&1 >/dev/null | sed -n 's/^first frame: \(.*\) ms$/\1/p'
}

# CPU share (percent of one core) of a process between two moments of its run.
cpu_share() {
    local pid=$1 ticks=$(getconf CLK_TCK) a b
    sleep 3
    a=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
    sleep 10
    b=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
    echo "scale=1; ($b - $a) * 100 / ($ticks * 10)" | bc
}

cd "$content"
demo_first=$(for _ in $(seq "$runs"); do first_frame "$build/tools/measure/first_frame" --first auto; done | median)
bare_first=$(for _ in $(seq "$runs"); do first_frame "$build/tools/measure/bare_window" 0; done | median)

# A whole run of each under /usr/bin/time (peak resident memory in KB), its CPU share sampled
# meanwhile. The bare window runs as long as the demo did.
start=$(date +%s.%N)
/usr/bin/time -f "%M" -o /tmp/measure-demo-rss "$build/demo" auto >/dev/null 2>&1 &
sleep 0.2
demo_cpu=$(cpu_share "$(pgrep -P $!)")
wait
seconds=$(echo "$(date +%s.%N) - $start" | bc)
/usr/bin/time -f "%M" -o /tmp/measure-bare-rss "$build/tools/measure/bare_window" "$seconds" \
    >/dev/null 2>&1 &
sleep 0.2
bare_cpu=$(cpu_share "$(pgrep -P $!)")
wait

printf "%-36s %10s %10s\n" "" demo bare
printf "%-36s %10s %10s\n" "first frame, ms (median of $runs)" "$demo_first" "$bare_first"
printf "%-36s %10s %10s\n" "peak resident memory, KB" "$(cat /tmp/measure-demo-rss)" \
    "$(cat /tmp/measure-bare-rss)"
printf "%-36s %10s %10s\n" "CPU share while playing, % of a core" "$demo_cpu" "$bare_cpu"

#!/usr/bin/env bash
# The demo beside the bare SDL window (bare_window), run the same way in the same X session.
#
#   first-frame: time from start to the first presented frame, median of RUNS runs of each, taken
#     in turns: in a window (the demo with "profile", its setup dialog answered in code with
#     "windowed", beside the bare window) and full screen (the demo with "auto", which always finds
#     a full-screen mode here because the SDL display offers the standard modes and scales them to
#     the desktop, beside the bare window covering the display the same way). The demo's settle
#     wait is left out: first_frame runs its clock fast until the loop starts.
#       xvfb-run -a -s "-screen 0 1280x720x24" tools/measure/measure.sh first-frame build-release content
#   playing: peak resident memory over a whole run and the CPU share of one core while playing
#     (sampled from /proc between 5 s and 25 s into the run), in a window with the vertical-blank
#     wait: the demo with "profile" shows its setup dialog, where this script ticks "windowed" and
#     presses Enter. The bare window then runs as long as the demo did.
#       xvfb-run -a -s "-screen 0 1280x720x24" tools/measure/measure.sh playing build-release content
set -euo pipefail
what=${1:?first-frame or playing}
build=$(realpath "${2:?build folder}")
content=$(realpath "${3:?folder the demo runs in}")
runs=${RUNS:-9}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
cd "$content"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The first-frame time of one run of the given command.
first_frame() {
    MEASURE_START_NS=$(date +%s%N) "$@" 2>&1 >/dev/null | sed -n 's/^first frame: \(.*\) ms$/\1/p'
}

# CPU share, in percent of one core, of process $1 from 5 s to 25 s after it started.
cpu_share() {
    local pid=$1 ticks a b
    ticks=$(getconf CLK_TCK)
    sleep 5
    a=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
    sleep 20
    b=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
    echo "scale=1; ($b - $a) * 100 / ($ticks * 20)" | bc
}

# Ticks "windowed" in the setup dialog once it shows and presses Enter.
answer_dialog() {
    local w=
    for _ in $(seq 100); do
        w=$(xdotool search --onlyvisible --name "^quoblex type 3 - win32 - setup\$" 2>/dev/null | head -n1 || true)
        [ -n "$w" ] && break
        sleep 0.1
    done
    [ -n "$w" ] || return 1
    sleep 0.3
    xdotool mousemove --window "$w" 20 66 click 1 2>/dev/null || true
    sleep 0.3
    xdotool key --window "$w" Return 2>/dev/null || true # a click may have ended it already
}

case $what in
first-frame)
    for kind in window full-screen; do
        : > /tmp/measure-demo-first
        : > /tmp/measure-bare-first
        if [ $kind = window ]; then demo_args=(profile) bare_args=(0); else
            demo_args=(auto) bare_args=(--fullscreen 0); fi
        for _ in $(seq "$runs"); do
            first_frame "$build/tools/measure/first_frame" "${demo_args[@]}" >> /tmp/measure-demo-first
            first_frame "$build/tools/measure/bare_window" "${bare_args[@]}" >> /tmp/measure-bare-first
        done
        printf "first frame, %s, ms, median of %d: demo %s, bare %s\n" $kind "$runs" \
            "$(median < /tmp/measure-demo-first)" "$(median < /tmp/measure-bare-first)"
    done
    ;;
playing)
    start=$(date +%s.%N)
    /usr/bin/time -f "%M" -o /tmp/measure-demo-rss "$build/demo" profile >/dev/null 2>&1 &
    timed=$!
    answer_dialog
    sleep 0.2
    demo_cpu=$(cpu_share "$(pgrep -P $timed)")
    wait $timed
    seconds=$(echo "$(date +%s.%N) - $start" | bc)
    /usr/bin/time -f "%M" -o /tmp/measure-bare-rss "$build/tools/measure/bare_window" "$seconds" \
        >/dev/null 2>&1 &
    timed=$!
    sleep 0.2
    bare_cpu=$(cpu_share "$(pgrep -P $timed)")
    wait $timed
    printf "whole run of %.0f s: peak resident memory, KB: demo %s, bare %s\n" "$seconds" \
        "$(cat /tmp/measure-demo-rss)" "$(cat /tmp/measure-bare-rss)"
    printf "CPU share while playing, %% of one core: demo %s, bare %s\n" "$demo_cpu" "$bare_cpu"
    ;;
esac

#!/usr/bin/env bash
# A user of a dialog on an X server: waits until the window titled $1 is mapped, prints its title
# and size, then repeats the xdotool command $3 ($w is the window) until the window is gone.
# Should nothing close it, says so and sends process $2 SIGTERM, so that a waiting test ends.
title=$1 test_pid=$2 action=$3
find_window() { xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1; }

w=
for _ in $(seq 300); do
    w=$(find_window)
    [ -n "$w" ] && break
    sleep 0.2
done
if [ -n "$w" ]; then
    xdotool getwindowname "$w"
    xdotool getwindowgeometry "$w" | sed -n 's/ *Geometry: //p'
    for _ in $(seq 20); do
        [ -n "$(find_window)" ] || exit 0
        eval "xdotool $action" 2>/dev/null
        sleep 1
    done
fi
echo "gave up"
kill -TERM "$test_pid"

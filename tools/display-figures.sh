#!/bin/sh
# The greeting's frame rate, CPU share, music-to-flip time and peak memory,
# presenting flat out (the baseline) and in step with the refresh: headless,
# and on a virtual 1280x800 X display with a window manager (Xvfb, openbox),
# each case in a process of its own. Needs a build of the default preset.
#   tools/display-figures.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
bench=${1:-build/default}/bench/DisplayBench
[ -x "$bench" ] || { echo "display-figures: no $bench; build the default preset" >&2; exit 1; }

run() { # label, then NAME=VALUE... for the benchmark's environment
    label=$1
    shift
    for paced in 0 1; do
        env "$@" "$bench" --benchmark_filter="paced:$paced/" 2>/dev/null |
            sed -n "s/^BM_[^ ]*/$label paced:$paced/p"
    done
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
run headless SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

display=:$((200 + $$ % 300))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wm=""
trap 'kill $wm $xvfb 2>/dev/null || true' EXIT
sleep 2
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1
run xvfb-1280x800 SDL_VIDEODRIVER=x11 DISPLAY="$display" SDL_AUDIODRIVER=dummy

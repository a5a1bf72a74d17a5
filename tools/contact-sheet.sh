#!/bin/sh
# Regenerates the greeting's contact sheet: eight stills across the four
# scenes, drawn by ekudemo-capture from dat/, and one sheet of them.
#   tools/contact-sheet.sh [BUILD_DIR [DATA_ROOT]]
# BUILD_DIR defaults to build/contact; DATA_ROOT, the folder holding dat/,
# to the repository.
set -eu
cd "$(dirname "$0")/.."
repo="$(pwd)"
build="$(realpath -m "${1:-build/contact}")"
root="$(realpath "${2:-.}")"
if [ ! -x "$build/tools/ekudemo-capture" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEKUDEMO_TESTS=OFF -DEKUDEMO_BENCHMARKS=OFF
    cmake --build "$build" -j2 --target ekudemo-capture
fi
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
mkdir -p docs/stills
cd "$root"
# name order row time_ms
while read -r name order row time; do
    "$build/tools/ekudemo-capture" --still "$order" "$row" "$time" --seed 1 "$repo/docs/stills/$name.png"
done <<LIST
1-first-letter 0 0 0
2-old-type 1 20 600
3-beach-slides-in 2 40 1500
4-crab 3 30 0
5-head-slides-in 4 10 0
6-first-line 6 20 0
7-talking 8 40 0
8-cake 10 0 0
LIST
cd "$repo"
montage docs/stills/*.png -tile 4x2 -geometry +2+2 -background black docs/contact-sheet.png
echo "wrote docs/contact-sheet.png"

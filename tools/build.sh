#!/bin/sh
# One command from a bare Debian 12 machine:
#   tools/build.sh run    install what is missing, build, play the greeting
#   tools/build.sh test   install what is missing, build and run every test
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

case "${1:-}" in
run)
    tools/setup.sh
    cmake --preset default >/dev/null
    cmake --build --preset default -j "$jobs" --target ekudemo
    exec build/default/src/ekudemo
    ;;
test)
    tools/setup.sh
    # The normal build, warnings as errors, and its whole suite.
    cmake --preset ci
    cmake --build --preset ci -j "$jobs"
    ctest --preset ci -j "$jobs"
    # The same suite under AddressSanitizer, UndefinedBehaviorSanitizer and
    # LeakSanitizer.
    cmake --preset asan
    cmake --build --preset asan -j "$jobs"
    ctest --preset asan -j "$jobs"
    ;;
*)
    echo "usage: tools/build.sh run|test" >&2
    exit 2
    ;;
esac

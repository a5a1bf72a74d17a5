#!/bin/sh
# One command from a bare Debian 12 machine:
#   tools/build.sh run    install what is missing, build, play the greeting
#   tools/build.sh test   install what is missing, build and run every test
#   tools/build.sh package  install what is missing, make build/package/ekudemo_VERSION_ARCH.deb
#                         and test it (lintian, installed into a fresh Debian 12 root, played)
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
    began=$(date +%s)
    step() { echo "== $1 ($(($(date +%s) - began)) s)"; }
    # The normal build, warnings as errors, and its whole suite.
    step "normal build and suite"
    cmake --preset ci
    cmake --build --preset ci -j "$jobs"
    ctest --preset ci -j "$jobs"
    # The same suite under AddressSanitizer, UndefinedBehaviorSanitizer and
    # LeakSanitizer, with the whole greeting played once on the real data.
    step "AddressSanitizer build and suite"
    cmake --preset asan
    cmake --build --preset asan -j "$jobs"
    EKUDEMO_WHOLE_RUN=1 ctest --preset asan -j "$jobs"
    # ThreadSanitizer: the music layer, whose playback thread shares the
    # position and CurrentOrder with the frame loop, headless runs, and the
    # video capture's drawing, sound and picture threads.
    step "ThreadSanitizer build, music and capture tests"
    cmake --preset tsan
    cmake --build --preset tsan -j "$jobs" --target ekudemo SoundLibTest MusicTest DemoTest SyncTest \
        CapturePipelineTest
    ctest --preset tsan -j "$jobs" -R '^(SoundLib|Music|Sync|CapturePipeline)\.|^Greeting\.EndsByItself'
    # Each fuzz target for a minute.
    step "fuzz targets"
    cmake --preset fuzz
    cmake --build --preset fuzz -j "$jobs"
    fuzz/run.sh 60 build/fuzz
    # Last, so that a finding never hides a sanitizer's: the code as
    # .clang-format lays it out, and clang-tidy's checks (.clang-tidy) over
    # every source the ci build compiled.
    step "format and static checks"
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
    if ! run-clang-tidy -j "$jobs" -p build/ci -quiet "$PWD/(src|tools|tests|bench|fuzz)/" \
        >build/ci/tidy.log 2>&1; then
        sed 's/\x1b\[[0-9;]*m//g' build/ci/tidy.log | grep -E '^/.*: (error|warning): ' | sort -u
        echo "clang-tidy found the above (whole log: build/ci/tidy.log)" >&2
        exit 1
    fi
    step "all passed"
    ;;
package)
    tools/setup.sh
    # Debian's hardening flags (stack protector, fortified functions, RELRO).
    CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" cmake --preset package --fresh
    cmake --build --preset package -j "$jobs"
    (cd build/package && cpack)
    ctest --preset package
    ;;
*)
    echo "usage: tools/build.sh run|test|package" >&2
    exit 2
    ;;
esac

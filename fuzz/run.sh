#!/bin/sh
# Runs each fuzz target for a bounded time on a seed corpus made from dat/ and
# the small files in fuzz/seeds/. New inputs that libFuzzer finds stay in the
# build folder's corpus, so later runs start from them.
#   fuzz/run.sh [seconds per target] [build folder]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build/fuzz}
status=0
mkdir -p "$build/artifacts"
for target in PcxFuzz PcxIndexedFuzz ModuleFuzz; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    case "$target" in
    Pcx*) cp dat/*.pcx fuzz/seeds/*.pcx "$corpus"/ ;;
    Module*) cp fuzz/seeds/*.s3m fuzz/seeds/*.mod fuzz/seeds/*.xm fuzz/seeds/*.it dat/*.s3m "$corpus"/ ;;
    esac
    log="$build/$target.log"
    echo "== $target: $seconds s"
    if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
       UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
       "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
           -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" >"$log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
    else
        echo "$target FAILED (log: $log)"
        tail -40 "$log"
        status=1
    fi
done
exit $status

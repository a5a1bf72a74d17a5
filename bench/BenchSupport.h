// What several benchmarks share: the greeting started as the program starts
// it, on the committed data, and the memcpy baseline beside an effect.
#pragma once

#include "driver/Demo.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// Start-up with everything, from the source folder so that dat/ is the
// committed data. False, the benchmark skipped with the reason, when it fails.
inline bool StartGreeting(benchmark::State& state, SurfaceSlotArray& slots,
                          SDL_Surface*& flareSprite) {
    if (chdir(EKUDEMO_SOURCE_DIR) != 0) {
        state.SkipWithError("cannot enter the source folder");
        return false;
    }
    if (StartUp(StartOptions{}, slots, flareSprite) != 0) {
        state.SkipWithError("start-up failed");
        return false;
    }
    return true;
}

// A memcpy of `bytes` per iteration: how fast writing that much can be.
inline void MemcpyBaseline(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

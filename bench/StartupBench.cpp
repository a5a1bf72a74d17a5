// Start-up to the first presented frame, headless, with the committed data:
// music, font, display, the ten pictures and the flare data. Beside it, a
// memcpy of as many bytes as the loaded pictures hold.
#include "driver/Demo.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

void BM_StartupToFirstFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (chdir(EKUDEMO_SOURCE_DIR) != 0) {
        state.SkipWithError("cannot enter the source folder");
        return;
    }
    for (auto _ : state) {
        SurfaceSlotArray slots{};
        SDL_Surface* flareSprite = nullptr;
        if (StartDemo(slots, flareSprite) != 0) {
            state.SkipWithError("start-up failed");
            return;
        }
        RunFrame(slots);
        state.PauseTiming();
        StopDemo(slots, flareSprite);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(20);

// Eight 320x200 and one 256x256 picture at 32 bits, and the 64x64 sprite.
constexpr size_t PictureBytes = 8 * 320 * 200 * 4 + 256 * 256 * 4 + 64 * 64;

void BM_MemcpyBaselinePictures(benchmark::State& state) {
    std::vector<char> from(PictureBytes, 1), to(PictureBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyBaselinePictures)->Unit(benchmark::kMillisecond);

} // namespace

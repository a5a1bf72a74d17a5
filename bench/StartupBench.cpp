// Start-up to the first presented frame, headless, with the committed data:
// music, font, display, the ten pictures and the flare data. Beside it, a
// memcpy of as many bytes as the loaded pictures hold.
#include "BenchSupport.h"
#include "driver/Demo.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void BM_StartupToFirstFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (auto _ : state) {
        SurfaceSlotArray slots{};
        SDL_Surface* flareSprite = nullptr;
        if (!StartGreeting(state, slots, flareSprite)) return;
        RunFrame(slots);
        state.PauseTiming();
        ShutDown(slots, flareSprite);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(20);

// Eight 320x200 and one 256x256 picture at 32 bits, and the 64x64 sprite.
constexpr size_t PictureBytes = 8 * 320 * 200 * 4 + 256 * 256 * 4 + 64 * 64;

void BM_MemcpyBaselinePictures(benchmark::State& state) {
    MemcpyBaseline(state, PictureBytes);
}
BENCHMARK(BM_MemcpyBaselinePictures)->Unit(benchmark::kMillisecond);

} // namespace

// The twister and whole greeting frames, each beside a plain copy or fill of
// the same output bytes measured in the same run.
#include "BenchSupport.h"
#include "common/Data.h"
#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "effects/Twister.h"
#include "image/Pcx.h"
#include "music/Music.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t FrameBytes = 320 * 200 * 4;

std::string DataPath(const char* path) {
    return std::string(EKUDEMO_SOURCE_DIR) + "/" + path;
}

// The committed pictures in their slots and the caption font, loaded once.
struct Greeting {
    SurfaceSlotArray slots{};
    SDL_Surface* screen = nullptr;
    Greeting() {
        for (const DataPicture& p : DataPictures) {
            if (p.slot == NoSlot) continue;
            SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, p.width, p.height, 32, 0, 0, 0, 0);
            LoadPcx(DataPath(p.path).c_str(), s, p.width, p.height);
            if (p.keyed) SDL_SetColorKey(s, SDL_SRCCOLORKEY, 0);
            slots[size_t(p.slot)] = s;
        }
        TTF_Init();
        CaptionFont = TTF_OpenFont(DataPath(FontFile).c_str(), FontPoints);
        screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 200, 32, 0, 0, 0, 0);
    }
    ~Greeting() {
        FreeCaption();
        if (CaptionFont) TTF_CloseFont(CaptionFont);
        CaptionFont = nullptr;
        for (SDL_Surface* s : slots)
            SDL_FreeSurface(s);
        SDL_FreeSurface(screen);
        TTF_Quit();
    }
};

Greeting& Data() {
    static Greeting greeting;
    return greeting;
}

void BM_MemsetFrame(benchmark::State& state) {
    std::vector<uint8_t> frame(FrameBytes);
    for (auto _ : state) {
        std::memset(frame.data(), int(state.iterations() & 0xFF), frame.size());
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FrameBytes));
}
BENCHMARK(BM_MemsetFrame);

void BM_MemcpyFrame(benchmark::State& state) {
    MemcpyBaseline(state, FrameBytes);
}
BENCHMARK(BM_MemcpyFrame);

// A full letter, the angle moving as it does while playing.
void BM_DrawTwister(benchmark::State& state) {
    Greeting& g = Data();
    int32_t time = 0;
    for (auto _ : state) {
        FrameTime = time;
        time += 16;
        DrawTwister(g.slots[SlotLetterE], g.slots[SlotTexture], g.screen, 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FrameBytes));
}
BENCHMARK(BM_DrawTwister);

// One whole frame of a scene: clearing, pictures, twister and caption
// rendering, as the frame loop does it.
void BM_Scene(benchmark::State& state) {
    Greeting& g = Data();
    const int32_t order = int32_t(state.range(0)), row = int32_t(state.range(1));
    std::srand(1);
    int32_t time = 0;
    for (auto _ : state) {
        CurrentOrder = order;
        FrameTime = time;
        time += 16;
        SDL_FillRect(g.screen, nullptr, 0);
        DrawScene(g.screen, g.slots, row);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FrameBytes));
}
BENCHMARK(BM_Scene)
    ->ArgNames({"order", "row"})
    ->Args({1, 20})
    ->Args({4, 10})
    ->Args({7, 40})
    ->Args({10, 0});

} // namespace

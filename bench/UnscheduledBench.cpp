// The unscheduled effects, each beside a memcpy of the bytes it writes,
// measured in the same run so the ratio says how far from copying they are.
#include "BenchSupport.h"
#include "common/Frame.h"
#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/TileWobble.h"
#include "effects/unscheduled/Tunnel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

namespace {

SDL_Surface* Surface(int width, int height, int depth) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, depth, 0, 0, 0, 0);
}

void FillPattern(SDL_Surface* s) {
    auto* p = static_cast<uint32_t*>(s->pixels);
    for (int i = 0; i < s->w * s->h; ++i)
        p[i] = uint32_t(i) * 2654435761u;
}

void BM_Memcpy_TunnelFrame(benchmark::State& state) {
    MemcpyBaseline(state, 640 * 480 * 4);
}
void BM_Memcpy_FlareScreen(benchmark::State& state) {
    MemcpyBaseline(state, 320 * 200 * 4);
}

void BM_BuildTunnelTables(benchmark::State& state) {
    for (auto _ : state)
        BuildTunnelTables();
    FreeTunnelTables();
}

void BM_DrawTunnel(benchmark::State& state) {
    BuildTunnelTables();
    SDL_Surface* texture = Surface(256, 256, 32);
    SDL_Surface* target = Surface(640, 480, 32);
    SDL_Surface* overlay = Surface(640, 480, 32);
    FillPattern(texture);
    // Half the overlay is clear, half covers the tunnel.
    FillPattern(overlay);
    SDL_Rect clear = {0, 0, 320, 480};
    SDL_FillRect(overlay, &clear, 0);
    uint32_t shift = 0;
    for (auto _ : state) {
        ++shift;
        DrawTunnel(texture, shift, shift * 3, int32_t(shift % 200) - 100, 40, target, overlay);
        benchmark::DoNotOptimize(target->pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 640 * 480 * 4);
    SDL_FreeSurface(texture);
    SDL_FreeSurface(target);
    SDL_FreeSurface(overlay);
    FreeTunnelTables();
}

void BM_DrawFlares(benchmark::State& state) {
    PrepareGlow();
    std::srand(1);
    FillFlarePoints();
    SDL_Surface* sprite = Surface(64, 64, 8);
    SDL_Surface* screen = Surface(320, 200, 32);
    auto* bytes = static_cast<uint8_t*>(sprite->pixels);
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) {
            const double d = std::hypot(r - 31.5, c - 31.5);
            bytes[r * sprite->pitch + c] = uint8_t(d < 32 ? 255 * (1 - d / 32) : 0);
        }
    int32_t time = 0;
    for (auto _ : state) {
        FrameTime = (time += 16);
        DrawFlares(sprite, screen, FlareCount);
        benchmark::DoNotOptimize(screen->pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 320 * 200 * 4);
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(screen);
    FreeGlow();
}

void BM_DrawTileWobble(benchmark::State& state) {
    SDL_Surface* source = Surface(640, 480, 32);
    SDL_Surface* target = Surface(640, 480, 32);
    FillPattern(source);
    int32_t time = 0;
    for (auto _ : state) {
        FrameTime = (time += 16);
        DrawTileWobble(source, target, 10.0f);
        benchmark::DoNotOptimize(target->pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 640 * 480 * 4);
    SDL_FreeSurface(source);
    SDL_FreeSurface(target);
}

} // namespace

BENCHMARK(BM_Memcpy_TunnelFrame);
BENCHMARK(BM_DrawTunnel);
BENCHMARK(BM_DrawTileWobble);
BENCHMARK(BM_Memcpy_FlareScreen);
BENCHMARK(BM_DrawFlares);
BENCHMARK(BM_BuildTunnelTables)->Iterations(1)->Unit(benchmark::kMillisecond);

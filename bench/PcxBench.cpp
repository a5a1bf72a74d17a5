// Decoding a full-screen picture, beside a memcpy of the same output bytes.
#include "image/Pcx.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// A 320x200 picture of mixed runs and literals, like the greeting's art.
std::vector<uint8_t> ScreenPicture() {
    std::vector<uint8_t> file(128, 0);
    for (int row = 0; row < 200; ++row)
        for (int x = 0; x < 320;) {
            if ((x / 16 + row) % 3 == 0) {
                file.insert(file.end(), {0xD0, uint8_t(row)});
                x += 16;
            } else {
                file.push_back(uint8_t((x * 7 + row) % 0xC0));
                ++x;
            }
        }
    file.push_back(0x0C);
    for (int i = 0; i < 768; ++i)
        file.push_back(uint8_t(i));
    return file;
}

void BM_DecodePcx320x200(benchmark::State& state) {
    auto file = ScreenPicture();
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 200, 32, 0, 0, 0, 0);
    for (auto _ : state) {
        DecodePcx(file, surface, 320, 200);
        benchmark::DoNotOptimize(surface->pixels);
    }
    state.counters["ns_per_pixel"] =
        benchmark::Counter(double(state.iterations()) * 64000,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    SDL_FreeSurface(surface);
}
BENCHMARK(BM_DecodePcx320x200);

void BM_MemcpyBaseline320x200(benchmark::State& state) {
    std::vector<uint32_t> from(64000, 1), to(64000);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size() * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_pixel"] =
        benchmark::Counter(double(state.iterations()) * 64000,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MemcpyBaseline320x200);

} // namespace

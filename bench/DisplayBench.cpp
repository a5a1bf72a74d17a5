// Ten seconds of the greeting on whatever display the environment names
// (headless unless SDL_VIDEODRIVER and DISPLAY say otherwise; the script
// tools/display-figures.sh runs it on a virtual X display with a window
// manager), twice: presenting as fast as the driver returns (the baseline,
// without sdl12-compat's wait for the refresh and without the frame loop's
// own wait) and presenting in step with the refresh. Counters: frames per
// second, the process's CPU time (every thread, the media library's
// included) as a share of one core, the time from reading the music
// position to the flip's return (mean and worst), and the peak resident
// memory of the process so far (run each case alone to compare it).
#include "BenchSupport.h"
#include "driver/Demo.h"
#include "driver/Desktop.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

constexpr double Seconds = 10;

double CpuSeconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int64_t NowNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The greeting's frame as RunFrame draws and presents it, with the time the
// flip returned; the baseline leaves out the frame loop's wait for the
// refresh. True when the greeting is over.
bool Frame(const SurfaceSlotArray& slots, bool paced, int64_t& presentedAt) {
    bool quit = DrawMusicFrame(Screen, slots, MilliClock());
    SDL_Flip(Screen);
    presentedAt = NowNs();
    if (paced) WaitForRefresh();
    SDL_FillRect(Screen, nullptr, 0);
    if (PollQuit()) quit = true;
    return quit;
}

void BM_TenSecondsOfTheGreeting(benchmark::State& state) {
    const bool paced = state.range(0) != 0;
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (paced)
        unsetenv("SDL12COMPAT_SYNC_TO_VBLANK"); // the greeting's own choice
    else
        setenv("SDL12COMPAT_SYNC_TO_VBLANK", "0", 1);
    for (auto _ : state) {
        SurfaceSlotArray slots{};
        SDL_Surface* flareSprite = nullptr;
        if (!StartGreeting(state, slots, flareSprite)) return;
        const double cpuStart = CpuSeconds();
        const int64_t start = NowNs();
        int64_t frames = 0, latencySum = 0, latencyMax = 0, presentedAt = 0;
        while (NowNs() - start < int64_t(Seconds * 1e9)) {
            const int64_t read = NowNs(); // the frame reads the position first
            if (Frame(slots, paced, presentedAt)) break;
            latencySum += presentedAt - read;
            latencyMax = std::max(latencyMax, presentedAt - read);
            ++frames;
        }
        const double wall = double(NowNs() - start) / 1e9;
        const double cpu = CpuSeconds() - cpuStart;
        ShutDown(slots, flareSprite);
        rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        state.counters["fps"] = double(frames) / wall;
        state.counters["cpu_share"] = cpu / wall;
        state.counters["read_to_flip_ms"] = frames ? double(latencySum) / double(frames) / 1e6 : 0;
        state.counters["read_to_flip_max_ms"] = double(latencyMax) / 1e6;
        state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024;
    }
}
BENCHMARK(BM_TenSecondsOfTheGreeting)
    ->ArgName("paced")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace

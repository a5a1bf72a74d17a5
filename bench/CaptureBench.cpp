// The video capture's speed as a multiple of real time, at scale 1 and 4, on
// the committed data, and where its time goes: music, drawing, encoding.
// Beside it, a memcpy of one 1280x800 frame.
#include "capture/Video.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Fps = 60;
constexpr int64_t Frames = 600; // the greeting's first ten seconds

void BM_CaptureVideo(benchmark::State& state) {
    if (chdir(EKUDEMO_SOURCE_DIR) != 0) {
        state.SkipWithError("cannot enter the source folder");
        return;
    }
    char folder[] = "/tmp/ekudemo-capture-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("cannot make a temporary folder");
        return;
    }
    const std::string out = std::string(folder) + "/bench.mp4";
    const int scale = int(state.range(0));
    CaptureTimes sum;
    for (auto _ : state) {
        CaptureTimes times;
        if (CaptureVideoTimed(Fps, scale, 1, out.c_str(), Frames, &times) != 0) {
            state.SkipWithError("the capture failed");
            break;
        }
        sum.music += times.music;
        sum.drawing += times.drawing;
        sum.encoding += times.encoding;
        sum.loop += times.loop;
        sum.frames += times.frames;
    }
    std::remove(out.c_str());
    rmdir(folder);
    if (sum.loop <= 0) return;
    state.counters["xRealTime"] = double(sum.frames) / Fps / sum.loop;
    state.counters["musicShare"] = sum.music / sum.loop;
    state.counters["drawShare"] = sum.drawing / sum.loop;
    state.counters["encodeShare"] = sum.encoding / sum.loop;
    state.counters["msPerFrame"] = 1000 * sum.loop / double(sum.frames);
}
BENCHMARK(BM_CaptureVideo)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_MemcpyBaselineFrame(benchmark::State& state) {
    std::vector<char> from(1280 * 800 * 4, 1), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyBaselineFrame)->Unit(benchmark::kMillisecond);

} // namespace

// The video capture against its floor, in one run: the capture of the fast
// test module, and FFmpeg's library encoding the very same pictures, made
// beforehand, with the same encoder, settings and threads. speedVsEncoder is
// the floor's time over the capture's (1.0: the capture runs as fast as the
// encoder alone; below: drawing, music and sound cost wall time on top of
// it); xRealTime is the capture's speed as a multiple of real time. The
// shares say where the capture's wall time went: rendering the music, drawing
// and converting, the drawing waiting for a free picture, and how busy the
// picture and sound threads were.
#include "capture/Streams.h"
#include "capture/Video.h"
#include "s3m/S3mWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Fps = 60;

// A temporary copy of dat/ whose music is the fast test module (about 0.63 s
// an order), made the working folder for as long as it lives.
class FastData {
  public:
    FastData() {
        char folder[] = "/tmp/ekudemo-capture-bench-XXXXXX";
        if (!mkdtemp(folder)) return;
        path_ = folder;
        fs::copy(fs::path(EKUDEMO_SOURCE_DIR) / "dat", path_ / "dat");
        const std::vector<uint8_t> song = MakeTestModule(12, 1, 255);
        std::ofstream(path_ / "dat" / "rimpaaa.s3m", std::ios::binary)
            .write(reinterpret_cast<const char*>(song.data()), std::streamsize(song.size()));
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    ~FastData() {
        if (path_.empty()) return;
        fs::current_path(previous_);
        fs::remove_all(path_);
    }
    FastData(const FastData&) = delete;
    FastData& operator=(const FastData&) = delete;
    bool Ready() const { return !path_.empty(); }

  private:
    fs::path path_, previous_;
};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The encoder alone on the pictures: sent, received, the packets dropped.
// Seconds, or -1 when the encoder fails.
double EncodeAlone(const std::vector<AVFrame*>& pictures, int scale) {
    static const Container& mp4 = *FindContainer("floor.mp4");
    AVCodecContext* codec = OpenVideoEncoder(mp4, Fps, scale);
    AVPacket* packet = av_packet_alloc();
    double seconds = -1;
    if (codec && packet) {
        const auto start = std::chrono::steady_clock::now();
        bool sent = true;
        for (size_t i = 0; sent && i <= pictures.size(); ++i) {
            sent = avcodec_send_frame(codec, i < pictures.size() ? pictures[i] : nullptr) >= 0;
            while (avcodec_receive_packet(codec, packet) >= 0)
                av_packet_unref(packet);
        }
        if (sent) seconds = Seconds(start);
    }
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    return seconds;
}

void BM_CaptureVsEncoder(benchmark::State& state) {
    const int scale = int(state.range(0));
    const int64_t maxFrames = state.range(1); // 0: the whole fast module
    FastData data;
    if (!data.Ready()) {
        state.SkipWithError("cannot make the data folder");
        return;
    }
    // The pre-made pictures: the capture's own, kept from an untimed run.
    std::vector<AVFrame*> pictures;
    CaptureTimes first;
    if (CaptureVideoTimed(Fps, scale, 1, "bench.mp4", maxFrames, &first, &pictures) != 0) {
        state.SkipWithError("the capture failed");
        return;
    }
    CaptureTimes sum;
    double floor = 0;
    for (auto _ : state) {
        CaptureTimes times;
        if (CaptureVideoTimed(Fps, scale, 1, "bench.mp4", maxFrames, &times) != 0) {
            state.SkipWithError("the capture failed");
            break;
        }
        sum.music += times.music;
        sum.drawing += times.drawing;
        sum.encoding += times.encoding;
        sum.sound += times.sound;
        sum.waiting += times.waiting;
        sum.loop += times.loop;
        sum.frames += times.frames;
        const double alone = EncodeAlone(pictures, scale);
        if (alone < 0) {
            state.SkipWithError("the encoder alone failed");
            break;
        }
        floor += alone;
    }
    for (AVFrame*& picture : pictures)
        av_frame_free(&picture);
    if (sum.loop <= 0 || floor <= 0) return;
    state.counters["frames"] = double(sum.frames) / double(state.iterations());
    state.counters["xRealTime"] = double(sum.frames) / Fps / sum.loop;
    state.counters["floorXRealTime"] = double(sum.frames) / Fps / floor;
    state.counters["speedVsEncoder"] = floor / sum.loop;
    state.counters["captureOverFloor"] = sum.loop / floor;
    state.counters["musicShare"] = sum.music / sum.loop;
    state.counters["drawShare"] = sum.drawing / sum.loop;
    state.counters["drawWaitShare"] = sum.waiting / sum.loop;
    state.counters["encoderBusyShare"] = sum.encoding / sum.loop;
    state.counters["soundBusyShare"] = sum.sound / sum.loop;
}
// The whole fast module (414 frames) at scale 1 and at the capture's default
// scale 4, where the pre-made 1280x800 pictures take about 640 MB. (Three
// seconds proved too short to tell changes of a few per cent apart.)
BENCHMARK(BM_CaptureVsEncoder)
    ->Args({1, 0})
    ->Args({4, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

// The whole greeting rendered offline into a video file with sound. The music
// is rendered here and is the clock: frame n shows the position the music has
// reached at n / fps seconds.
#include "capture/Video.h"
#include "capture/Capture.h"
#include "capture/Interrupt.h"
#include "capture/Progress.h"
#include "capture/Streams.h"
#include "capture/Yuv.h"

#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "music/Music.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <span>
#include <unistd.h>
#include <vector>

namespace {

constexpr int RenderChunk = 1024; // stereo frames rendered per call

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Renders the music on up to `target` stereo frames in all; false when the
// encoder fails. Sets `ended` once the music gives less than asked.
bool RenderMusicTo(MediaFile& m, int64_t target, int64_t& rendered, bool& ended) {
    std::array<int16_t, 2 * RenderChunk> chunk;
    while (rendered < target && !ended) {
        const int want = int(std::min<int64_t>(target - rendered, RenderChunk));
        const int got = std::clamp(FMUSIC_Render(SongHandle, chunk.data(), want), 0, want);
        rendered += got;
        if (got < want || FMUSIC_IsFinished(SongHandle)) ended = true;
        if (!QueueSound(m, std::span<const int16_t>(chunk.data(), size_t(2 * got)))) return false;
    }
    return true;
}

bool EncodePicture(MediaFile& m, SDL_Surface* screen, YuvScreen& yuv, int scale, int64_t n) {
    if (int error = av_frame_make_writable(m.video.frame); error < 0)
        return AvFail("cannot make a video frame", error);
    ScreenToYuv(screen, yuv);
    FillPicture(yuv, scale, m.video.frame);
    m.video.frame->pts = n;
    return WriteFrame(m, m.video, m.video.frame);
}

int CaptureFrames(MediaFile& m, SDL_Surface* screen, const SurfaceSlotArray& slots, int fps,
                  int scale, unsigned seed, const char* out, int64_t maxFrames,
                  CaptureTimes& times) {
    Progress progress;
    progress.enabled = isatty(2);
    YuvScreen yuv;
    const Clock::time_point loopStart = Clock::now();
    std::srand(seed);
    int64_t rendered = 0, frames = 0;
    bool ended = false;
    for (int64_t n = 0; maxFrames == 0 || n < maxFrames; ++n) {
        if (ReportInterrupt(out)) return 1;
        Clock::time_point t = Clock::now();
        if (!RenderMusicTo(m, n * MixRate / fps, rendered, ended)) return 1;
        times.music += Since(t);

        t = Clock::now();
        CurrentOrder.store(FMUSIC_GetOrder(SongHandle), std::memory_order_relaxed);
        const int32_t row = FMUSIC_GetRow(SongHandle);
        FrameTime = int32_t(n * 1000 / fps);
        SDL_FillRect(screen, nullptr, 0);
        // The greeting is over at its last order, or earlier if the music is.
        const bool over = ended || DrawScene(screen, slots, row);
        times.drawing += Since(t);
        if (over) break;

        t = Clock::now();
        if (!EncodePicture(m, screen, yuv, scale, n)) return 1;
        times.encoding += Since(t);
        frames = n + 1;
        ShowProgress(progress, frames, fps, CurrentOrder.load(std::memory_order_relaxed), row);
    }
    EndProgressLine();
    if (frames == 0) {
        CaptureMessage("the music gives nothing to capture");
        return 1;
    }

    // The sound runs to the end of the last frame; silence fills in where the
    // music ended inside it.
    Clock::time_point t = Clock::now();
    const int64_t end = frames * MixRate / fps;
    if (!RenderMusicTo(m, end, rendered, ended)) return 1;
    times.music += Since(t);
    t = Clock::now();
    if (rendered < end) {
        const std::vector<int16_t> silence(size_t(2 * (end - rendered)), 0);
        if (!QueueSound(m, silence)) return 1;
    }
    if (!FinishMedia(m)) return 1;
    times.encoding += Since(t);
    times.loop = Since(loopStart);
    times.frames = frames;
    return 0;
}

} // namespace

int CaptureVideoTimed(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
                      CaptureTimes* times) {
    if (fps < 1 || scale < 1) return 1;
    // Everything that can refuse OUT does so before any work.
    InterruptWatch watch;
    OutputFile file;
    if (!OpenOutput(file, CaptureProgram, out, CaptureInputs())) return 1;
    const Container* container = FindContainer(out);
    if (!container) return 1;
    // Loaded as the greeting loads it, but silent: the music is rendered here.
    SurfaceSlotArray slots;
    if (!LoadGreetingData(slots)) return 1;
    SDL_Surface* screen = MakeFrameSurface();
    MediaFile m;
    int status = 1;
    CaptureTimes ignored;
    if (screen && !ReportInterrupt(out) && OpenMedia(m, file, *container, fps, scale))
        status = CaptureFrames(m, screen, slots, fps, scale, seed, out, maxFrames,
                               times ? *times : ignored);
    CloseMedia(m);
    if (status == 0 && (ReportInterrupt(out) || !CommitOutput(file))) status = 1;

    SDL_FreeSurface(screen);
    FreeGreetingData(slots);
    SDL_Quit();
    return status;
}

int CaptureVideo(int fps, int scale, unsigned seed, const char* out) {
    return CaptureVideoTimed(fps, scale, seed, out, 0, nullptr);
}

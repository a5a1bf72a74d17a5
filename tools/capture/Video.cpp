// The whole greeting rendered offline into a video file with sound. The music
// is rendered here and is the clock: frame n shows the position the music has
// reached at n / fps seconds.
//
// Two threads share the work: this one renders and encodes the music, draws
// each frame and converts it for the encoder; the encoding thread encodes the
// pictures, while the video encoder runs threads of its own. Finished frames
// pass between them through a small bounded handover, so that a few frames
// are in flight at most; both write packets into the file, taking turns.
#include "capture/Video.h"
#include "capture/Capture.h"
#include "capture/Interrupt.h"
#include "capture/Progress.h"
#include "capture/Streams.h"
#include "capture/Yuv.h"

#include "driver/Demo.h"
#include "music/Music.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int RenderChunk = 1024; // stereo frames rendered per call
constexpr int FramesInFlight = 3; // pictures between drawing and encoding

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One frame's worth of work for the encoding thread: a picture, or the end.
struct Handed {
    AVFrame* picture = nullptr;
    bool last = false;
};

// The frames between the two threads. Pictures go round: free, drawn into,
// handed over, encoded, free again.
struct Handover {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Handed> drawn;
    std::vector<AVFrame*> free;
    bool failed = false;   // the encoding thread gave up (after its message)
    bool stopped = false;  // the drawing side gave up
    bool finished = false; // the file is complete
    double busy = 0;       // seconds the encoding thread worked
};

// A free picture to draw into, or null once the encoding thread has failed.
AVFrame* TakeFree(Handover& h) {
    std::unique_lock<std::mutex> lock(h.lock);
    h.changed.wait(lock, [&] { return !h.free.empty() || h.failed; });
    if (h.failed) return nullptr;
    AVFrame* picture = h.free.back();
    h.free.pop_back();
    return picture;
}

bool HandOver(Handover& h, Handed handed) {
    std::lock_guard<std::mutex> lock(h.lock);
    if (h.failed) return false;
    h.drawn.push_back(handed);
    h.changed.notify_all();
    return true;
}

void Stop(Handover& h) {
    std::lock_guard<std::mutex> lock(h.lock);
    h.stopped = true;
    h.changed.notify_all();
}

// The encoding thread: until the last frame, or until either side gives up.
void EncodeHanded(MediaFile& m, Handover& h) {
    for (;;) {
        Handed handed;
        {
            std::unique_lock<std::mutex> lock(h.lock);
            h.changed.wait(lock, [&] { return !h.drawn.empty() || h.stopped; });
            if (h.stopped || h.drawn.empty()) return;
            handed = h.drawn.front();
            h.drawn.pop_front();
        }
        const Clock::time_point t = Clock::now();
        const bool ok = (!handed.picture || WriteFrame(m, m.video, handed.picture)) &&
                        (!handed.last || FinishMedia(m));
        std::lock_guard<std::mutex> lock(h.lock);
        h.busy += Since(t);
        if (handed.picture) h.free.push_back(handed.picture);
        h.failed = !ok;
        h.finished = ok && handed.last;
        h.changed.notify_all();
        if (!ok || handed.last) return;
    }
}

// Renders the music on up to `target` stereo frames in all and encodes it;
// false when the encoder fails. Sets `ended` once the music gives less than
// asked.
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

// Hands a picture back unused.
void GiveBack(Handover& h, AVFrame* picture) {
    std::lock_guard<std::mutex> lock(h.lock);
    h.free.push_back(picture);
}

// The drawing side: the music rendered and its sound encoded, every frame
// drawn, converted and handed over, then the sound to the end of the last
// frame. False when it stopped early.
bool DrawFrames(MediaFile& m, Handover& h, SDL_Surface* screen, const SurfaceSlotArray& slots,
                int fps, int scale, const char* out, int64_t maxFrames, CaptureTimes& times,
                std::vector<AVFrame*>* kept) {
    Progress progress;
    progress.enabled = isatty(2);
    YuvScreen yuv;
    int64_t rendered = 0, frames = 0;
    bool ended = false;
    for (int64_t n = 0; maxFrames == 0 || n < maxFrames; ++n) {
        if (ReportInterrupt(out)) return false;
        Clock::time_point t = Clock::now();
        if (!RenderMusicTo(m, n * MixRate / fps, rendered, ended)) return false;
        times.music += Since(t);

        t = Clock::now();
        SDL_FillRect(screen, nullptr, 0);
        // The greeting is over at its last order, or earlier if the music is.
        if (ended || DrawMusicFrame(screen, slots, int32_t(n * 1000 / fps))) break;
        const int32_t row = FMUSIC_GetRow(SongHandle);
        ScreenToYuv(screen, yuv);
        times.drawing += Since(t);
        t = Clock::now();
        AVFrame* picture = TakeFree(h);
        times.waiting += Since(t);
        if (!picture) return false;
        t = Clock::now();
        if (int error = av_frame_make_writable(picture); error < 0) {
            GiveBack(h, picture);
            return AvFail("cannot make a video frame", error);
        }
        FillPicture(yuv, scale, picture);
        picture->pts = n;
        if (kept) kept->push_back(av_frame_clone(picture));
        times.drawing += Since(t);
        if (!HandOver(h, {picture, false})) return false;
        frames = n + 1;
        ShowProgress(progress, frames, fps, CurrentOrder.load(std::memory_order_relaxed), row);
    }
    EndProgressLine();
    if (frames == 0) {
        CaptureMessage("the music gives nothing to capture");
        return false;
    }

    // The sound runs to the end of the last frame; silence fills in where the
    // music ended inside it.
    const Clock::time_point t = Clock::now();
    const int64_t end = frames * MixRate / fps;
    if (!RenderMusicTo(m, end, rendered, ended)) return false;
    if (rendered < end && !QueueSound(m, std::vector<int16_t>(size_t(2 * (end - rendered)), 0)))
        return false;
    if (!FinishSound(m)) return false;
    times.music += Since(t);
    times.frames = frames;
    return HandOver(h, {nullptr, true});
}

int CaptureFrames(MediaFile& m, SDL_Surface* screen, const SurfaceSlotArray& slots, int fps,
                  int scale, const char* out, int64_t maxFrames, CaptureTimes& times,
                  std::vector<AVFrame*>* kept) {
    Handover h;
    for (int i = 0; i < FramesInFlight; ++i) {
        AVFrame* picture = av_frame_alloc();
        if (picture) {
            picture->format = m.video.codec->pix_fmt;
            picture->width = m.video.codec->width;
            picture->height = m.video.codec->height;
            h.free.push_back(picture);
        }
        if (!picture || av_frame_get_buffer(picture, 0) < 0) {
            for (AVFrame*& f : h.free)
                av_frame_free(&f);
            return AvFail("cannot make a video frame", AVERROR(ENOMEM)), 1;
        }
    }

    const Clock::time_point loopStart = Clock::now();
    std::thread encoder(EncodeHanded, std::ref(m), std::ref(h));
    const bool drawn = DrawFrames(m, h, screen, slots, fps, scale, out, maxFrames, times, kept);
    if (!drawn) Stop(h);
    encoder.join();
    times.loop = Since(loopStart);
    times.encoding = h.busy;
    for (Handed& handed : h.drawn)
        if (handed.picture) h.free.push_back(handed.picture);
    for (AVFrame*& f : h.free)
        av_frame_free(&f);
    return drawn && h.finished ? 0 : 1;
}

} // namespace

int CaptureVideoTimed(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
                      CaptureTimes* times, std::vector<AVFrame*>* kept) {
    if (fps < 1 || scale < 1) return 1;
    // Everything that can refuse OUT does so before any work.
    InterruptWatch watch;
    OutputFile file;
    if (!OpenOutput(file, CaptureProgram, out, CaptureInputs())) return 1;
    const Container* container = FindContainer(out);
    if (!container) return 1;
    // Loaded as the greeting loads it, but silent: the music is rendered here.
    SurfaceSlotArray slots;
    if (!LoadGreetingData(slots, seed)) return 1;
    SDL_Surface* screen = MakeFrameSurface();
    MediaFile m;
    int status = 1;
    CaptureTimes ignored;
    if (screen && !ReportInterrupt(out) && OpenMedia(m, file, *container, fps, scale))
        status = CaptureFrames(m, screen, slots, fps, scale, out, maxFrames,
                               times ? *times : ignored, kept);
    CloseMedia(m);
    if (status == 0 && (ReportInterrupt(out) || !CommitOutput(file))) status = 1;

    SDL_FreeSurface(screen);
    FreeGreetingData(slots);
    return status;
}

int CaptureVideo(int fps, int scale, unsigned seed, const char* out) {
    return CaptureVideoTimed(fps, scale, seed, out, 0, nullptr);
}

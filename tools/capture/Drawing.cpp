#include "capture/Drawing.h"

#include "capture/Interrupt.h"
#include "capture/Progress.h"
#include "capture/Streams.h"
#include "common/Error.h"
#include "image/Surface.h"
#include "music/Music.h"

#include <algorithm>
#include <span>
#include <unistd.h>
#include <utility>

namespace {

constexpr int RenderChunk = 1024; // stereo frames rendered per call

// Renders the music on up to `target` stereo frames in all and hands it to
// the sound thread; false once a thread has given up. Sets `ended` once the
// music gives less than asked.
bool RenderMusicTo(Handover& h, int64_t target, int64_t& rendered, bool& ended) {
    while (rendered < target && !ended) {
        const int want = int(std::min<int64_t>(target - rendered, RenderChunk));
        std::vector<int16_t> chunk(size_t(2 * want));
        const int got = std::clamp(FMUSIC_Render(SongHandle, chunk.data(), want), 0, want);
        chunk.resize(size_t(2 * got));
        rendered += got;
        if (got < want || FMUSIC_IsFinished(SongHandle)) ended = true;
        if (got > 0 && !Put(h, h.sound, std::move(chunk), SoundInFlight)) return false;
    }
    return true;
}

// Whether the screen is the one last converted; if not, it becomes that.
bool Repeats(Drawing& d) {
    const std::span<const uint32_t> pixels(PixelRow(d.screen, 0),
                                           size_t(ScreenWidth) * ScreenHeight);
    if (d.last && std::equal(pixels.begin(), pixels.end(), d.shown.begin(), d.shown.end()))
        return true;
    d.shown.assign(pixels.begin(), pixels.end());
    return false;
}

// The screen just drawn, converted and enlarged into the free `picture`,
// which becomes the last picture.
bool MakePicture(Drawing& d, AVFrame* picture) {
    ScreenToYuv(d.screen, d.yuv);
    // A buffer still shared (with the last picture, or with a copy kept for
    // measuring) is left to them rather than copied.
    int error = 0;
    if (!av_frame_is_writable(picture)) {
        av_frame_unref(picture);
        picture->format = d.codec->pix_fmt;
        picture->width = d.codec->width;
        picture->height = d.codec->height;
        error = av_frame_get_buffer(picture, 0);
    }
    if (error >= 0) {
        FillPicture(d.yuv, d.scale, picture);
        if (!d.last) d.last = av_frame_alloc();
        av_frame_unref(d.last);
        error = d.last ? av_frame_ref(d.last, picture) : AVERROR(ENOMEM);
    }
    return error >= 0 || SetAvError("cannot make a video frame", error);
}

// The picture for frame n in `picture`: for a repeat, a frame of its own
// that shares the last picture's buffer; else a free picture drawn into.
// False once a thread has given up or the picture cannot be made.
bool TakePicture(Drawing& d, Handover& h, AVFrame*& picture) {
    if (Repeats(d)) {
        picture = av_frame_clone(d.last);
        return picture || SetAvError("cannot make a video frame", AVERROR(ENOMEM));
    }
    Clock::time_point t = Clock::now();
    const bool free = Take(h, h.free, picture);
    d.times.waiting += Since(t);
    if (free && !MakePicture(d, picture)) {
        Put(h, h.free, picture, FramesInFlight);
        return false;
    }
    return free;
}

enum class Step { Drawn, Over, Stopped };

// Frame n: the music rendered up to its time, the frame drawn, made a picture
// and handed over. Over once the greeting or the music is.
Step DrawFrame(Drawing& d, Handover& h, int64_t n) {
    if (CheckInterrupt(d.out)) return Step::Stopped;
    Clock::time_point t = Clock::now();
    if (!RenderMusicTo(h, n * MixRate / d.fps, d.rendered, d.ended)) return Step::Stopped;
    d.times.music += Since(t);

    t = Clock::now();
    SDL_FillRect(d.screen, nullptr, 0);
    // The greeting is over at its last order, or earlier if the music is.
    if (d.ended || DrawMusicFrame(d.screen, d.slots, int32_t(n * 1000 / d.fps))) return Step::Over;
    d.times.drawing += Since(t);

    t = Clock::now();
    const double waited = d.times.waiting;
    AVFrame* picture = nullptr;
    if (!TakePicture(d, h, picture)) return Step::Stopped;
    picture->pts = n;
    if (d.kept) d.kept->push_back(av_frame_clone(picture));
    d.times.drawing += Since(t) - (d.times.waiting - waited);
    return Put(h, h.drawn, picture, FramesInFlight) ? Step::Drawn : Step::Stopped;
}

// Every frame, then the sound to the end of the last frame. False when it
// stopped early, after SetError unless another thread gave up first.
bool DrawFrames(Drawing& d, Handover& h, int64_t maxFrames) {
    Progress progress;
    progress.enabled = isatty(2);
    progress.total = d.total;
    int64_t frames = 0;
    Step step = Step::Drawn;
    while ((maxFrames == 0 || frames < maxFrames) &&
           (step = DrawFrame(d, h, frames)) == Step::Drawn) {
        ++frames;
        ShowProgress(progress, frames, d.fps);
    }
    av_frame_free(&d.last);
    EndProgressLine();
    if (step == Step::Stopped) return false;
    if (frames == 0) return SetError("the music gives nothing to capture");

    // The sound runs to the end of the last frame; silence fills in where the
    // music ended inside it.
    const Clock::time_point t = Clock::now();
    const int64_t end = frames * MixRate / d.fps;
    if (!RenderMusicTo(h, end, d.rendered, d.ended)) return false;
    if (d.rendered < end &&
        !Put(h, h.sound, std::vector<int16_t>(size_t(2 * (end - d.rendered)), 0), SoundInFlight))
        return false;
    d.times.music += Since(t);
    d.times.frames = frames;
    HandOverAll(h);
    return true;
}

} // namespace

int DrawingThread(void* data) {
    auto* job = static_cast<DrawingJob*>(data);
    GiveWay("capture-draw");
    job->drawn = DrawFrames(job->d, job->h, job->maxFrames);
    if (!job->drawn) GiveUp(job->h);
    return 0;
}

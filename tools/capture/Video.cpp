// The whole greeting rendered offline into a video file with sound. The music
// is rendered here and is the clock: frame n shows the position the music has
// reached at n / fps seconds.
//
// Three threads share the work. The drawing thread renders the music, draws
// each frame and converts it for the encoder; the calling thread encodes the
// pictures (the video encoder adds threads of its own); the sound thread
// encodes the music. They hand over through small bounded queues, so each may
// run a few frames ahead of the next and never more. Both encoding threads
// write packets into the file, taking turns; the muxer puts them in time
// order whichever comes first.
//
// The video encoder has by far the most to do, and its threads wait for each
// other now and then. Drawing and sound give way to it: they run at a lower
// priority, a few frames ahead, and so do their work in those gaps instead
// of holding the encoder up.
#include "capture/Video.h"
#include "capture/Capture.h"
#include "capture/Interrupt.h"
#include "capture/Progress.h"
#include "capture/Streams.h"
#include "capture/Yuv.h"

#include "driver/Demo.h"
#include "image/Surface.h"
#include "music/Music.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <span>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int RenderChunk = 1024; // stereo frames rendered per call
constexpr int FramesInFlight = 8; // pictures between drawing and encoding
constexpr int SoundInFlight = 64; // rendered chunks between music and encoding
constexpr int GivingWay = 10;     // the drawing and sound threads' nice value

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Names the calling thread, for top and perf, and lowers its priority (on
// Linux a thread has a nice value of its own), so that the encoder's threads
// go first whenever they can run. Only a hint: where it is refused, the
// threads share alike.
void GiveWay(const char* name) {
    pthread_setname_np(pthread_self(), name);
    setpriority(PRIO_PROCESS, unsigned(gettid()), GivingWay);
}

// A queue between two threads: `arrived` wakes the one that takes, `left`
// the one that puts.
template <typename T> struct Queue {
    std::deque<T> items;
    std::condition_variable arrived, left;
};

// What passes between the threads, under one lock. Pictures go round: free,
// drawn into, handed over, encoded, free again. Sound goes one way, in
// chunks of rendered music.
struct Handover {
    std::mutex lock;
    std::vector<AVFrame*> pictures; // all the pictures that go round
    Queue<AVFrame*> free, drawn;
    Queue<std::vector<int16_t>> sound;
    bool done = false;   // everything has been handed over
    bool gaveUp = false; // a thread failed or was interrupted, after its message
};

void WakeAll(Handover& h) {
    for (std::condition_variable* c : {&h.free.arrived, &h.free.left, &h.drawn.arrived,
                                       &h.drawn.left, &h.sound.arrived, &h.sound.left})
        c->notify_all();
}

void GiveUp(Handover& h) {
    std::lock_guard<std::mutex> lock(h.lock);
    h.gaveUp = true;
    WakeAll(h);
}

bool GaveUp(Handover& h) {
    std::lock_guard<std::mutex> lock(h.lock);
    return h.gaveUp;
}

void HandOverAll(Handover& h) {
    std::lock_guard<std::mutex> lock(h.lock);
    h.done = true;
    WakeAll(h);
}

// Waits for room in `q`, fewer than `room` items, and puts `item` there;
// false once a thread has given up (the item is kept all the same, to be
// freed with the rest).
template <typename T> bool Put(Handover& h, Queue<T>& q, T item, size_t room) {
    std::unique_lock<std::mutex> lock(h.lock);
    q.left.wait(lock, [&] { return q.items.size() < room || h.gaveUp; });
    q.items.push_back(std::move(item));
    q.arrived.notify_one();
    return !h.gaveUp;
}

// Waits for the next of `q`; false once everything has been handed over and
// taken, or a thread has given up.
template <typename T> bool Take(Handover& h, Queue<T>& q, T& item) {
    std::unique_lock<std::mutex> lock(h.lock);
    q.arrived.wait(lock, [&] { return !q.items.empty() || h.done || h.gaveUp; });
    if (q.items.empty() || h.gaveUp) return false;
    item = std::move(q.items.front());
    q.items.pop_front();
    q.left.notify_one();
    return true;
}

// A picture after encoding: one that goes round is free again, a repeat's
// own frame is freed.
void GiveBack(Handover& h, AVFrame* picture) {
    if (std::find(h.pictures.begin(), h.pictures.end(), picture) != h.pictures.end())
        Put(h, h.free, picture, FramesInFlight);
    else
        av_frame_free(&picture);
}

// The pictures encoded as they come, then the encoder drained.
void EncodePictures(MediaFile& m, Handover& h, bool& ok, double& busy) {
    AVFrame* picture = nullptr;
    while (Take(h, h.drawn, picture)) {
        const Clock::time_point t = Clock::now();
        const bool written = EncodeFrame(m, m.video, picture);
        busy += Since(t);
        GiveBack(h, picture);
        if (!written) return GiveUp(h);
    }
    if (GaveUp(h)) return;
    const Clock::time_point t = Clock::now();
    ok = EncodeFrame(m, m.video, nullptr);
    busy += Since(t);
    if (!ok) GiveUp(h);
}

// The sound thread: all the music encoded, then the encoder drained.
void EncodeSound(MediaFile& m, Handover& h, bool& ok, double& busy) {
    GiveWay("capture-sound");
    std::vector<int16_t> chunk;
    while (Take(h, h.sound, chunk)) {
        const Clock::time_point t = Clock::now();
        const bool queued = QueueSound(m, chunk);
        busy += Since(t);
        if (!queued) return GiveUp(h);
    }
    if (GaveUp(h)) return;
    const Clock::time_point t = Clock::now();
    ok = FinishSound(m);
    busy += Since(t);
    if (!ok) GiveUp(h);
}

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

// The drawing thread's work and what it keeps from frame to frame. Half the
// greeting's frames repeat the one before (a still scene between two rows);
// such a frame is handed over as the last picture again, with nothing
// converted.
struct Drawing {
    SDL_Surface* screen;
    const SurfaceSlotArray& slots;
    const AVCodecContext* codec;
    int fps, scale;
    const char* out;
    CaptureTimes& times;
    std::vector<AVFrame*>* kept;

    int64_t rendered = 0; // stereo frames of music handed to the sound thread
    bool ended = false;   // the music has ended
    YuvScreen yuv{};
    std::vector<uint32_t> shown{}; // the screen last converted
    AVFrame* last = nullptr;       // a reference to its picture
};

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
    return error >= 0 || AvFail("cannot make a video frame", error);
}

// The picture for frame n in `picture`: for a repeat, a frame of its own
// that shares the last picture's buffer; else a free picture drawn into.
// False once a thread has given up or the picture cannot be made.
bool TakePicture(Drawing& d, Handover& h, AVFrame*& picture) {
    if (Repeats(d)) {
        picture = av_frame_clone(d.last);
        return picture || AvFail("cannot make a video frame", AVERROR(ENOMEM));
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
    if (ReportInterrupt(d.out)) return Step::Stopped;
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

// The drawing thread: every frame, then the sound to the end of the last
// frame. False when it stopped early.
bool DrawFrames(Drawing& d, Handover& h, int64_t maxFrames) {
    Progress progress;
    progress.enabled = isatty(2);
    int64_t frames = 0;
    Step step = Step::Drawn;
    while ((maxFrames == 0 || frames < maxFrames) &&
           (step = DrawFrame(d, h, frames)) == Step::Drawn) {
        ++frames;
        ShowProgress(progress, frames, d.fps, CurrentOrder.load(std::memory_order_relaxed),
                     FMUSIC_GetRow(SongHandle));
    }
    av_frame_free(&d.last);
    EndProgressLine();
    if (step == Step::Stopped) return false;
    if (frames == 0) {
        CaptureMessage("the music gives nothing to capture");
        return false;
    }

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

// The drawing thread, started through SDL because it draws with SDL: SDL
// then frees what it keeps for the thread when the thread ends.
struct DrawingJob {
    Drawing& d;
    Handover& h;
    int64_t maxFrames;
    bool drawn = false;
};

int DrawingThread(void* data) {
    auto* job = static_cast<DrawingJob*>(data);
    GiveWay("capture-draw");
    job->drawn = DrawFrames(job->d, job->h, job->maxFrames);
    if (!job->drawn) GiveUp(job->h);
    return 0;
}

int CaptureFrames(MediaFile& m, SDL_Surface* screen, const SurfaceSlotArray& slots, int fps,
                  int scale, const char* out, int64_t maxFrames, CaptureTimes& times,
                  std::vector<AVFrame*>* kept) {
    // The pictures' buffers are made as they are first drawn into.
    Handover h;
    for (int i = 0; i < FramesInFlight; ++i) {
        h.pictures.push_back(av_frame_alloc());
        if (!h.pictures.back()) {
            for (AVFrame*& f : h.pictures)
                av_frame_free(&f);
            return AvFail("cannot make a video frame", AVERROR(ENOMEM)), 1;
        }
    }
    h.free.items.assign(h.pictures.begin(), h.pictures.end());

    const Clock::time_point loopStart = Clock::now();
    Drawing d{screen, slots, m.video.codec, fps, scale, out, times, kept};
    DrawingJob job{d, h, maxFrames};
    bool picturesOk = false, soundOk = false;
    SDL_Thread* drawing = SDL_CreateThread(DrawingThread, &job);
    if (!drawing) {
        CaptureMessage("cannot start the drawing thread: %s", SDL_GetError());
        GiveUp(h);
    }
    std::thread sound(EncodeSound, std::ref(m), std::ref(h), std::ref(soundOk),
                      std::ref(times.sound));
    EncodePictures(m, h, picturesOk, times.encoding);
    if (drawing) SDL_WaitThread(drawing, nullptr);
    sound.join();
    const bool finished = job.drawn && picturesOk && soundOk && FinishMedia(m);
    times.loop = Since(loopStart);
    // Repeats still queued have frames of their own; the rest go round.
    for (AVFrame*& picture : h.drawn.items)
        if (std::find(h.pictures.begin(), h.pictures.end(), picture) == h.pictures.end())
            av_frame_free(&picture);
    for (AVFrame*& f : h.pictures)
        av_frame_free(&f);
    return finished ? 0 : 1;
}

} // namespace

int CaptureVideoTimed(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
                      CaptureTimes* times, std::vector<AVFrame*>* kept) {
    if (fps < 1 || scale < 1 || scale > 8) return 1; // FillPicture's scales
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

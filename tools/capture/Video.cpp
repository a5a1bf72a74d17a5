// The whole greeting rendered offline into a video file with sound. The music
// is rendered here and is the clock: frame n shows the position the music has
// reached at n / fps seconds.
//
// Three threads share the work. The drawing thread (Drawing.cpp) renders the
// music, draws each frame and converts it for the encoder; the calling thread
// encodes the pictures (the video encoder adds threads of its own); the sound
// thread encodes the music. They hand over through small bounded queues
// (Handover.h). Both encoding threads write packets into the file, taking
// turns; the muxer puts them in time order whichever comes first.
//
// The video encoder has by far the most to do, and its threads wait for each
// other now and then. Drawing and sound give way to it: they run at a lower
// priority, a few frames ahead, and so do their work in those gaps instead
// of holding the encoder up.
#include "capture/Video.h"
#include "capture/Capture.h"
#include "capture/Drawing.h"
#include "capture/Handover.h"
#include "capture/Interrupt.h"
#include "capture/Streams.h"

#include "capture/Progress.h"
#include "common/Error.h"
#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "music/Music.h"
#include "output/OutputFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

namespace {

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

// The pictures that go round, made; their buffers are made as they are
// first drawn into.
bool AllocPictures(Handover& h) {
    for (int i = 0; i < FramesInFlight; ++i) {
        h.pictures.push_back(av_frame_alloc());
        if (!h.pictures.back()) return SetAvError("cannot make a video frame", AVERROR(ENOMEM));
    }
    h.free.items.assign(h.pictures.begin(), h.pictures.end());
    return true;
}

void FreeAllPictures(Handover& h) {
    // Repeats still queued have frames of their own; the rest go round.
    for (AVFrame*& picture : h.drawn.items)
        if (std::find(h.pictures.begin(), h.pictures.end(), picture) == h.pictures.end())
            av_frame_free(&picture);
    for (AVFrame*& f : h.pictures)
        av_frame_free(&f);
}

// Every frame drawn and encoded on the three threads, the file finished.
// False after SetError: the first of the threads to fail says why.
bool CaptureFrames(MediaFile& m, SDL_Surface* screen, const SurfaceSlotArray& slots, int fps,
                   int scale, const char* out, int64_t maxFrames, int64_t total,
                   CaptureTimes& times, std::vector<AVFrame*>* kept) {
    Handover h;
    if (!AllocPictures(h)) {
        FreeAllPictures(h);
        return false;
    }

    const Clock::time_point loopStart = Clock::now();
    Drawing d{screen, slots, m.video.codec, fps, scale, out, times, kept, total};
    DrawingJob job{d, h, maxFrames};
    bool picturesOk = false, soundOk = false;
    SDL_Thread* drawing = SDL_CreateThread(DrawingThread, &job);
    if (!drawing) {
        SetError("cannot start the drawing thread: %s", SDL_GetError());
        GiveUp(h);
    }
    std::thread sound(EncodeSound, std::ref(m), std::ref(h), std::ref(soundOk),
                      std::ref(times.sound));
    EncodePictures(m, h, picturesOk, times.encoding);
    if (drawing) SDL_WaitThread(drawing, nullptr);
    sound.join();
    // Every thread has ended: the reason a thread gave up is this thread's now.
    const bool handedOver = job.drawn && picturesOk && soundOk;
    if (!handedOver) SetError("%s", h.reason.c_str());
    const bool finished = handedOver && FinishMedia(m);
    times.loop = Since(loopStart);
    FreeAllPictures(h);
    return finished;
}

// The frames of the whole greeting: frame n is drawn while the music has
// not reached the last order n / fps seconds after it starts. Before the
// music is rendered.
int64_t FrameTotal(int fps) {
    const double seconds = FMUSIC_GetTimeToOrder(SongHandle, EndOrder);
    return std::max<int64_t>(1, int64_t(std::ceil(seconds * fps)));
}

// The video captured; with `report`, the lines that say what is written.
int Capture(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
            CaptureTimes& times, std::vector<AVFrame*>* kept, bool report) {
    if (fps < 1 || scale < 1 || scale > 8) { // FillPicture's scales
        SetError("no video at %d frames a second and scale %d", fps, scale);
        return CaptureFailed();
    }
    // Everything that can refuse OUT does so before any work.
    InterruptWatch watch;
    OutputFile file;
    if (!OpenOutput(file, out, CaptureInputs())) return CaptureFailed();
    const Container* container = FindContainer(out);
    if (!container) return CaptureFailed();
    // Loaded as the greeting loads it, but silent: the music is rendered here.
    SurfaceSlotArray slots;
    if (!LoadGreetingData(slots, seed)) return 1; // the start-up said why
    const int64_t total = FrameTotal(fps);
    if (report) ReportStart(out, total, fps, ScreenWidth * scale, ScreenHeight * scale);
    SDL_Surface* screen = MakeFrameSurface();
    MediaFile m;
    const bool captured =
        screen && !CheckInterrupt(out) && OpenMedia(m, file, *container, fps, scale) &&
        CaptureFrames(m, screen, slots, fps, scale, out, maxFrames, total, times, kept);
    CloseMedia(m);
    const bool finished = captured && !CheckInterrupt(out);
    struct stat written {};
    if (finished) fstat(file.fd, &written); // its size, for the closing line
    const bool committed = finished && CommitOutput(file);
    if (committed && report)
        ReportWritten(out, int64_t(written.st_size), times.frames, fps, ScreenWidth * scale,
                      ScreenHeight * scale);

    SDL_FreeSurface(screen);
    FreeGreetingData(slots);
    return committed ? 0 : CaptureFailed();
}

} // namespace

int CaptureVideoTimed(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
                      CaptureTimes* times, std::vector<AVFrame*>* kept) {
    CaptureTimes ignored;
    return Capture(fps, scale, seed, out, maxFrames, times ? *times : ignored, kept, false);
}

int CaptureVideo(int fps, int scale, unsigned seed, const char* out) {
    CaptureTimes times;
    return Capture(fps, scale, seed, out, 0, times, nullptr, true);
}

// The video capture's drawing thread: for each frame, the music rendered up
// to the frame's time and handed to the sound thread, then the frame drawn,
// converted and handed to the encoder.
#pragma once

#include "capture/Handover.h"
#include "capture/Video.h"
#include "capture/Yuv.h"
#include "driver/Demo.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;

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
    int64_t total; // the frames the music's length gives, for the progress line

    int64_t rendered = 0; // stereo frames of music handed to the sound thread
    bool ended = false;   // the music has ended
    YuvScreen yuv{};
    std::vector<uint32_t> shown{}; // the screen last converted
    AVFrame* last = nullptr;       // a reference to its picture
};

// What the drawing thread is given, and whether it handed everything over.
struct DrawingJob {
    Drawing& d;
    Handover& h;
    int64_t maxFrames; // 0: up to the greeting's end
    bool drawn = false;
};

// The thread itself, started through SDL (SDL_CreateThread with a
// DrawingJob) because it draws with SDL: SDL then frees what it keeps for the
// thread when the thread ends. Every frame, then the sound to the end of the
// last frame; gives up when it stops early.
int DrawingThread(void* job);

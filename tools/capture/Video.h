// The video capture's frame loop with its parts timed, for the benchmark.
#pragma once

#include <cstdint>
#include <vector>

struct AVFrame;

struct CaptureTimes {
    double music = 0;    // seconds spent rendering the music
    double drawing = 0;  // seconds spent drawing frames and converting them
    double waiting = 0;  // seconds the drawing waited for a free picture
    double encoding = 0; // seconds the picture thread was busy
    double sound = 0;    // seconds the sound thread was busy
    double loop = 0;     // seconds of the whole frame loop, trailer included
    int64_t frames = 0;  // video frames written
};

// CaptureVideo that stops after `maxFrames` frames (0: at the greeting's end)
// and reports where the time went. With `kept`, a reference to every picture
// handed to the encoder is added to it (the caller frees them with
// av_frame_free). Returns the process exit status.
int CaptureVideoTimed(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
                      CaptureTimes* times, std::vector<AVFrame*>* kept = nullptr);

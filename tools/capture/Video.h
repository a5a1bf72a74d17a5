// The video capture's frame loop with its parts timed, for the benchmark.
#pragma once

#include <cstdint>

struct CaptureTimes {
    double music = 0;    // seconds spent rendering the music
    double drawing = 0;  // seconds spent drawing frames
    double encoding = 0; // seconds spent converting and encoding
    double loop = 0;     // seconds of the whole frame loop, trailer included
    int64_t frames = 0;  // video frames written
};

// CaptureVideo that stops after `maxFrames` frames (0: at the greeting's end)
// and reports where the time went. Returns the process exit status.
int CaptureVideoTimed(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
                      CaptureTimes* times);

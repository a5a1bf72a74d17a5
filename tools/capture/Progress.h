// The video capture's progress line on standard error. The thread that
// shows it ends it before it returns, so a message printed after the
// capture starts on a line of its own.
#pragma once

#include <chrono>
#include <cstdint>

// A one-line progress report, only for a person watching a terminal. The
// greeting's length is not known before it is played; the music's position
// against the last order gives the share done.
struct Progress {
    bool enabled = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last = start;
};

void ShowProgress(Progress& p, int64_t frames, int fps, int32_t order, int32_t row);
// Ends the progress line, if one is showing.
void EndProgressLine();

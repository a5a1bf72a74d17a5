// The capture's messages and its progress line on standard error: a message
// after the progress line starts on a line of its own.
#pragma once

#include <chrono>
#include <cstdint>

// "ekudemo-capture: " and the message, on a line of its own.
void CaptureMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

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

// What the video capture says while it works: on a terminal, a progress line
// on standard error that the thread showing it erases before it returns (a
// message printed after it starts on a clean line); otherwise one line as it
// starts. Either way one line when the file is written.
#pragma once

#include <chrono>
#include <cstdint>

// A one-line progress report, only for a person watching a terminal: the
// frames drawn of the total the music's length gives.
struct Progress {
    bool enabled = false;
    int64_t total = 1; // frames the video will have
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last = start;
};

void ShowProgress(Progress& p, int64_t frames, int fps);
// Erases the progress line, if one is showing.
void EndProgressLine();

// Without a terminal on standard error: the line saying what is written.
void ReportStart(const char* out, int64_t frames, int fps, int width, int height);
// The line on standard output saying what was written.
void ReportWritten(const char* out, int64_t bytes, int64_t frames, int fps, int width, int height);

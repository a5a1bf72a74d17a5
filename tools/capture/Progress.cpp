#include "capture/Progress.h"

#include "driver/Timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// True while the progress line waits for its next update.
bool ProgressOnLine = false;

} // namespace

void EndProgressLine() {
    if (ProgressOnLine) std::fputc('\n', stderr);
    ProgressOnLine = false;
}

void ShowProgress(Progress& p, int64_t frames, int fps, int32_t order, int32_t row) {
    if (!p.enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - p.last < std::chrono::milliseconds(100)) return;
    p.last = now;
    const double done =
        std::clamp((double(order) * 64 + row + 1) / (double(EndOrder) * 64), 1e-6, 1.0);
    const double elapsed = std::chrono::duration<double>(now - p.start).count();
    const double speed = elapsed > 0 ? double(frames) / fps / elapsed : 0;
    const long left = std::lround(elapsed * (1 - done) / done);
    std::fprintf(stderr, "\r%3d%%  frame %lld of about %lld  %.1fx real time  %ld:%02ld left  ",
                 int(done * 100), static_cast<long long>(frames),
                 std::llround(double(frames) / done), speed, left / 60, left % 60);
    ProgressOnLine = true;
}

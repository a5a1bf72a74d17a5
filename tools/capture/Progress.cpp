#include "capture/Progress.h"

#include "common/Error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// The length of the progress line showing, 0 when none is.
int ProgressWidth = 0;

// "1:26.5": a length in minutes and seconds.
std::string Length(int64_t frames, int fps) {
    const int64_t tenths = (frames * 10 + fps / 2) / fps;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                  static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
    return text;
}

// "8.9 MB", in the units file sizes are given in for mail.
std::string Size(int64_t bytes) {
    char text[32];
    if (bytes >= 1000000)
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    else
        std::snprintf(text, sizeof text, "%.0f kB", std::ceil(double(bytes) / 1e3));
    return text;
}

} // namespace

void EndProgressLine() {
    if (ProgressWidth > 0) std::fprintf(stderr, "\r%*s\r", ProgressWidth, "");
    ProgressWidth = 0;
}

void ShowProgress(Progress& p, int64_t frames, int fps) {
    if (!p.enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - p.last < std::chrono::milliseconds(100)) return;
    p.last = now;
    const int64_t shown = std::min(frames, p.total);
    const double done = double(shown) / double(p.total);
    const double elapsed = std::chrono::duration<double>(now - p.start).count();
    const double speed = elapsed > 0 ? double(frames) / fps / elapsed : 0;
    const long left = done > 0 ? std::lround(elapsed * (1 - done) / done) : 0;
    ProgressWidth =
        std::fprintf(stderr, "\r%3d%%  frame %lld of %lld  %.1fx real time  %ld:%02ld left",
                     int(done * 100), static_cast<long long>(shown),
                     static_cast<long long>(p.total), speed, left / 60, left % 60);
}

void ReportStart(const char* out, int64_t frames, int fps, int width, int height) {
    if (isatty(2)) return;
    std::fprintf(stderr, "%s: writing \"%s\": %lld frames (%s) of %dx%d at %d fps\n", ProgramName,
                 out, static_cast<long long>(frames), Length(frames, fps).c_str(), width, height,
                 fps);
}

void ReportWritten(const char* out, int64_t bytes, int64_t frames, int fps, int width, int height) {
    std::printf("\"%s\": %s, %s, %dx%d at %d fps\n", out, Size(bytes).c_str(),
                Length(frames, fps).c_str(), width, height, fps);
    std::fflush(stdout);
}

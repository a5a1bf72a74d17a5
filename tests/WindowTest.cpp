// The greeting in a real X window on a virtual display of its own (Xvfb):
// the twister and a red caption reach the screen, and Escape or a window
// manager's close request ends it. Needs Xvfb, xdotool, xwininfo (x11-utils)
// and ImageMagick's import; skipped without them.
#include "common/Data.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// In WindowClose.cpp, away from the X headers' macros.
bool SendCloseRequest(const std::string& display, unsigned long window);

using Clock = std::chrono::steady_clock;

namespace {

// A real window on an X server of its own (Xvfb), its screen the size of the
// greeting's display mode, so that the full-screen window covers it exactly.

// Runs a shell command, returning its standard output.
std::optional<std::string> Capture(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return out;
}

struct ScreenCounts {
    size_t lit = 0; // not black
    size_t red = 0; // the captions' pure red
};

// A screenshot of the whole display as binary PPM, counted.
std::optional<ScreenCounts> Screenshot(const std::string& display) {
    std::optional<std::string> ppm =
        Capture("import -display " + display + " -window root -depth 8 ppm:-");
    if (!ppm) return std::nullopt;
    int width = 0, height = 0, maximum = 0, offset = 0;
    if (std::sscanf(ppm->c_str(), "P6 %d %d %d%n", &width, &height, &maximum, &offset) != 3 ||
        maximum != 255)
        return std::nullopt;
    const size_t start = size_t(offset) + 1, count = size_t(width) * size_t(height);
    if (ppm->size() < start + 3 * count) return std::nullopt;
    ScreenCounts counts;
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(ppm->data() + start + 3 * i);
        if (p[0] || p[1] || p[2]) ++counts.lit;
        if (p[0] >= 0xF0 && p[1] <= 0x10 && p[2] <= 0x10) ++counts.red;
    }
    return counts;
}

enum class Ending { Escape, CloseRequest };

void RunInAWindow(Ending ending) {
    if (!OnPath("Xvfb") || !OnPath("xdotool") || !OnPath("import") || !OnPath("xwininfo"))
        GTEST_SKIP() << "Xvfb, xdotool, xwininfo or ImageMagick's import is missing";
    XvfbDisplay display("320x200x24");
    ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start";

    TempDir dir;
    CopyData(dir.Path());
    // Ordinary speed: the first order, twister and captions, lasts 7.7 s.
    WriteBytes(dir / ModuleFile, MakeTestModule(12, 6, 125));
    RunResult run;
    Clock::time_point ended;
    std::thread greeting([&] {
        RunOptions options;
        options.workDir = dir.Path();
        // On X the media library draws through Mesa, whose code generator
        // deadlocks the sanitizer's exact unwinding of every allocation; the
        // leak check of the greeting belongs to the headless runs.
        options.env = {"SDL_VIDEODRIVER=x11", "DISPLAY=" + display.Name(), "SDL_AUDIODRIVER=dummy",
                       "LSAN_OPTIONS=", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"};
        options.timeoutSeconds = 120; // a loaded machine may take long to show the window
        run = RunProgram({ProgramPath("ekudemo")}, options);
        ended = Clock::now();
    });

    // xdotool takes the display from the environment.
    std::optional<std::string> found =
        Capture("DISPLAY=" + display.Name() +
                " timeout 60 xdotool search --sync --class ekudemo 2>/dev/null");
    unsigned long window = found ? std::strtoul(found->c_str(), nullptr, 10) : 0;
    EXPECT_NE(window, 0u) << "no window appeared";

    // The first scene: a turning twister and a red caption. A shot may fall
    // between two presented frames, so a few are taken.
    ScreenCounts best;
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    for (int shot = 0; shot < 8 && window; ++shot) {
        if (std::optional<ScreenCounts> counts = Screenshot(display.Name())) {
            if (counts->red > best.red || counts->lit > best.lit) best = *counts;
            if (best.red >= 20 && best.lit >= 2000) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    EXPECT_GE(best.lit, 2000u) << "no twister on the screen";
    EXPECT_GE(best.red, 20u) << "no caption on the screen";
    // The media library may make its window anew while it sets the mode: the
    // key or the request goes to the one there now, not the first one seen.
    found = Capture("DISPLAY=" + display.Name() + " xdotool search --class ekudemo 2>/dev/null");
    window = window && found ? std::strtoul(found->c_str(), nullptr, 10) : 0;

    const auto asked = Clock::now();
    if (window && ending == Ending::Escape) {
        EXPECT_TRUE(Capture("DISPLAY=" + display.Name() + " xdotool key --window " +
                            std::to_string(window) + " Escape"));
    } else if (window) {
        EXPECT_TRUE(SendCloseRequest(display.Name(), window));
    }
    greeting.join();
    const double seconds = std::chrono::duration<double>(ended - asked).count();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Farewell);
    EXPECT_LT(seconds, 1.0) << "the greeting took that long to end";
}

TEST(RealWindow, EscapeEndsTheGreeting) {
    RunInAWindow(Ending::Escape);
}

TEST(RealWindow, CloseRequestEndsTheGreeting) {
    RunInAWindow(Ending::CloseRequest);
}

} // namespace

// The greeting run as its user runs it, headless: the frame loop's ways to
// end and what shutdown leaves, and (with EKUDEMO_WHOLE_RUN=1) the whole
// greeting on its real music. Faults in the data and the devices are in
// FaultTest.
#include "driver/Demo.h"

#include "common/Data.h"
#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/Tunnel.h"
#include "music/Music.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Eleven orders of about 0.63 s, not the fourteen the module holds; music
// that ends before order 11 ends it too. The farewell's bytes as they are in
// the C locale, in UTF-8 in a UTF-8 one (Debian always has C.UTF-8).
TEST(Greeting, EndsByItselfAtOrder11WithTheFarewell) {
    const std::pair<int, std::string> cases[] = {
        {14, Farewell}, {3, "mik\xC3\xA5 kaislaten tulevi se kukkuen menevi\n"}};
    for (const auto& [orders, farewell] : cases) {
        TempDir dir;
        CopyDataWithFastMusic(dir.Path(), orders);
        if (orders == 3) fs::remove(dir / GreetingFile); // a folder older than the file: Eku's
        const auto start = std::chrono::steady_clock::now();
        RunResult run = RunGreeting(dir.Path(), {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                                 orders == 3 ? "LC_ALL=C.UTF-8" : "LC_ALL=C"});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, farewell);
        EXPECT_EQ(run.err, "");
        EXPECT_GT(seconds, orders == 14 ? 6.0 : 1.5);
        EXPECT_LT(seconds, orders == 14 ? 10.0 : 6.0);
    }
}

TEST(Greeting, InterruptAndTerminateEndItLikeClosingTheWindow) {
    for (int signal : {SIGINT, SIGTERM}) {
        TempDir dir;
        CopyData(dir.Path()); // the real music: far longer than the wait
        RunResult run = RunGreeting(dir.Path(), Headless, 60, 2.0, signal);
        EXPECT_EQ(run.status, 0) << "signal " << signal << ": " << run.err;
        EXPECT_EQ(run.out, Farewell);
    }
}

// In-process, so that the test can press Escape: a key press that arrives
// before the first frame ends the greeting right after that frame.
TEST(GreetingInProcess, EscapeDuringTheFirstFrameEndsItAfterThatFrame) {
    TempDir dir;
    CopyData(dir.Path());
    fs::path previous = fs::current_path();
    fs::current_path(dir.Path());

    SurfaceSlotArray slots{};
    SDL_Surface* flareSprite = nullptr;
    ASSERT_EQ(StartUp(StartOptions{}, slots, flareSprite), 0);
    SDL_Event escape{};
    escape.type = SDL_KEYDOWN;
    escape.key.state = SDL_PRESSED;
    escape.key.keysym.sym = SDLK_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&escape), 0);
    int frames = 1;
    while (!RunFrame(slots) && frames < 1000)
        ++frames;
    BuildTunnelTables(); // as if an effect had used them
    ShutDown(slots, flareSprite);
    fs::current_path(previous);

    EXPECT_EQ(frames, 1);
    // Shutdown released what the frame loop used.
    EXPECT_EQ(SongHandle, nullptr);
    EXPECT_EQ(GlowBuffer, nullptr);
    EXPECT_EQ(Screen, nullptr);
    EXPECT_EQ(flareSprite, nullptr);
    EXPECT_EQ(TunnelDepth, nullptr);
    EXPECT_EQ(TunnelAngle, nullptr);
    for (SDL_Surface* slot : slots)
        EXPECT_EQ(slot, nullptr);
}

TEST(WholeRun, TheRealGreetingPlaysToItsEnd) {
    if (!WholeRunsWanted()) GTEST_SKIP() << "set EKUDEMO_WHOLE_RUN=1 for the run of 1.5 minutes";
    TempDir dir;
    CopyData(dir.Path());
    const auto start = std::chrono::steady_clock::now();
    RunResult run = RunGreeting(dir.Path(), Headless, 300);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Farewell);
    EXPECT_EQ(run.err, "");
    EXPECT_GT(seconds, 30.0); // it played, not merely started
    std::printf("the whole greeting took %.1f s\n", seconds);
}
} // namespace

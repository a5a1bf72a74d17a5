// The greeting run as its user runs it, headless: start-up, the frame loop's
// ways to end, and the messages of its failures.
#include "driver/Demo.h"

#include "effects/unscheduled/Flares.h"
#include "music/Music.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string Farewell = "mik\xE5 kaislaten tulevi se kukkuen menevi\n";

const std::vector<std::string> Headless = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};

RunResult RunGreeting(const fs::path& dir, std::vector<std::string> env = Headless,
                      double interruptAfter = -1, int signal = SIGINT) {
    RunOptions options;
    options.workDir = dir;
    options.env = std::move(env);
    options.timeoutSeconds = 60;
    options.interruptAfterSeconds = interruptAfter;
    options.interruptSignal = signal;
    return RunProgram({ProgramPath("ekudemo")}, options);
}

TEST(Greeting, EndsByItselfAtOrder11WithTheFarewell) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 14); // music goes on past order 11
    auto start = std::chrono::steady_clock::now();
    RunResult run = RunGreeting(dir.Path());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Farewell);
    EXPECT_EQ(run.err, "");
    // Eleven orders of about 0.63 s, not the fourteen the module holds.
    EXPECT_GT(seconds, 6.0);
    EXPECT_LT(seconds, 10.0);
}

TEST(Greeting, MusicEndingBeforeOrder11EndsTheGreeting) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 3);
    RunResult run = RunGreeting(dir.Path());
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Farewell);
}

TEST(Greeting, InterruptAndTerminateEndItLikeClosingTheWindow) {
    for (int signal : {SIGINT, SIGTERM}) {
        TempDir dir;
        CopyData(dir.Path()); // the real music: far longer than the wait
        RunResult run = RunGreeting(dir.Path(), Headless, 2.0, signal);
        EXPECT_EQ(run.status, 0) << "signal " << signal << ": " << run.err;
        EXPECT_EQ(run.out, Farewell);
    }
}

TEST(Greeting, MissingFontWarnsOnceAndPlaysWithoutCaptions) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    fs::remove(dir / "dat/arialbd.ttf");
    RunResult run = RunGreeting(dir.Path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, Farewell);
    EXPECT_NE(run.err.find("dat/arialbd.ttf"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST(Greeting, MissingPictureEndsWithItsName) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    fs::remove(dir / "dat/kewl.pcx");
    RunResult run = RunGreeting(dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("dat/kewl.pcx"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST(Greeting, NoVideoDriverIsReportedWithStatus1) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    RunResult run =
        RunGreeting(dir.Path(), {"SDL_VIDEODRIVER=nonexistent", "SDL_AUDIODRIVER=dummy"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot start the video subsystem"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST(Greeting, MissingMusicEndsBeforeAnyWindow) {
    TempDir dir;
    CopyData(dir.Path());
    fs::remove(dir / "dat/rimpaaa.s3m");
    RunResult run = RunGreeting(dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "File not found\n");
}

// In-process, so that the test can press Escape: the key press that arrives
// during the first frames ends the greeting long before its music does.
TEST(GreetingInProcess, EscapeEndsIt) {
    TempDir dir;
    CopyData(dir.Path());
    fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    std::atomic<bool> done = false;
    std::thread presser([&] {
        SDL_Event escape{};
        escape.type = SDL_KEYDOWN;
        escape.key.state = SDL_PRESSED;
        escape.key.keysym.sym = SDLK_ESCAPE;
        // Pushing fails until the program has started its event queue.
        while (!done && SDL_PushEvent(&escape) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    testing::internal::CaptureStdout();
    auto start = std::chrono::steady_clock::now();
    int status = RunDemo(0, nullptr);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string out = testing::internal::GetCapturedStdout();
    done = true;
    presser.join();
    fs::current_path(previous);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, Farewell);
    EXPECT_LT(seconds, 5.0);
    // Shutdown released what the frame loop used.
    EXPECT_EQ(SongHandle, nullptr);
    EXPECT_EQ(GlowBuffer, nullptr);
    EXPECT_EQ(Screen, nullptr);
}

TEST(Clock, IsMonotonicMilliseconds) {
    int32_t before = MilliClock();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int32_t after = MilliClock();
    EXPECT_GE(int32_t(uint32_t(after) - uint32_t(before)), 29);
    EXPECT_LT(int32_t(uint32_t(after) - uint32_t(before)), 1000);
}

} // namespace

// The greeting and the gallery on a desktop: their command lines, the
// settings handed to sdl12-compat, the window option, Alt+Enter and the
// frame loop's wait for the refresh. Headless; the package test installs
// and runs the real thing.
#include "driver/Desktop.h"
#include "driver/Demo.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> Programs = {"ekudemo", "ekudemo-gallery"};

RunResult RunWith(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {ProgramPath(program).string()};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options;
    options.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
    options.timeoutSeconds = 20;
    return RunProgram(argv, options);
}

TEST(CommandLine, HelpAndVersionSayWhatTheProgramIsAndExitZero) {
    for (const std::string& program : Programs) {
        RunResult version = RunWith(program, {"--version"});
        EXPECT_EQ(version.status, 0) << program;
        EXPECT_EQ(version.out, program + " " EKUDEMO_VERSION "\n");
        EXPECT_EQ(version.err, "");
        RunResult help = RunWith(program, {"--help"});
        EXPECT_EQ(help.status, 0) << program;
        EXPECT_NE(help.out.find("Usage: " + program), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("--window K"), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "");
    }
}

TEST(CommandLine, AnythingElseIsAUsageErrorWithStatus2AndNothingPlays) {
    const std::vector<std::vector<std::string>> wrong = {{"--bogus"},
                                                         {"extra"},
                                                         {"--window", "0"},
                                                         {"--window", "17"},
                                                         {"--window", "x"},
                                                         {"--window", "2", "3"},
                                                         {"-w"}};
    for (const std::string& program : Programs)
        for (const auto& args : wrong) {
            RunResult run = RunWith(program, args);
            const std::string what = program + " " + args.front();
            EXPECT_EQ(run.status, 2) << what;
            EXPECT_EQ(run.out, "") << what; // no farewell: it never started
            EXPECT_EQ(run.err.rfind(program + ": ", 0), 0u) << run.err;
            EXPECT_NE(
                run.err.find("\nusage: " + program + " [--window [K]] [--help] [--version]\n"),
                std::string::npos)
                << run.err;
        }
}

// Sets or removes an environment variable for the test's length.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { had_ ? setenv(name_.c_str(), old_.c_str(), 1) : unsetenv(name_.c_str()); }

  private:
    std::string name_, old_;
    bool had_ = false;
};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "(unset)";
}

// Parses `args` as the greeting's command line; -1 when it would go on.
int Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "ekudemo");
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (std::string& a : args)
        argv.push_back(a.data());
    return ParseDisplayCommandLine(int(argv.size()), argv.data(), "ekudemo", "");
}

// The window scale the last command line asked sdl12-compat for.
std::string ScaleAsked() {
    ScopedEnv vblank("SDL12COMPAT_SYNC_TO_VBLANK", nullptr);
    ScopedEnv method("SDL12COMPAT_SCALE_METHOD", nullptr);
    ScopedEnv scaling("SDL12COMPAT_WINDOW_SCALING", nullptr);
    PrepareDisplayEnvironment();
    return Env("SDL12COMPAT_WINDOW_SCALING");
}

TEST(CommandLine, WindowScaleIsThreeUnlessGivenAndFullScreenWithoutTheOption) {
    EXPECT_EQ(Parse({}), -1);
    EXPECT_EQ(ScaleAsked(), "(unset)");
    EXPECT_EQ(ScreenModeFlags(), 0xE0000001u); // hardware, palette, double-buffered, full screen
    EXPECT_EQ(Parse({"--window"}), -1);
    EXPECT_EQ(ScaleAsked(), "3");
    EXPECT_EQ(Parse({"--window", "2"}), -1);
    EXPECT_EQ(ScaleAsked(), "2");
    EXPECT_EQ(Parse({"--window=16"}), -1);
    EXPECT_EQ(ScaleAsked(), "16");
    EXPECT_EQ(ScreenModeFlags(), 0x60000001u); // the same without full screen
    Parse({});
}

TEST(DisplayEnvironment, RefreshAndSquarePixelsUnlessTheUserChoseAndTheWindowScale) {
    {
        ScopedEnv vblank("SDL12COMPAT_SYNC_TO_VBLANK", nullptr);
        ScopedEnv method("SDL12COMPAT_SCALE_METHOD", nullptr);
        ScopedEnv scaling("SDL12COMPAT_WINDOW_SCALING", nullptr);
        Parse({});
        PrepareDisplayEnvironment();
        EXPECT_EQ(Env("SDL12COMPAT_SYNC_TO_VBLANK"), "1");
        EXPECT_EQ(Env("SDL12COMPAT_SCALE_METHOD"), "nearest");
        EXPECT_EQ(Env("SDL12COMPAT_WINDOW_SCALING"), "(unset)");
    }
    {
        ScopedEnv vblank("SDL12COMPAT_SYNC_TO_VBLANK", "0");
        ScopedEnv method("SDL12COMPAT_SCALE_METHOD", "linear");
        ScopedEnv scaling("SDL12COMPAT_WINDOW_SCALING", "1.5");
        Parse({"--window", "4"});
        PrepareDisplayEnvironment();
        EXPECT_EQ(Env("SDL12COMPAT_SYNC_TO_VBLANK"), "0");
        EXPECT_EQ(Env("SDL12COMPAT_SCALE_METHOD"), "linear");
        EXPECT_EQ(Env("SDL12COMPAT_WINDOW_SCALING"), "4"); // --window K is asked for now
        Parse({});
    }
}

// Opens the headless display as the greeting does; closes it at the end.
struct HeadlessScreen {
    explicit HeadlessScreen(int scale) {
        scale ? Parse({"--window", std::to_string(scale)}) : Parse({});
        opened = OpenScreen("ekudemo");
    }
    ~HeadlessScreen() {
        SDL_Quit();
        Screen = nullptr;
        Parse({});
    }
    bool opened = false;
};

TEST(Screen, FullScreenByDefaultAWindowWhenAskedAndAltEnterSwitches) {
    {
        HeadlessScreen screen(0);
        ASSERT_TRUE(screen.opened);
        EXPECT_TRUE(Screen->flags & SDL_FULLSCREEN);
        EXPECT_EQ(Screen->w, ScreenWidth);
        EXPECT_EQ(Screen->h, ScreenHeight);
        // Alt+Enter: a window (of three times the size), and back.
        SDL_Event press{};
        press.type = SDL_KEYDOWN;
        press.key.keysym.sym = SDLK_RETURN;
        press.key.keysym.mod = KMOD_LALT;
        for (bool full : {false, true}) {
            ASSERT_EQ(SDL_PushEvent(&press), 0);
            EXPECT_FALSE(PollQuit());
            EXPECT_EQ(bool(Screen->flags & SDL_FULLSCREEN), full);
            EXPECT_EQ(Screen->w, ScreenWidth);
        }
    }
    HeadlessScreen screen(2);
    ASSERT_TRUE(screen.opened);
    EXPECT_FALSE(Screen->flags & SDL_FULLSCREEN);
    EXPECT_EQ(Screen->w, ScreenWidth); // the picture stays 320x200; the window is scaled
    SDL_Event press{};
    press.type = SDL_KEYDOWN;
    press.key.keysym.sym = SDLK_RETURN;
    press.key.keysym.mod = KMOD_LALT;
    ASSERT_EQ(SDL_PushEvent(&press), 0);
    EXPECT_FALSE(PollQuit()); // switching is not quitting
    EXPECT_TRUE(Screen->flags & SDL_FULLSCREEN);
    press.key.keysym.mod = KMOD_NONE; // Enter alone does nothing
    ASSERT_EQ(SDL_PushEvent(&press), 0);
    EXPECT_FALSE(PollQuit());
    EXPECT_TRUE(Screen->flags & SDL_FULLSCREEN);
    press.key.keysym.mod = KMOD_RALT;
    ASSERT_EQ(SDL_PushEvent(&press), 0);
    EXPECT_FALSE(PollQuit());
    EXPECT_FALSE(Screen->flags & SDL_FULLSCREEN);
}

TEST(Presenting, ADriverThatDoesNotWaitIsPacedToTheRefresh) {
    HeadlessScreen screen(0);
    ASSERT_TRUE(screen.opened);
    // The headless driver returns at once; 31 frames take at least 30
    // refreshes of a display that refreshes at most 60 times a second.
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame <= 30; ++frame) {
        SDL_Flip(Screen);
        WaitForRefresh();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 30 / 60.0 - 0.002);
}

} // namespace

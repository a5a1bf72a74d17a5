// The greeting and the gallery on a desktop: their command lines, the
// settings handed to sdl12-compat, the window option, Alt+Enter and the
// frame loop's wait for the refresh. Headless; the package test installs
// and runs the real thing.
#include "driver/Desktop.h"

#include "common/Error.h"
#include "driver/Demo.h"
#include "driver/Gallery.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// Parses `args` as the greeting's command line: what it returns and says.
int Parse(std::vector<std::string> args, std::string* err = nullptr) {
    args.insert(args.begin(), "ekudemo");
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (std::string& a : args)
        argv.push_back(a.data());
    testing::internal::CaptureStderr();
    const int status = ParseDisplayCommandLine(int(argv.size()), argv.data(), "ekudemo", "");
    const std::string said = testing::internal::GetCapturedStderr();
    if (err) *err = said;
    return status;
}

// What the last command line has the display ask sdl12-compat for: refresh
// pacing, the scaling filter and the window scale ("-": none, full screen).
std::string Asked() {
    unsetenv("SDL12COMPAT_WINDOW_SCALING");
    PrepareDisplayEnvironment();
    std::string asked;
    for (const char* name :
         {"SDL12COMPAT_SYNC_TO_VBLANK", "SDL12COMPAT_SCALE_METHOD", "SDL12COMPAT_WINDOW_SCALING"}) {
        const char* value = std::getenv(name);
        asked += std::string(asked.empty() ? "" : " ") + (value ? value : "-");
    }
    return asked;
}

// Full screen without the option; a window three times the size unless
// given; anything else a usage error with status 2. Refresh pacing and
// square pixels unless the user chose otherwise.
TEST(CommandLine, WindowScaleIsThreeUnlessGivenAndAnythingElseIsAUsageError) {
    unsetenv("SDL12COMPAT_SYNC_TO_VBLANK");
    unsetenv("SDL12COMPAT_SCALE_METHOD");
    EXPECT_EQ(Parse({}), -1);
    EXPECT_EQ(Asked(), "1 nearest -");
    EXPECT_EQ(ScreenModeFlags(), 0xE0000001u); // hardware, palette, double-buffered, full screen
    const std::pair<std::vector<std::string>, int> good[] = {
        {{"--window"}, 3}, {{"--window", "2"}, 2}, {{"--window=16"}, 16}};
    for (const auto& [args, scale] : good) {
        EXPECT_EQ(Parse(args), -1);
        EXPECT_EQ(Asked(), "1 nearest " + std::to_string(scale));
    }
    setenv("SDL12COMPAT_SYNC_TO_VBLANK", "0", 1);
    setenv("SDL12COMPAT_SCALE_METHOD", "linear", 1);
    EXPECT_EQ(Asked(), "0 linear 16");
    EXPECT_EQ(ScreenModeFlags(), 0x60000001u); // the same without full screen
    const std::vector<std::string> wrong[] = {{"--bogus"},
                                              {"extra"},
                                              {"--window", "0"},
                                              {"--window", "17"},
                                              {"--window", "x"},
                                              {"--window", "2", "3"},
                                              {"-w"}};
    for (const auto& args : wrong) {
        std::string err;
        EXPECT_EQ(Parse(args, &err), 2) << args.back();
        EXPECT_EQ(err.rfind("ekudemo: ", 0), 0u) << err;
        EXPECT_TRUE(
            Contains(err, "\nusage: ekudemo [--window [K]] [--data DIR] [--help] [--version]\n"))
            << err;
    }
    Parse({});
    unsetenv("SDL12COMPAT_SYNC_TO_VBLANK");
    unsetenv("SDL12COMPAT_SCALE_METHOD");
}

// Each program, as its user runs it, says what it is and goes no further.
// (Its usage errors are the parser's, above, and the gallery's own.)
TEST(CommandLine, EachProgramSaysWhatItIs) {
    for (const std::string program : {"ekudemo", "ekudemo-gallery"}) {
        auto run = [&](const char* arg) {
            return RunProgram({ProgramPath(program).string(), arg}, {{}, Headless, 20});
        };
        const RunResult version = run("--version"), help = run("--help");
        EXPECT_EQ(version.status + help.status, 0) << program;
        EXPECT_EQ(version.out, program + " " EKUDEMO_VERSION "\n");
        EXPECT_TRUE(Contains(help.out, "Usage: " + program + " [--window [K]] [--data DIR]"))
            << help.out;
        EXPECT_EQ(version.err + help.err, "");
    }
}

// Alt+Enter (either Alt) switches between full screen and a window, which
// the picture fills at 320x200; Enter alone does nothing; switching is not
// quitting; Space and the right arrow step the gallery on, whose title names
// its effect. A window never outgrows the desktop (the headless driver's is
// 1024x768).
TEST(Screen, FullScreenByDefaultAWindowWhenAskedAndAltEnterSwitches) {
    for (int scale : {0, 2, 16}) {
        scale ? Parse({"--window", std::to_string(scale)}) : Parse({});
        testing::internal::CaptureStderr();
        ASSERT_TRUE(OpenScreen("ekudemo"));
        const std::string fit = ": a window 16 times 320x200 is larger than the 1024x768 desktop: "
                                "3 times instead\n";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), scale < 16 ? "" : ProgramName + fit);
        EXPECT_EQ(Asked(), "1 nearest " + (scale ? std::to_string(std::min(scale, 3)) : "-"));
        bool full = scale == 0;
        for (const auto& [key, mod] :
             {std::pair(SDLK_RETURN, KMOD_LALT), std::pair(SDLK_RETURN, KMOD_NONE),
              std::pair(SDLK_RETURN, KMOD_RALT), std::pair(SDLK_SPACE, KMOD_NONE),
              std::pair(SDLK_RIGHT, KMOD_NONE)}) {
            EXPECT_EQ(bool(Screen->flags & SDL_FULLSCREEN), full);
            EXPECT_EQ(Screen->w * 1000 + Screen->h, ScreenWidth * 1000 + ScreenHeight);
            SDL_Event press{};
            press.type = SDL_KEYDOWN;
            press.key.keysym.sym = key;
            press.key.keysym.mod = mod;
            ASSERT_EQ(SDL_PushEvent(&press), 0);
            bool step = false;
            EXPECT_FALSE(PollQuit(&step));
            EXPECT_EQ(step, key != SDLK_RETURN);
            full = mod == KMOD_NONE ? full : !full;
        }
        EXPECT_EQ(bool(Screen->flags & SDL_FULLSCREEN), full);
        ShowGalleryTitle(GalleryEffects[2]);
        char* title = nullptr;
        SDL_WM_GetCaption(&title, nullptr);
        EXPECT_EQ(title + std::string(), ProgramName + std::string(": wobble"));
        SDL_Quit();
        Screen = nullptr;
    }
    Parse({});
}

// The headless driver returns at once; 31 frames take at least 30 refreshes
// of a display that refreshes at most 60 times a second.
TEST(Presenting, ADriverThatDoesNotWaitIsPacedToTheRefresh) {
    ASSERT_TRUE(OpenScreen("ekudemo"));
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame <= 30; ++frame) {
        SDL_Flip(Screen);
        WaitForRefresh();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 30 / 60.0 - 0.002);
    SDL_Quit();
    Screen = nullptr;
}

} // namespace

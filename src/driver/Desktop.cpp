#include "driver/Desktop.h"

#include "common/DataFile.h"
#include "common/Error.h"
#include "common/Frame.h"
#include "common/Help.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

// 0: full screen (the default); K: a window K times the screen's size.
int WindowScale = 0;
// Whether --data named the data folder: then no installed copy stands in.
bool DataFolderNamed = false;

constexpr int DefaultWindowScale = 3;
int LargestWindowScale = DefaultWindowScale; // the largest window that fits the desktop
constexpr int MaxWindowScale = 16;
// When the display does not say how often it refreshes.
constexpr int DefaultRefreshHz = 60;
constexpr Uint32 FullScreenFlags = SDL_HWSURFACE | SDL_HWPALETTE | SDL_DOUBLEBUF | SDL_FULLSCREEN;

int64_t RefreshPeriodNs = 1000000000 / DefaultRefreshHz;
int64_t LetGoAt = 0; // when the frame loop last went on after presenting

int64_t NowNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// SDL 1.2 has no call for the display's refresh rate nor for a window's
// size, but sdl12-compat runs on SDL 2, which has both, and hands out its
// window. Both libraries are already loaded; nothing new is loaded here.
// Calls `use(window, sdl2)` with SDL 2's handle; false when either library
// is missing (a classic SDL 1.2).
template <typename Use> bool WithSdl2Window(Use use) {
    using GetWindowFn = void* (*)();
    auto getWindow = reinterpret_cast<GetWindowFn>(dlsym(RTLD_DEFAULT, "SDL12COMPAT_GetWindow"));
    void* sdl2 = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
    void* window = getWindow ? getWindow() : nullptr;
    if (window && sdl2) use(window, sdl2);
    if (sdl2) dlclose(sdl2);
    return window && sdl2;
}

// 0 when the display does not say.
int DisplayRefreshHz() {
    struct DisplayMode { // SDL 2's SDL_DisplayMode
        Uint32 format;
        int w, h, refresh_rate;
        void* driverdata;
    };
    int hz = 0;
    WithSdl2Window([&](void* window, void* sdl2) {
        using GetDisplayIndexFn = int (*)(void*);
        using GetModeFn = int (*)(int, DisplayMode*);
        auto displayIndex =
            reinterpret_cast<GetDisplayIndexFn>(dlsym(sdl2, "SDL_GetWindowDisplayIndex"));
        auto currentMode = reinterpret_cast<GetModeFn>(dlsym(sdl2, "SDL_GetCurrentDisplayMode"));
        DisplayMode mode{};
        const int index = displayIndex ? displayIndex(window) : -1;
        if (index >= 0 && currentMode && currentMode(index, &mode) == 0) hz = mode.refresh_rate;
    });
    return hz;
}

// A window made full screen at first comes back at 320x200: it gets the
// size a window of the default scale has, or the largest that fits the
// desktop, centred.
void GrowWindow() {
    WithSdl2Window([](void* window, void* sdl2) {
        using SetSizeFn = void (*)(void*, int, int);
        using SetPositionFn = void (*)(void*, int, int);
        auto setSize = reinterpret_cast<SetSizeFn>(dlsym(sdl2, "SDL_SetWindowSize"));
        auto setPosition = reinterpret_cast<SetPositionFn>(dlsym(sdl2, "SDL_SetWindowPosition"));
        if (!setSize || !setPosition) return;
        const int scale = std::min(DefaultWindowScale, LargestWindowScale);
        setSize(window, ScreenWidth * scale, ScreenHeight * scale);
        constexpr int Centred = 0x2FFF0000; // SDL_WINDOWPOS_CENTERED
        setPosition(window, Centred, Centred);
    });
}

} // namespace

int ParseDisplayCommandLine(int argc, char** argv, const char* program, const char* about,
                            const std::function<void(CLI::App&)>& addOptions, const char* usage) {
    CLI::App app(about, program);
    app.set_version_flag("--version", std::string(program) + " " EKUDEMO_VERSION,
                         "Print the version and exit");
    UsePlainHelp(app);
    std::vector<int> scale;
    CLI::Option* window =
        app.add_option("--window", scale,
                       "Play in a window K times 320x200 (K from 1 to 16, 3 if left out) "
                       "instead of full screen; Alt+Enter switches between the two")
            ->expected(0, 1)
            ->type_name("K")
            ->check(CLI::Range(1, MaxWindowScale).description(""));
    std::string data;
    CLI::Option* dataOption = app.add_option("--data", data,
                                             "Read the data from the folder DIR, one that "
                                             "ekudemo-makedata wrote, instead of dat/")
                                  ->type_name("DIR");
    if (addOptions) addOptions(app);
    app.footer("Escape or closing the window ends it early. The data is read from dat/ in the "
               "working directory, or from the installed copy's data folder when there is none.");
    const int status = ParseCommandLine(app, argc, argv);
    if (status == 2)
        std::fprintf(stderr,
                     "%s: %s\nusage: %s [--window [K]] [--data DIR]%s [--help] [--version]\n",
                     program, ErrorText(), program, usage);
    if (status >= 0) return status;
    WindowScale = 0;
    // `--window` alone leaves an empty value behind.
    if (window->count())
        WindowScale = window->results().front().empty() ? DefaultWindowScale : scale.front();
    if (dataOption->count()) UseDataFolder(data);
    return -1;
}

void UseDataFolder(const std::string& folder) {
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    DataFolder = trimmed.empty() ? "." : trimmed;
    DataFolderNamed = true;
}

const char* InstalledDataFolder() {
#ifdef EKUDEMO_DATA_DIR
    if (DataFolderNamed) return nullptr;
    struct stat info;
    if (lstat("dat", &info) == 0 || errno != ENOENT) return nullptr;
    if (stat(EKUDEMO_DATA_DIR "/dat", &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    return EKUDEMO_DATA_DIR;
#else
    return nullptr;
#endif
}

bool UseInstalledData() {
    // A folder named with --data is read as it is; its loaders name what is missing.
    if (DataFolderNamed) return true;
    struct stat info;
    if (lstat("dat", &info) == 0 || errno != ENOENT) return true;
    const char* folder = InstalledDataFolder();
    if (folder) {
        if (chdir(folder) != 0) {
            // The missing files are then reported as they are from a checkout.
        }
        return true;
    }
    char* here = getcwd(nullptr, 0);
    std::string looked = std::string("\"") + (here ? here : ".") + "\" (the working directory)";
    std::free(here);
#ifdef EKUDEMO_DATA_DIR
    looked += " nor in \"" EKUDEMO_DATA_DIR "\" (the installed copy's)";
#endif
    return SetError("the data is missing: there is no dat/ in %s; run from the folder that holds "
                    "dat/, or make one there with \"ekudemo-makedata dat\"",
                    looked.c_str());
}

void PrepareDisplayEnvironment() {
    setenv("SDL12COMPAT_SYNC_TO_VBLANK", "1", 0);
    setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
    // sdl12-compat reads this when it makes a window that is not full screen.
    if (WindowScale > 0)
        setenv("SDL12COMPAT_WINDOW_SCALING", std::to_string(WindowScale).c_str(), 1);
}

void FitWindowToDesktop(int desktopWidth, int desktopHeight) {
    if (desktopWidth <= 0 || desktopHeight <= 0) return;
    const int fits =
        std::max(1, std::min(desktopWidth / ScreenWidth, desktopHeight / ScreenHeight));
    LargestWindowScale = fits;
    if (WindowScale <= fits) return;
    SetError("a window %d times %dx%d is larger than the %dx%d desktop: %d times instead",
             WindowScale, ScreenWidth, ScreenHeight, desktopWidth, desktopHeight, fits);
    PrintError();
    WindowScale = fits;
    PrepareDisplayEnvironment();
}

Uint32 ScreenModeFlags() {
    return WindowScale > 0 ? FullScreenFlags & ~Uint32(SDL_FULLSCREEN) : FullScreenFlags;
}

void StartPresenting() {
    const int hz = DisplayRefreshHz();
    // Only rates a real display could have: anything else is a driver's guess.
    RefreshPeriodNs = 1000000000 / (hz >= 24 && hz <= 500 ? hz : DefaultRefreshHz);
    LetGoAt = 0;
}

void WaitForRefresh() {
    const int64_t presentedAt = NowNs();
    const int64_t due = LetGoAt + RefreshPeriodNs;
    if (LetGoAt != 0 && presentedAt < due) {
        const timespec until = {time_t(due / 1000000000), long(due % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
        LetGoAt = due;
    } else {
        LetGoAt = presentedAt;
    }
}

void ToggleFullScreen() {
    SDL_Surface* screen = SDL_GetVideoSurface();
    if (!screen || !SDL_WM_ToggleFullScreen(screen)) return;
    if (WindowScale == 0 && !(screen->flags & SDL_FULLSCREEN)) GrowWindow();
}

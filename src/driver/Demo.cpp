#include "driver/Demo.h"

#include "driver/Data.h"
#include "driver/Desktop.h"
#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/Tunnel.h"
#include "image/Pcx.h"
#include "music/Music.h"

#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

int32_t FrameTime = 0;
SDL_Surface* Screen = nullptr;

namespace {

constexpr const char* FontPath = FontFile;

SDL_Surface* CreateSurface(int width, int height, int depth, const char* path) {
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_HWSURFACE, width, height, depth, 0, 0, 0, 0);
    if (!surface) {
        std::fprintf(stderr, "ekudemo: cannot make a surface for \"%s\": %s\n", path,
                     SDL_GetError());
        std::exit(1);
    }
    return surface;
}

// Whether every table that a TrueType file's directory lists lies within the
// file. FreeType opens a font cut short and only fails on the glyphs that are
// missing; such a file is refused as a whole. A file that cannot be read is
// left to TTF_OpenFont to report.
bool FontFileIsWhole(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return true;
    std::vector<uint8_t> head(12);
    bool whole = std::fread(head.data(), 1, head.size(), file) == head.size();
    if (whole) {
        const size_t tables = size_t(head[4]) << 8 | head[5];
        head.resize(12 + 16 * tables);
        whole = std::fread(head.data() + 12, 1, 16 * tables, file) == 16 * tables;
    }
    long size = whole && std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::fclose(file);
    if (!whole || size < 0) return false;
    auto Be32 = [&](size_t at) {
        return uint64_t(head[at]) << 24 | uint64_t(head[at + 1]) << 16 |
               uint64_t(head[at + 2]) << 8 | head[at + 3];
    };
    for (size_t at = 12; at < head.size(); at += 16)
        if (Be32(at + 8) + Be32(at + 12) > uint64_t(size)) return false;
    return true;
}

// SDL falls back to its offscreen driver when no display can be reached:
// true when that happened without being asked for.
bool FellBackToOffscreen() {
    char driver[32] = "";
    if (!SDL_VideoDriverName(driver, sizeof driver) || std::strcmp(driver, "offscreen") != 0)
        return false;
    const char* wanted = std::getenv("SDL_VIDEODRIVER");
    return !wanted || std::strcmp(wanted, "offscreen") != 0;
}

} // namespace

int32_t MilliClock() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t ms = int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return int32_t(uint32_t(uint64_t(ms))); // wraps like a 32-bit millisecond counter
}

void LoadPictures(SurfaceSlotArray& slots) {
    slots.fill(nullptr);
    for (const DataPicture& picture : DataPictures) {
        if (picture.slot == NoSlot) continue;
        SDL_Surface* surface = CreateSurface(picture.width, picture.height, 32, picture.path);
        slots[size_t(picture.slot)] = surface;
        LoadPcx(picture.path, surface, picture.width, picture.height);
        if (picture.keyed) SDL_SetColorKey(surface, SDL_SRCCOLORKEY, 0);
    }
}

SDL_Surface* LoadFlareSprite() {
    const DataPicture& file = FlareSpriteFile;
    SDL_Surface* sprite = CreateSurface(file.width, file.height, file.bitsPerPixel, file.path);
    LoadPcxIndexed(file.path, sprite, file.width, file.height);
    return sprite;
}

void FreePictures(SurfaceSlotArray& slots) {
    for (SDL_Surface*& surface : slots) {
        SDL_FreeSurface(surface);
        surface = nullptr;
    }
}

void OpenCaptionFont() {
    if (TTF_Init() < 0) {
        std::fprintf(stderr, "ekudemo: cannot start the font library: %s; no captions\n",
                     TTF_GetError());
        return;
    }
    std::atexit(TTF_Quit);
    if (!FontFileIsWhole(FontPath)) {
        std::fprintf(stderr, "ekudemo: font \"%s\" is cut short; no captions\n", FontPath);
        return;
    }
    CaptionFont = TTF_OpenFont(FontPath, FontPoints);
    if (!CaptionFont)
        std::fprintf(stderr, "ekudemo: cannot open font \"%s\": %s; no captions\n", FontPath,
                     TTF_GetError());
}

void CloseCaptionFont() {
    if (CaptionFont) TTF_CloseFont(CaptionFont);
    CaptionFont = nullptr;
}

bool PollQuit() {
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) quit = true;
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) quit = true;
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_RETURN &&
            (event.key.keysym.mod & KMOD_ALT))
            ToggleFullScreen();
    }
    return quit;
}

bool OpenScreen(const char* program) {
    PrepareDisplayEnvironment();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "%s: cannot start the video subsystem: %s\n", program, SDL_GetError());
        return false;
    }
    std::atexit(SDL_Quit);
    if (FellBackToOffscreen()) {
        std::fprintf(stderr, "%s: no display available\n", program);
        return false;
    }
    Screen = SDL_SetVideoMode(ScreenWidth, ScreenHeight, 32, ScreenModeFlags());
    if (!Screen) {
        std::fprintf(stderr, "error setting %dx%d 32bpp indexed mode: %s\n", ScreenWidth,
                     ScreenHeight, SDL_GetError());
        return false;
    }
    SDL_WM_SetCaption(program, program); // the window's title on a desktop
    SDL_ShowCursor(0);
    StartPresenting();
    return true;
}

int StartUp(const StartOptions& options, SurfaceSlotArray& slots, SDL_Surface*& flareSprite) {
    slots.fill(nullptr);
    flareSprite = nullptr;
    if (options.music == MusicUse::Silent) FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    if (options.music != MusicUse::None) InitMusic(ModuleFile);
    if (options.font) OpenCaptionFont();
    std::srand(options.seed ? *options.seed : unsigned(MilliClock()));

    if (options.display && !OpenScreen(options.program)) {
        ShutDown(slots, flareSprite);
        return 1;
    }

    LoadPictures(slots);
    if (options.flares) {
        flareSprite = LoadFlareSprite();
        PrepareGlow();
    }
    if (options.music == MusicUse::Playing) PlayMusic();
    if (options.flares) FillFlarePoints();
    return 0;
}

void ShutDown(SurfaceSlotArray& slots, SDL_Surface*& flareSprite) {
    if (SongHandle) StopMusic();
    CloseCaptionFont();
    FreeTunnelTables();
    FreePictures(slots);
    SDL_FreeSurface(flareSprite);
    flareSprite = nullptr;
    FreeGlow();
    FreeCaption();
    SDL_Quit();
    Screen = nullptr;
}

bool DrawMusicFrame(SDL_Surface* screen, const SurfaceSlotArray& slots, int32_t timeMs) {
    FrameTime = timeMs;
    CurrentOrder.store(FMUSIC_GetOrder(SongHandle), std::memory_order_relaxed);
    const int32_t row = FMUSIC_GetRow(SongHandle);
    // The greeting ends at its last order, or earlier if the music does.
    const bool over = DrawScene(screen, slots, row);
    return over || FMUSIC_IsFinished(SongHandle);
}

int StartDemo(SurfaceSlotArray& slots, SDL_Surface*& flareSprite) {
    return StartUp(StartOptions{}, slots, flareSprite);
}

bool RunFrame(const SurfaceSlotArray& slots) {
    bool quit = DrawMusicFrame(Screen, slots, MilliClock());
    SDL_Flip(Screen);
    WaitForRefresh();
    SDL_FillRect(Screen, nullptr, 0);
    if (PollQuit()) quit = true;
    return quit;
}

void StopDemo(SurfaceSlotArray& slots, SDL_Surface*& flareSprite) {
    ShutDown(slots, flareSprite);
}

int RunDemo(int, char**) {
    SurfaceSlotArray slots{};
    SDL_Surface* flareSprite = nullptr;
    if (int status = StartDemo(slots, flareSprite)) return status;
    while (!RunFrame(slots)) {
    }
    StopDemo(slots, flareSprite);
    std::printf("mik\xE5 kaislaten tulevi se kukkuen menevi\n");
    return 0;
}

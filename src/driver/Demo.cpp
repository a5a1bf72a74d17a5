#include "driver/Demo.h"

#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"
#include "common/Greeting.h"
#include "common/Text.h"
#include "driver/Desktop.h"
#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/Tunnel.h"
#include "image/Pcx.h"
#include "music/Music.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

SDL_Surface* Screen = nullptr;

namespace {

SDL_Surface* CreateSurface(int width, int height, int depth, const char* path) {
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_HWSURFACE, width, height, depth, 0, 0, 0, 0);
    if (!surface) SetError("cannot make a surface for \"%s\": %s", path, SDL_GetError());
    return surface;
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

// One picture of the table, from `file` in the data folder, into `slot`.
bool LoadPicture(const DataPicture& picture, const std::string& file, SDL_Surface*& slot) {
    const std::string path = DataFolderPath(file);
    slot = CreateSurface(picture.width, picture.height, 32, path.c_str());
    if (!slot || !LoadPcx(path.c_str(), slot, picture.width, picture.height)) return false;
    if (picture.keyed) SDL_SetColorKey(slot, SDL_SRCCOLORKEY, 0);
    return true;
}

} // namespace

bool LoadPictures(SurfaceSlotArray& slots) {
    slots.fill(nullptr);
    const std::string& name = CurrentGreeting.name;
    for (const DataPicture& picture : DataPictures) {
        if (picture.slot == NoSlot || picture.slot == SlotLetterK || picture.slot == SlotLetterU)
            continue;
        if (picture.slot != SlotLetterE) {
            if (!LoadPicture(picture, picture.path, slots[size_t(picture.slot)])) return false;
            continue;
        }
        // The name's masks stand where Eku's do in the table.
        for (size_t i = 0; i < name.size() && i < LetterSlots.size(); ++i)
            if (!LoadPicture(picture, LetterMaskFile(uint8_t(name[i])),
                             slots[size_t(LetterSlots[i])]))
                return false;
    }
    return true;
}

SDL_Surface* LoadFlareSprite() {
    const DataPicture& file = FlareSpriteFile;
    const std::string path = DataFolderPath(file.path);
    SDL_Surface* sprite = CreateSurface(file.width, file.height, file.bitsPerPixel, path.c_str());
    if (sprite && !LoadPcxIndexed(path.c_str(), sprite, file.width, file.height)) {
        SDL_FreeSurface(sprite);
        return nullptr;
    }
    return sprite;
}

void FreePictures(SurfaceSlotArray& slots) {
    for (SDL_Surface*& surface : slots) {
        SDL_FreeSurface(surface);
        surface = nullptr;
    }
}

bool PollQuit(bool* step) {
    bool quit = false;
    if (step) *step = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) quit = true;
        if (event.type != SDL_KEYDOWN) continue;
        const SDLKey key = event.key.keysym.sym;
        if (key == SDLK_ESCAPE) quit = true;
        if (key == SDLK_RETURN && (event.key.keysym.mod & KMOD_ALT)) ToggleFullScreen();
        if (step && (key == SDLK_SPACE || key == SDLK_RIGHT)) *step = true;
    }
    return quit;
}

bool OpenScreen(const char* title) {
    PrepareDisplayEnvironment();
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        return SetError("cannot start the video subsystem: %s", SDL_GetError());
    std::atexit(SDL_Quit);
    if (FellBackToOffscreen()) return SetError("no display available");
    // What the display shows before the mode is set: 0 when SDL cannot name
    // it (an 8-bit palette display).
    const SDL_VideoInfo* desktop = SDL_GetVideoInfo();
    const int desktopBits = desktop && desktop->vfmt ? desktop->vfmt->BitsPerPixel : 0;
    if (desktop) FitWindowToDesktop(desktop->current_w, desktop->current_h);
    Screen = SDL_SetVideoMode(ScreenWidth, ScreenHeight, 32, ScreenModeFlags());
    if (!Screen)
        return SetError("error setting %dx%d 32bpp indexed mode: %s%s", ScreenWidth, ScreenHeight,
                        SDL_GetError(),
                        desktopBits < 24 ? "; the display does not show the 24- or 32-bit colour "
                                           "the pictures need"
                                         : "");
    // The window's title on a desktop, and the name the desktop lists it by.
    SDL_WM_SetCaption(title, ProgramName);
    SDL_ShowCursor(0);
    StartPresenting();
    return true;
}

int StartUp(const StartOptions& options, SurfaceSlotArray& slots, SDL_Surface*& flareSprite) {
    slots.fill(nullptr);
    flareSprite = nullptr;
    if (options.program) ProgramName = options.program;
    // Before anything plays or opens: a greeting that cannot be shown is
    // refused first.
    if (!LoadGreeting(DataFolderPath(GreetingFile).c_str())) {
        PrintError();
        return 1;
    }
    // Each start-up chooses afresh: a silent one before must not leave the
    // next without sound.
    if (options.music != MusicUse::None)
        FSOUND_SetOutput(options.music == MusicUse::Silent ? FSOUND_OUTPUT_NOSOUND
                                                           : FSOUND_OUTPUT_SDL);
    // The greeting keeps its own way of failing here (InitMusic ends the
    // process); the other programs report and return.
    if (options.music == MusicUse::Playing) {
        InitMusic(DataFolderPath(ModuleFile).c_str());
    } else if (options.music != MusicUse::None && !LoadMusic(DataFolderPath(ModuleFile).c_str())) {
        PrintError();
        ShutDown(slots, flareSprite);
        return 1;
    }
    // Without its font the greeting plays on, without captions.
    if (options.font && !OpenCaptionFont()) {
        SetError("%s; no captions", ErrorText());
        PrintError();
    }
    std::srand(options.seed ? *options.seed : unsigned(MilliClock()));

    const std::string title =
        options.program ? std::string(options.program) : GreetingTitle(CurrentGreeting);
    if (options.display && !OpenScreen(title.c_str())) {
        PrintError();
        ShutDown(slots, flareSprite);
        return 1;
    }

    if (!LoadPictures(slots) || (options.flares && !(flareSprite = LoadFlareSprite()))) {
        PrintError();
        ShutDown(slots, flareSprite);
        return 1;
    }
    if (options.flares) PrepareGlow();
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

bool RunFrame(const SurfaceSlotArray& slots) {
    bool quit = DrawMusicFrame(Screen, slots, MilliClock());
    SDL_Flip(Screen);
    WaitForRefresh();
    SDL_FillRect(Screen, nullptr, 0);
    if (PollQuit()) quit = true;
    return quit;
}

int RunDemo(int, char**) {
    SurfaceSlotArray slots{};
    SDL_Surface* flareSprite = nullptr;
    if (int status = StartUp(StartOptions{}, slots, flareSprite)) return status;
    while (!RunFrame(slots)) {
    }
    ShutDown(slots, flareSprite);
    std::fputs(ForTerminal(CurrentGreeting.farewell + "\n").c_str(), stdout);
    return 0;
}

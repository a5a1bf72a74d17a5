#include "capture/Capture.h"

#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "music/Music.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// What a still needs from dat/; the font is optional (no captions without it).
constexpr const char* StillData[] = {
    "dat/rimpaaa.s3m", "dat/ek_taus.pcx", "dat/ek_pae1.pcx", "dat/ek_pae2.pcx", "dat/ek_rapu.pcx",
    "dat/ek__e.pcx",   "dat/ek__k.pcx",   "dat/ek__u.pcx",   "dat/bit7.pcx",    "dat/kewl.pcx",
};

bool DataReadable() {
    for (const char* path : StillData) {
        std::FILE* file = std::fopen(path, "rb");
        if (!file) {
            std::fprintf(stderr, "ekudemo-capture: cannot read \"%s\": %s\n", path,
                         std::strerror(errno));
            return false;
        }
        std::fclose(file);
    }
    return true;
}

} // namespace

int CaptureStill(int32_t order, int32_t row, int32_t timeMs, unsigned seed, bool raw,
                 const char* out) {
    if (!DataReadable()) return 1;

    // Loaded as the greeting loads it, but silent: the position is set, not played.
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    InitMusic("dat/rimpaaa.s3m");
    OpenCaptionFont();
    SurfaceSlotArray slots;
    LoadPictures(slots);

    // A software surface stands in for the display: no window is opened.
    SDL_Surface* screen =
        SDL_CreateRGBSurface(SDL_SWSURFACE, ScreenWidth, ScreenHeight, 32, 0, 0, 0, 0);
    int status = 1;
    if (!screen) {
        std::fprintf(stderr, "ekudemo-capture: cannot make the frame: %s\n", SDL_GetError());
    } else {
        SDL_FillRect(screen, nullptr, 0);
        FMUSIC_SetPosition(SongHandle, order, row);
        CurrentOrder.store(order, std::memory_order_relaxed);
        std::srand(seed);
        FrameTime = timeMs;
        DrawScene(screen, slots, row);
        if (WriteFrame(screen, raw, out)) status = 0;
        SDL_FreeSurface(screen);
    }

    FreeCaption();
    FreePictures(slots);
    CloseCaptionFont();
    StopMusic();
    SDL_Quit();
    return status;
}

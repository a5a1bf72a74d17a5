#include "capture/Capture.h"

#include "effects/Caption.h"
#include "music/Music.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// What a frame needs from dat/; the font is optional (no captions without it).
constexpr const char* FrameData[] = {
    "dat/rimpaaa.s3m", "dat/ek_taus.pcx", "dat/ek_pae1.pcx", "dat/ek_pae2.pcx", "dat/ek_rapu.pcx",
    "dat/ek__e.pcx",   "dat/ek__k.pcx",   "dat/ek__u.pcx",   "dat/bit7.pcx",    "dat/kewl.pcx",
};

} // namespace

bool Readable(std::span<const char* const> paths) {
    for (const char* path : paths) {
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

bool LoadGreetingData(SurfaceSlotArray& slots) {
    slots.fill(nullptr);
    if (!Readable(FrameData)) return false;
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    InitMusic("dat/rimpaaa.s3m");
    OpenCaptionFont();
    LoadPictures(slots);
    return true;
}

void FreeGreetingData(SurfaceSlotArray& slots) {
    FreeCaption();
    FreePictures(slots);
    CloseCaptionFont();
    StopMusic();
}

SDL_Surface* MakeFrameSurface() {
    SDL_Surface* frame =
        SDL_CreateRGBSurface(SDL_SWSURFACE, ScreenWidth, ScreenHeight, 32, 0, 0, 0, 0);
    if (!frame)
        std::fprintf(stderr, "ekudemo-capture: cannot make the frame: %s\n", SDL_GetError());
    else
        SDL_FillRect(frame, nullptr, 0);
    return frame;
}

// One frame of a gallery effect, drawn offline by the gallery's own code.
#include "capture/Capture.h"

#include "common/Error.h"
#include "driver/Demo.h"
#include "driver/Gallery.h"
#include "output/OutputFile.h"

#include <cstdio>

int CaptureEffect(const char* name, int32_t timeMs, unsigned seed, bool raw, const char* out) {
    const GalleryEffect* effect = FindGalleryEffect(name);
    if (!effect) {
        std::fprintf(stderr, "ekudemo-capture: unknown effect \"%s\": use %s\n", name ? name : "",
                     GalleryEffectNames().c_str());
        return 1;
    }

    OutputFile file;
    if (!OpenOutput(file, CaptureProgram, out, CaptureInputs())) return 1;
    // The pictures and the flare data, no music, no window; the seed stands
    // in for the clock that seeds the gallery's flare cloud.
    SurfaceSlotArray slots;
    SDL_Surface* flareSprite = nullptr;
    if (int status = StartUp({.program = "ekudemo-capture",
                              .music = MusicUse::None,
                              .font = false,
                              .display = false,
                              .flares = true,
                              .seed = seed},
                             slots, flareSprite))
        return status;

    SDL_Surface* screen = MakeFrameSurface();
    int status = 1;
    if (screen && !effect->prepare(slots, flareSprite)) {
        PrintError();
    } else if (screen) {
        DrawGalleryFrame(*effect, timeMs, screen);
        if (WriteFrame(screen, raw, file)) status = 0;
    }

    SDL_FreeSurface(screen);
    effect->release();
    ShutDown(slots, flareSprite);
    return status;
}

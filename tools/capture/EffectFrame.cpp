// One frame of a gallery effect, drawn offline by the gallery's own code.
#include "capture/Capture.h"

#include "driver/Demo.h"
#include "driver/Gallery.h"
#include "effects/unscheduled/Flares.h"

#include <cstdio>
#include <cstdlib>

int CaptureEffect(const char* effect, int32_t timeMs, unsigned seed, bool raw, const char* out) {
    const int which = FindGalleryEffect(effect);
    if (which < 0) {
        std::fprintf(stderr,
                     "ekudemo-capture: unknown effect \"%s\": use tunnel, flares or wobble\n",
                     effect ? effect : "");
        return 1;
    }

    SurfaceSlotArray slots;
    LoadPictures(slots);
    SDL_Surface* flareSprite = LoadFlareSprite();
    PrepareGlow();
    // The seed stands in for the clock that seeds the gallery's flare cloud.
    std::srand(seed);
    FillFlarePoints();

    SDL_Surface* screen = MakeFrameSurface();
    int status = 1;
    if (screen && !GlowBuffer) {
        std::fprintf(stderr, "ekudemo-capture: out of memory\n");
    } else if (screen && PrepareGallery(slots, flareSprite)) {
        DrawGalleryFrame(which, timeMs, screen);
        if (WriteFrame(screen, raw, out)) status = 0;
    }

    SDL_FreeSurface(screen);
    FreeGallery();
    FreePictures(slots);
    SDL_FreeSurface(flareSprite);
    FreeGlow();
    SDL_Quit();
    return status;
}

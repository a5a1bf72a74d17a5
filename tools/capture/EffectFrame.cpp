// One frame of a gallery effect, drawn offline by the gallery's own code.
#include "capture/Capture.h"

#include "common/Error.h"
#include "driver/Demo.h"
#include "driver/Gallery.h"
#include "output/OutputFile.h"

int CaptureEffect(const char* name, int32_t timeMs, unsigned seed, bool raw, const char* out) {
    const GalleryEffect* effect = FindGalleryEffect(name);
    if (!effect) {
        SetError("unknown effect \"%s\": use %s", name ? name : "", GalleryEffectNames().c_str());
        return CaptureFailed();
    }

    OutputFile file;
    if (!OpenOutput(file, out, CaptureInputs())) return CaptureFailed();
    // The pictures and the flare data, no music, no window; the seed stands
    // in for the clock that seeds the gallery's flare cloud.
    SurfaceSlotArray slots;
    SDL_Surface* flareSprite = nullptr;
    if (int status = StartUp({.program = CaptureProgram,
                              .music = MusicUse::None,
                              .font = false,
                              .display = false,
                              .flares = true,
                              .seed = seed},
                             slots, flareSprite))
        return status; // the start-up said why

    SDL_Surface* screen = MakeFrameSurface();
    bool saved = false;
    if (screen && effect->prepare(slots, flareSprite)) {
        DrawGalleryFrame(*effect, timeMs, screen);
        saved = SaveFrame(screen, raw, file);
    }

    SDL_FreeSurface(screen);
    effect->release();
    ShutDown(slots, flareSprite);
    return saved ? 0 : CaptureFailed();
}

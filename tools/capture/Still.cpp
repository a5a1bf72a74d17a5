#include "capture/Capture.h"

#include "driver/Demo.h"
#include "music/Music.h"

int CaptureStill(int32_t order, int32_t row, int32_t timeMs, unsigned seed, bool raw,
                 const char* out) {
    // Loaded as the greeting loads it, but silent: the position is set, not played.
    SurfaceSlotArray slots;
    if (!LoadGreetingData(slots, seed)) return 1;
    SDL_Surface* screen = MakeFrameSurface();
    int status = 1;
    if (screen) {
        FMUSIC_SetPosition(SongHandle, order, row);
        DrawMusicFrame(screen, slots, timeMs);
        if (WriteFrame(screen, raw, out)) status = 0;
        SDL_FreeSurface(screen);
    }
    FreeGreetingData(slots);
    return status;
}

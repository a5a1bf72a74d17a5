#include "capture/Capture.h"

#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "music/Music.h"
#include "output/OutputFile.h"

#include <cstdio>

int CaptureStill(int32_t order, int32_t row, int32_t timeMs, unsigned seed, bool raw,
                 const char* out) {
    // Nothing is drawn from the greeting's last order on.
    if (order >= EndOrder) {
        std::fprintf(stderr,
                     "ekudemo-capture: order %d is past the greeting's end (it ends as order %d "
                     "begins): \"%s\" is not written\n",
                     int(order), int(EndOrder), out);
        return 1;
    }
    OutputFile file;
    if (!OpenOutput(file, CaptureProgram, out, CaptureInputs())) return 1;
    // Loaded as the greeting loads it, but silent: the position is set, not played.
    SurfaceSlotArray slots;
    if (!LoadGreetingData(slots, seed)) return 1;
    SDL_Surface* screen = MakeFrameSurface();
    int status = 1;
    if (screen) {
        FMUSIC_SetPosition(SongHandle, order, row);
        DrawMusicFrame(screen, slots, timeMs);
        if (WriteFrame(screen, raw, file)) status = 0;
        SDL_FreeSurface(screen);
    }
    FreeGreetingData(slots);
    return status;
}

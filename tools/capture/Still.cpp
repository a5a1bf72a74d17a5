#include "capture/Capture.h"

#include "common/Error.h"
#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "music/Music.h"
#include "output/OutputFile.h"

int CaptureStill(int32_t order, int32_t row, int32_t timeMs, unsigned seed, bool raw,
                 const char* out) {
    // Nothing is drawn from the greeting's last order on.
    if (order >= EndOrder) {
        SetError("order %d is past the greeting's end (it ends as order %d begins): \"%s\" is "
                 "not written",
                 int(order), int(EndOrder), out);
        return CaptureFailed();
    }
    OutputFile file;
    if (!OpenOutput(file, out, CaptureInputs())) return CaptureFailed();
    // Loaded as the greeting loads it, but silent: the position is set, not played.
    SurfaceSlotArray slots;
    if (!LoadGreetingData(slots, seed)) return 1; // the start-up said why
    // A row the order's pattern does not have is no moment of the greeting.
    if (const int rows = FMUSIC_GetPatternLength(SongHandle, order); row >= rows) {
        if (rows <= 0)
            SetError("--still %d %d %d: the music has no order %d", int(order), int(row),
                     int(timeMs), int(order));
        else
            SetError("--still %d %d %d: order %d has rows 0 to %d", int(order), int(row),
                     int(timeMs), int(order), rows - 1);
        FreeGreetingData(slots);
        return CaptureUsageError();
    }
    SDL_Surface* screen = MakeFrameSurface();
    bool saved = false;
    if (screen) {
        FMUSIC_SetPosition(SongHandle, order, row);
        DrawMusicFrame(screen, slots, timeMs);
        saved = SaveFrame(screen, raw, file);
        SDL_FreeSurface(screen);
    }
    FreeGreetingData(slots);
    return saved ? 0 : CaptureFailed();
}

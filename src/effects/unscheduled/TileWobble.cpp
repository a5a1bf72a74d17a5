#include "effects/unscheduled/TileWobble.h"

#include "common/Frame.h"
#include "effects/unscheduled/EffectFrame.h"
#include "image/Surface.h"

#include <cmath>

namespace {

// Phase factors: the single-precision neighbours of 1/260, 1/300, 0.01 and
// 1/510, widened; the phases are multiplied by them, not divided.
constexpr double ColumnWaveRate = double(1.0f / 260); // a column's tiles up and down
constexpr double RowWaveRate = double(1.0f / 300);    // a row's tiles left and right
constexpr double SwellPlaceRate = double(0.01f);      // the size, by source position
constexpr double SwellTimeRate = double(1.0f / 510);  // the size, by time
constexpr float ColumnStep = 50.0f;                   // phase between neighbouring columns
constexpr float RowStep = 55.0f;                      // and rows
constexpr int Pitch = 20; // tile pitch, and the size the swell centres on
constexpr int Columns = EffectFrameWidth / Pitch;
constexpr int Rows = EffectFrameHeight / Pitch;
constexpr int MiddleColumn = Columns / 2;

// Truncation toward zero; a value outside 32 bits (only from an absurd
// amplitude) is held at the nearest end instead of being undefined.
int32_t Truncate(double v) {
    if (!(v > -2147483648.0)) return v < 0 ? INT32_MIN : 0; // NaN gives 0
    if (!(v < 2147483648.0)) return INT32_MAX;
    return int32_t(v);
}

} // namespace

void DrawTileWobble(SDL_Surface* source, SDL_Surface* target, float amplitude) {
    if (!source || !target) return;
    const double a = amplitude;
    const double t = double(FrameTime);

    SDL_Rect from, to;
    for (int r = 0; r < Rows; ++r) {
        const double rowBase = float(Pitch * r + a);
        const double rowPhase = float(RowStep * float(r));
        for (int c = 0; c < Columns; ++c) {
            const double columnPhase = ColumnStep * float(c);
            const int32_t sy = Truncate(a * std::sin((columnPhase + t) * ColumnWaveRate) + rowBase);
            const int32_t sx =
                Truncate(a * std::cos((rowPhase + t) * RowWaveRate) + (Pitch * c + a));
            from.x = Sint16(sx);
            from.y = Sint16(sy);
            const int32_t s =
                Truncate(21 - a * std::sin((from.x + from.y) * SwellPlaceRate + t * SwellTimeRate));
            from.w = from.h = Uint16(s);
            // 32-bit arithmetic as the machine does it: wrapping, never undefined.
            const int32_t d =
                int32_t((uint32_t(Pitch) - uint32_t(s)) * uint32_t(c - MiddleColumn)) / 6;
            // One displacement, from the column, moves the tile both ways.
            to.x = Sint16(Pitch * c + d);
            to.y = Sint16(Pitch * r + d);
            to.w = to.h = 0;
            SDL_UpperBlit(source, &from, target, &to);
        }
    }
}

bool MakeWobblePictures(SDL_Surface* picture, SDL_Surface*& source, SDL_Surface*& shadow) {
    constexpr int Mirror = 2 * 200; // rows of the doubled picture; those below mirror it
    source = MakeEffectFrame();
    shadow = source ? MakeEffectFrame() : nullptr;
    if (!shadow) {
        SDL_FreeSurface(source);
        source = nullptr;
        return false;
    }
    SDL_LockSurface(picture);
    SDL_LockSurface(source);
    SDL_LockSurface(shadow);
    for (int y = 0; y < EffectFrameHeight; ++y) {
        const int from = y < Mirror ? y / 2 : (2 * Mirror - 1 - y) / 2;
        const uint32_t* src = PixelRow(picture, from);
        uint32_t* dst = PixelRow(source, y);
        uint32_t* dim = PixelRow(shadow, y);
        const double shade = y < Mirror ? 1.0 : 0.75;
        for (int x = 0; x < EffectFrameWidth; ++x) {
            dst[x] = ScaleColour(src[x / 2], shade);
            dim[x] = ScaleColour(dst[x], 0.3);
        }
    }
    SDL_UnlockSurface(shadow);
    SDL_UnlockSurface(source);
    SDL_UnlockSurface(picture);
    return true;
}

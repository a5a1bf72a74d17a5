// The tile wobble: a 32x24 grid of 20-pixel tiles, each copied from a source
// position that waves with the clock, swelling and shrinking, and pushed
// sideways by its size and its distance from the middle column.
#include "effects/unscheduled/TileWobble.h"

#include "driver/Demo.h"

#include <cmath>

namespace {

// Phase factors: the single-precision neighbours of 1/260, 1/300, 0.01 and
// 1/510, widened; the phases are multiplied by them, not divided.
constexpr double K260 = double(1.0f / 260);
constexpr double K300 = double(1.0f / 300);
constexpr double K100 = double(0.01f);
constexpr double K510 = double(1.0f / 510);
constexpr float ColumnStep = 50.0f;
constexpr float RowStep = 55.0f;

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
    for (int r = 0; r < 24; ++r) {
        const double rowBase = float(20 * r + a);
        const double rowPhase = float(RowStep * r);
        for (int c = 0; c < 32; ++c) {
            const int32_t sy = Truncate(a * std::sin((ColumnStep * c + t) * K260) + rowBase);
            const int32_t sx = Truncate(a * std::cos((rowPhase + t) * K300) + (20 * c + a));
            from.x = Sint16(sx);
            from.y = Sint16(sy);
            const int32_t s = Truncate(21 - a * std::sin((from.x + from.y) * K100 + t * K510));
            from.w = from.h = Uint16(s);
            // 32-bit arithmetic as the machine does it: wrapping, never undefined.
            const int32_t d = int32_t((uint32_t(20) - uint32_t(s)) * uint32_t(c - 16)) / 6;
            // One displacement, from the column, moves the tile both ways.
            to.x = Sint16(20 * c + d);
            to.y = Sint16(20 * r + d);
            to.w = to.h = 0;
            SDL_UpperBlit(source, &from, target, &to);
        }
    }
}

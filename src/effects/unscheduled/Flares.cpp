#include "effects/unscheduled/Flares.h"

#include "common/Frame.h"
#include "image/Surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

std::array<FlarePoint, FlareCount> FlarePoints;
std::array<uint32_t, 256> GreyRamp;
uint8_t* GlowBuffer = nullptr;

namespace {

// The cloud as the last frame turned it.
std::array<FlarePoint, FlareCount> RotatedFlarePoints;

constexpr int GlowWidth = ScreenWidth;
constexpr int GlowHeight = ScreenHeight;
constexpr int GlowSize = GlowWidth * GlowHeight;
constexpr int SpriteSize = 64;

// How fast the three angles swing, per millisecond: single-precision
// constants (1/1200, 1/1700, 1/1500) widened to double.
constexpr double TiltRate = double(1.0f / 1200); // about the x axis
constexpr double TurnRate = double(1.0f / 1700); // about the y axis
constexpr double RollRate = double(1.0f / 1500); // about the z axis

// Adds one flare whose top-left corner is (column, row) to the glow buffer.
// The caller has checked that the whole 64x64 block lies inside it.
void StampFlare(const uint8_t* sprite, int spritePitch, int column, int row, int level) {
    for (int r = 0; r < SpriteSize; ++r) {
        const uint8_t* src = sprite + ptrdiff_t(r) * spritePitch;
        uint8_t* glow = GlowBuffer + ptrdiff_t(row + r) * GlowWidth + column;
        for (int c = 0; c < SpriteSize; ++c) {
            int v = src[c];
            if (v == 0) continue; // no light: the buffer is neither read nor written
            int t = std::max(v + level, 0);
            glow[c] = uint8_t(std::min(glow[c] + t, 255));
        }
    }
}

// The first `count` points turned by the three angles of FrameTime into
// RotatedFlarePoints.
void RotatePoints(int count) {
    const double t = double(FrameTime);
    const float ax = float(std::sin(t * TiltRate + 40));
    const float ay = float(std::cos(t * TurnRate) * 4);
    const double az = 2 * std::sin(t * RollRate);
    const double cosX = float(std::cos(double(ax))), sinX = float(std::sin(double(ax)));
    const double cosY = float(std::cos(double(ay))), sinY = float(std::sin(double(ay)));
    const double cosZ = float(std::cos(az)), sinZ = float(std::sin(az));

    for (int i = 0; i < count; ++i) {
        const double x = FlarePoints[i].x, y = FlarePoints[i].y, z = FlarePoints[i].z;
        const double y1 = float(y * cosX - z * sinX);
        const double z1 = float(z * cosX + y * sinX);
        const double x2 = float(x * cosY - z1 * sinY);
        const double z2 = float(z1 * cosY + x * sinY);
        const double x3 = float(x2 * cosZ - y1 * sinZ);
        const double y3 = float(y1 * cosZ + x2 * sinZ);
        RotatedFlarePoints[i] = {float(x3), float(y3), float(z2)};
    }
}

// The first `count` turned points stamped into the glow buffer, each whose
// block lies inside it.
void StampPoints(SDL_Surface* sprite, int count) {
    if (SDL_LockSurface(sprite) != 0) return;
    const uint8_t* spritePixels = static_cast<const uint8_t*>(sprite->pixels);
    for (int i = 0; spritePixels && i < count; ++i) {
        const FlarePoint& p = RotatedFlarePoints[i];
        // Truncation toward zero puts 1 <= column <= 255 exactly where
        // 1 <= x + 320 < 256; comparing in double also keeps huge or
        // non-finite values away from the integer conversion.
        const double columnAt = double(p.x) + 320, rowAt = double(p.y) + 240;
        if (!(columnAt >= 1 && columnAt < 256 && rowAt >= 1 && rowAt < 136)) continue;
        // Beyond +-1000 every level gives the same result (nothing or 255).
        double levelAt = double(p.z) * 0.5 - 65;
        if (!(levelAt > -1000)) levelAt = -1000;
        if (!(levelAt < 1000)) levelAt = 1000;
        StampFlare(spritePixels, sprite->pitch, int(columnAt), int(rowAt), int(levelAt));
    }
    SDL_UnlockSurface(sprite);
}

// The glow buffer shown as grey over the screen and cleared in the same
// pass; false, the buffer untouched, when the screen cannot be written.
bool ShowGlow(SDL_Surface* screen) {
    if (SDL_LockSurface(screen) != 0) return false;
    const bool shown = screen->pixels != nullptr;
    for (int r = 0; shown && r < GlowHeight; ++r) {
        uint32_t* dst = PixelRow(screen, r);
        uint8_t* glow = GlowBuffer + ptrdiff_t(r) * GlowWidth;
        for (int c = 0; c < GlowWidth; ++c) {
            dst[c] = GreyRamp[glow[c]];
            glow[c] = 0; // shown and cleared in the same pass
        }
    }
    SDL_UnlockSurface(screen);
    return shown;
}

} // namespace

void PrepareGlow() {
    FreeGlow();
    GlowBuffer = static_cast<uint8_t*>(std::calloc(GlowSize, 1));
    for (uint32_t i = 0; i < GreyRamp.size(); ++i)
        GreyRamp[i] = i * 0x010101u;
}

void FillFlarePoints() {
    for (FlarePoint& p : FlarePoints) {
        // Three separate statements keep the x, y, z order of the rand() calls.
        p.x = float((std::rand() % 500) - 250);
        p.y = float((std::rand() % 500) - 250);
        p.z = float((std::rand() % 500) - 250);
    }
}

void FreeGlow() {
    std::free(GlowBuffer);
    GlowBuffer = nullptr;
}

void DrawFlares(SDL_Surface* sprite, SDL_Surface* screen, int32_t pointCount) {
    if (!GlowBuffer || !SurfaceHolds(sprite, SpriteSize, SpriteSize, 8) ||
        !SurfaceHolds(screen, GlowWidth, GlowHeight, 32))
        return;
    // More points than the cloud holds would run off the arrays.
    const int count = std::clamp(pointCount, 0, FlareCount);
    RotatePoints(count);
    StampPoints(sprite, count);
    // The buffer is zero between frames, shown or not.
    if (!ShowGlow(screen)) std::fill_n(GlowBuffer, GlowSize, uint8_t(0));
}

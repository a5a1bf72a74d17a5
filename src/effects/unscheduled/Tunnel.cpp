#include "effects/unscheduled/Tunnel.h"

#include "effects/unscheduled/EffectFrame.h"
#include "image/Surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

uint8_t* TunnelDepth = nullptr;
uint8_t* TunnelAngle = nullptr;

namespace {

constexpr int FrameWidth = EffectFrameWidth;
constexpr int FrameHeight = EffectFrameHeight;
constexpr int TableSize = FrameWidth * FrameHeight;
constexpr int TextureSize = 256;

} // namespace

void BuildTunnelTables() {
    // A second build replaces the first tables rather than leaking them.
    FreeTunnelTables();
    TunnelDepth = static_cast<uint8_t*>(std::malloc(TableSize));
    TunnelAngle = static_cast<uint8_t*>(std::malloc(TableSize));
    if (!TunnelDepth || !TunnelAngle) {
        FreeTunnelTables();
        return;
    }

    // i is the distance from the line between the two middle columns, so the
    // left half mirrors the right one and i is never zero.
    for (int i = 1; i <= 320; ++i) {
        for (int j = -240; j <= 239; ++j) {
            const int y = j + 240;
            const int right = y * FrameWidth + 319 + i;
            const int left = y * FrameWidth + 320 - i;
            const double theta = std::atan2(double(j) / double(i), 1.0);
            // 13*pi, not 128/pi: the angle bytes run from -63 to 63.
            const int b = int(theta * 13 * std::numbers::pi);
            TunnelAngle[right] = uint8_t(b);
            TunnelAngle[left] = uint8_t(128 - b);
            const int q = int(std::cos(theta) * 4000 / i);
            TunnelDepth[right] = TunnelDepth[left] = uint8_t(q); // near the centre it wraps
        }
    }
}

void FreeTunnelTables() {
    std::free(TunnelDepth);
    std::free(TunnelAngle);
    TunnelDepth = TunnelAngle = nullptr;
}

namespace {

// One frame's pixel pass: the texture and the two shifts.
struct TunnelPass {
    const uint8_t* texels;
    int texturePitch;
    uint8_t depthAdd, angleAdd;

    // Frame pixel c of a row, from the row's depth and angle bytes.
    void Draw(uint32_t* dst, const uint8_t* depth, const uint8_t* angle, int c) const {
        const uint8_t v = uint8_t(angle[c] + angleAdd), u = uint8_t(depth[c] + depthAdd);
        dst[c] = reinterpret_cast<const uint32_t*>(texels + ptrdiff_t(v) * texturePitch)[u];
    }
};

// Frame row r. Columns firstOn to endOn - 1 lie on the overlay row `over`
// (null when the row lies off the overlay): there the tunnel shows only where
// the overlay's pixel is zero, elsewhere everywhere.
void DrawTunnelRow(const TunnelPass& pass, uint32_t* dst, int r, const uint32_t* over, int firstOn,
                   int endOn, int32_t overlayX) {
    const uint8_t* depth = TunnelDepth + ptrdiff_t(r) * FrameWidth;
    const uint8_t* angle = TunnelAngle + ptrdiff_t(r) * FrameWidth;
    if (!over || firstOn >= endOn) {
        for (int c = 0; c < FrameWidth; ++c)
            pass.Draw(dst, depth, angle, c);
        return;
    }
    for (int c = 0; c < firstOn; ++c)
        pass.Draw(dst, depth, angle, c);
    // The whole word decides: a pixel with only its fourth byte set hides the tunnel.
    for (int c = firstOn; c < endOn; ++c)
        if (over[c + overlayX] == 0) pass.Draw(dst, depth, angle, c);
    for (int c = endOn; c < FrameWidth; ++c)
        pass.Draw(dst, depth, angle, c);
}

} // namespace

void DrawTunnel(SDL_Surface* texture, uint32_t depthShift, uint32_t angleShift, int32_t overlayX,
                int32_t overlayY, SDL_Surface* target, SDL_Surface* overlay) {
    if (!TunnelDepth || !TunnelAngle || !SurfaceHolds(texture, TextureSize, TextureSize, 32) ||
        !SurfaceHolds(target, FrameWidth, FrameHeight, 32) ||
        !SurfaceHolds(overlay, FrameWidth, FrameHeight, 32))
        return;

    // The blit rectangle's position fields hold the low 16 bits.
    SDL_Rect window;
    window.x = Sint16(overlayX);
    window.y = Sint16(overlayY);
    window.w = FrameWidth;
    window.h = FrameHeight;
    SDL_UpperBlit(overlay, &window, target, nullptr);

    const bool lockedTexture = SDL_LockSurface(texture) == 0;
    const bool lockedTarget = SDL_LockSurface(target) == 0;
    const bool lockedOverlay = SDL_LockSurface(overlay) == 0;
    if (lockedTexture && lockedTarget && lockedOverlay && texture->pixels && target->pixels &&
        overlay->pixels) {
        const TunnelPass pass{static_cast<const uint8_t*>(texture->pixels), texture->pitch,
                              uint8_t(depthShift), uint8_t(angleShift)};
        // The columns whose overlay pixel lies on the overlay; 64-bit so that
        // no offset can overflow.
        const int64_t firstOn = std::clamp<int64_t>(-int64_t(overlayX), 0, FrameWidth);
        const int64_t endOn = std::clamp<int64_t>(FrameWidth - int64_t(overlayX), 0, FrameWidth);
        for (int r = 0; r < FrameHeight; ++r) {
            const int64_t oy = int64_t(overlayY) + r;
            const uint32_t* over =
                oy >= 0 && oy < FrameHeight ? PixelRow(overlay, int(oy)) : nullptr;
            DrawTunnelRow(pass, PixelRow(target, r), r, over, int(firstOn), int(endOn), overlayX);
        }
    }
    if (lockedOverlay) SDL_UnlockSurface(overlay);
    if (lockedTexture) SDL_UnlockSurface(texture);
    if (lockedTarget) SDL_UnlockSurface(target);
}

SDL_Surface* MakeTunnelOverlay(SDL_Surface* picture) {
    constexpr double RadiusX = 118, RadiusY = 84, Rim = 0.16;
    constexpr double CentreX = (FrameWidth - 1) / 2.0, CentreY = (FrameHeight - 1) / 2.0;
    SDL_Surface* overlay = MakeEffectFrame();
    if (!overlay) return nullptr;
    SDL_LockSurface(picture);
    SDL_LockSurface(overlay);
    for (int y = 0; y < FrameHeight; ++y) {
        const uint32_t* src = PixelRow(picture, y * picture->h / FrameHeight);
        uint32_t* dst = PixelRow(overlay, y);
        for (int x = 0; x < FrameWidth; ++x) {
            const double dx = (x - CentreX) / RadiusX, dy = (y - CentreY) / RadiusY;
            const double d = std::sqrt(dx * dx + dy * dy);
            uint32_t pixel;
            if (d < 1) {
                pixel = 0; // the porthole
            } else if (d < 1 + Rim) {
                // Light from the upper left: bright there, dark at the lower right.
                const double light = 0.5 - 0.5 * (dx + dy) / (d * std::numbers::sqrt2);
                const double across = std::sin((d - 1) / Rim * std::numbers::pi);
                pixel = ScaleColour(0xB8C0D0, 0.35 + 0.65 * light * (0.6 + 0.4 * across));
                if (pixel == 0) pixel = 0x010101;
            } else {
                // A shadow falls from the rim onto the picture.
                pixel = ScaleColour(src[x / 2], std::min(1.0, 0.45 + (d - 1 - Rim) * 1.5));
                if (pixel == 0) pixel = 0x010101;
            }
            dst[x] = pixel;
        }
    }
    SDL_UnlockSurface(overlay);
    SDL_UnlockSurface(picture);
    return overlay;
}

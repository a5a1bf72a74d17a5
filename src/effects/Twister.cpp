#include "effects/Twister.h"

#include "common/Frame.h"
#include "image/Surface.h"

#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr int MaskWidth = 320;
constexpr int MaskHeight = 200;
constexpr int TextureSize = 256;
constexpr int32_t NotFound = 1000;    // outside 0..319: a run end not met yet
constexpr int32_t DepthFloor = -5159; // below any depth a row can reach
// The axis is kept this far inside the 32-bit range so that axis plus corner
// offset cannot overflow; a row that far out is off screen either way.
constexpr double AxisLimit = 1 << 30;

// One face of a row's square: the texture row stretched over [xa, xb) or
// [xb, xa), cut at the screen edges. The step comes from the uncut width.
void DrawFace(uint32_t* screenRow, const uint32_t* textureRow, int32_t xa, int32_t xb) {
    int32_t x0 = xa < xb ? xa : xb;
    int32_t x1 = xa < xb ? xb : xa;
    if (x1 == x0 || x1 < 0) return;
    const int32_t step = (65535 / (x1 - x0)) / 4;
    uint32_t u = 0;
    if (x0 < 0) {
        u = uint32_t(-x0) * uint32_t(step);
        x0 = 0;
    }
    if (x1 > MaskWidth) x1 = MaskWidth;
    for (int32_t x = x0; x < x1; ++x) {
        screenRow[x] = textureRow[(u >> 8) & 0xFF];
        u += uint32_t(step);
    }
}

// The row's first run of set pixels: its start s and the first unset pixel
// e after it. False when the row has no run that ends inside it.
bool FindRun(const uint32_t* maskRow, int32_t& s, int32_t& e) {
    s = e = NotFound;
    for (int32_t x = 0; x < MaskWidth; ++x) {
        if (s == NotFound) {
            if (maskRow[x] != 0) s = x;
        } else if (maskRow[x] == 0) {
            e = x;
            break; // later runs are ignored
        }
    }
    return s != NotFound && e != NotFound;
}

// The sines and cosines of the four corners' angles, the same for every row.
struct Turn {
    double sinA;
    std::array<double, 4> sinT, cosT;
};

// One row's slice of the pillar for the run [s, e): a square of side e - s
// about an axis that sways with the angle; its two faces that meet at the
// front corner (the deepest) are drawn.
void DrawSlice(uint32_t* screenRow, const uint32_t* textureRow, int32_t s, int32_t e,
               const Turn& turn, int32_t xShift) {
    const int32_t w = e - s;
    double axis = double(e) * turn.sinA + double(s) + double(xShift);
    if (axis > AxisLimit) axis = AxisLimit;
    if (axis < -AxisLimit) axis = -AxisLimit;
    const int32_t A = int32_t(axis);

    std::array<int32_t, 4> O{}, D{};
    int c = 0;
    int32_t best = DepthFloor;
    for (int k = 0; k < 4; ++k) {
        O[k] = int32_t(double(w) * turn.sinT[k]);
        D[k] = int32_t(double(w) * turn.cosT[k]);
        if (D[k] >= best) { // a tie goes to the higher corner
            best = D[k];
            c = k;
        }
    }
    const int before = (c + 3) % 4, after = (c + 1) % 4;
    DrawFace(screenRow, textureRow, A + O[before], A + O[c]);
    DrawFace(screenRow, textureRow, A + O[c], A + O[after]);
}

} // namespace

void DrawTwister(SDL_Surface* mask, SDL_Surface* texture, SDL_Surface* screen, int32_t xShift) {
    // Wrong-sized surfaces would be read or written out of bounds: no frame.
    if (!SurfaceHolds(mask, MaskWidth, MaskHeight, 32) ||
        !SurfaceHolds(texture, TextureSize, TextureSize, 32) ||
        !SurfaceHolds(screen, MaskWidth, MaskHeight, 32))
        return;

    // Same angle for every row; the single-precision constant keeps its value.
    const double a = double(FrameTime) * double(0.0025f);
    constexpr double Pi = std::numbers::pi;
    const std::array<double, 4> theta = {a, a + Pi * 0.5, a + Pi, a + Pi * 1.5};
    Turn turn{std::sin(a), {}, {}};
    for (int k = 0; k < 4; ++k) {
        turn.sinT[k] = std::sin(theta[k]);
        turn.cosT[k] = std::cos(theta[k]);
    }

    const bool screenLocked = SDL_LockSurface(screen) == 0;
    const bool textureLocked = SDL_LockSurface(texture) == 0;
    const bool maskLocked = SDL_LockSurface(mask) == 0;
    if (screenLocked && textureLocked && maskLocked && screen->pixels && texture->pixels &&
        mask->pixels) {
        for (int r = 0; r < MaskHeight; ++r) {
            int32_t s = 0, e = 0;
            if (!FindRun(PixelRow(mask, r), s, e)) continue;
            DrawSlice(PixelRow(screen, r), PixelRow(texture, r % TextureSize), s, e, turn, xShift);
        }
    }
    if (screenLocked) SDL_UnlockSurface(screen);
    if (textureLocked) SDL_UnlockSurface(texture);
    if (maskLocked) SDL_UnlockSurface(mask);
}

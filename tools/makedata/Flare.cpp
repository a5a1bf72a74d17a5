// The flare sprite (flare): a 64x64 round glow whose palette indices are
// intensities, 255 at the centre fading to 0.
#include "Pictures.h"

Canvas DrawFlare() {
    Canvas c = MakeCanvas(64, 64);
    c.palette.clear();
    for (int i = 0; i < 256; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        c.palette.push_back(Rgb{v, v, v});
    }
    // Intensity 255 * (1 - d^2 / R^2)^2 inside radius 30 of the centre (31.5, 31.5).
    constexpr int64_t R2 = 60 * 60; // in quarter pixels
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int64_t dx = 2 * x - 63, dy = 2 * y - 63;
            const int64_t t = R2 - (dx * dx + dy * dy);
            if (t <= 0) continue;
            Plot(c, x, y, static_cast<uint8_t>(255 * t * t / (R2 * R2)));
        }
    return c;
}

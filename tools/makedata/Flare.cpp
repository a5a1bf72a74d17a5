// The flare sprite (flare): a 64x64 glow whose palette indices are
// intensities. A small core of at most 202, dimmer than white, so that
// flares piling up still read as separate points, in a soft halo of radius
// 20 whose faint outer part is dithered: where the effect lifts a near
// flare's every lit byte, its edge then thins out instead of ending in a
// hard circle.
#include "Pictures.h"

#include <algorithm>
#include <cstdint>

namespace {

// (1 - d2 / r2)^power in 16.16 fixed point; 0 from r2 on. Whole numbers
// only, so the picture is the same everywhere.
int64_t Falloff(int64_t d2, int64_t r2, int power) {
    if (d2 >= r2) return 0;
    const int64_t f = (r2 - d2) * 65536 / r2;
    int64_t p = 65536;
    for (int i = 0; i < power; ++i)
        p = p * f >> 16;
    return p;
}

} // namespace

Canvas DrawFlare() {
    Canvas c = MakeCanvas(64, 64);
    c.palette.clear();
    for (int i = 0; i < 256; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        c.palette.push_back(Rgb{v, v, v});
    }
    // Distances in half pixels from the centre (31.5, 31.5).
    constexpr int64_t Core = 22 * 22, Halo = 40 * 40;
    // The outer 40% of the halo's (1 - d^2 / r^2) is dithered, thinner outwards.
    constexpr int64_t Dithered = 40 * 65536 / 100;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int64_t dx = 2 * x - 63, dy = 2 * y - 63, d2 = dx * dx + dy * dy;
            const int64_t reach = Falloff(d2, Halo, 1);
            if (reach <= Dithered * (2 * Bayer(x, y) + 1) / 32) continue;
            const int64_t v = (160 * Falloff(d2, Core, 4) + 45 * Falloff(d2, Halo, 3)) >> 16;
            Plot(c, x, y, static_cast<uint8_t>(std::max<int64_t>(v, 1)));
        }
    return c;
}

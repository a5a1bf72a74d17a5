// The twister's texture (bit7): 256x256, of which columns 0-63 and rows
// 0-199 are seen. Each 64-column face is a rainbow of bands waving through a
// checkerboard, with dark edges so each face of the pillar reads apart.
#include "Pictures.h"

#include <array>

namespace {

// Twelve hues; the checkerboard's dark squares shade them.
constexpr std::array<Rgb, 12> Hues = {{{255, 60, 60},
                                       {255, 140, 40},
                                       {255, 220, 40},
                                       {170, 230, 40},
                                       {60, 210, 90},
                                       {40, 220, 190},
                                       {40, 170, 255},
                                       {70, 100, 255},
                                       {140, 70, 255},
                                       {210, 60, 230},
                                       {255, 60, 180},
                                       {255, 80, 120}}};

// The colour at column u (2..61) of a face, row y: a light line where one
// band meets the next.
Rgb FaceColour(int u, int y) {
    const int wave =
        static_cast<int>(10 * Sine(u * 0.1 + y * 0.05) + 8 * Sine(y * 0.13 - u * 0.07));
    const int band = ((y + wave + 240) / 10) % 12;
    const bool check = ((u / 8) + (y / 8)) % 2 == 0;
    Rgb colour = Hues[static_cast<size_t>(band)];
    if (!check) colour = Mix(colour, Rgb{20, 10, 40}, 80);
    if ((y + wave + 240) % 10 == 0) colour = Mix(colour, Rgb{255, 255, 255}, 110);
    return colour;
}

} // namespace

Canvas DrawTwisterTexture() {
    Canvas c = MakeCanvas(256, 256);
    const uint8_t edge = Ink(c, Rgb{30, 16, 50});
    const uint8_t shine = Ink(c, Rgb{255, 255, 240});
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int u = x % 64;
            if (u < 2 || u > 61) {
                Plot(c, x, y, edge);
                continue;
            }
            Plot(c, x, y, Ink(c, FaceColour(u, y)));
            if (u > 4 && u < 8 && y % 25 < 3) Plot(c, x, y, shine);
        }
    return c;
}

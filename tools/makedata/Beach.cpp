// The sunset beach behind everything (ek_taus): sky and first stars, the
// sun sinking into the sea, sand with a starfish and shells, a palm, bunting,
// and balloons tied to a present.
#include "Paint.h"
#include "Pictures.h"

#include <numbers>

namespace {

constexpr int Horizon = 100, Shore = 130;       // where the sea and the sand begin
constexpr int SunX = 112, SunY = 96, SunR = 34; // the sun's centre and radius

// A party balloon with a highlight and a knot; the string hangs to (sx, sy).
void Balloon(Canvas& c, int cx, int cy, Rgb colour, int sx, int sy) {
    const uint8_t string = Ink(c, Rgb{250, 240, 230});
    for (int i = 0; i < 40; ++i) {
        const double t = i / 40.0;
        const double x = cx + (sx - cx) * t + 3 * Sine(t * 9);
        const double y = cy + 14 + (sy - cy - 14) * t;
        Plot(c, static_cast<int>(x), static_cast<int>(y), string);
        Plot(c, static_cast<int>(x), static_cast<int>(y) + 1, string);
    }
    FillEllipse(c, cx, cy, 11, 14, Ink(c, Mix(colour, Rgb{40, 0, 40}, 90)));
    FillEllipse(c, cx - 1, cy - 1, 10, 13, Ink(c, colour));
    FillEllipse(c, cx - 4, cy - 6, 3, 4, Ink(c, Mix(colour, Rgb{255, 255, 255}, 150)));
    Plot(c, cx - 5, cy - 7, Ink(c, Rgb{255, 255, 255}));
    FillPolygon(c, Points{{cx - 3.0, cy + 16.0}, {cx + 3.0, cy + 16.0}, {cx + 0.0, cy + 12.0}},
                Ink(c, Mix(colour, Rgb{40, 0, 40}, 90)));
}

// A five-pointed star: the starfish.
void Star(Canvas& c, double cx, double cy, double outer, double inner, double turn, uint8_t index) {
    Points p;
    for (int i = 0; i < 10; ++i) {
        const double a = turn + i * std::numbers::pi / 5;
        const double r = i % 2 ? inner : outer;
        p.push_back({cx + r * Sine(a), cy - r * Cosine(a)});
    }
    FillPolygon(c, p, index);
}

// Sunset sky with the first stars.
void PaintSky(Canvas& c, Lcg& rng) {
    Gradient(c, 0, 0, 319, Horizon - 1,
             {{0, {34, 18, 84}},
              {90, {110, 40, 130}},
              {170, {230, 90, 110}},
              {220, {255, 150, 90}},
              {256, {255, 210, 120}}},
             18);
    const uint8_t starInk = Ink(c, Rgb{255, 240, 200});
    for (int i = 0; i < 40; ++i) {
        const int x = rng.Next(320), y = rng.Next(40);
        Plot(c, x, y, starInk);
    }
}

// The sun sinking into the sea, striped in its lower half.
void PaintSun(Canvas& c) {
    const Canvas before = c;
    Gradient(c, SunX - SunR, SunY - SunR, SunX + SunR, SunY,
             {{0, {255, 246, 150}}, {140, {255, 200, 80}}, {256, {255, 100, 90}}}, 8,
             [](int x, int y) {
                 const int dx = x - SunX, dy = y - SunY;
                 return dx * dx + dy * dy <= SunR * SunR + SunR && y < Horizon;
             });
    for (int y = SunY - 12; y < Horizon; ++y) {
        const int gap = (y - (SunY - 12)) / 5 + 1;
        if ((y - (SunY - 12)) % 7 >= gap - 1 && (y - (SunY - 12)) % 7 != 0) continue;
        for (int x = SunX - SunR; x <= SunX + SunR; ++x)
            Plot(c, x, y, Peek(before, x, y));
    }
}

// Sea, lighter at the horizon, with glints and the sun's reflection.
void PaintSea(Canvas& c, Lcg& rng) {
    Gradient(c, 0, Horizon, 319, Shore - 1,
             {{0, {90, 80, 170}}, {90, {40, 70, 150}}, {256, {20, 50, 110}}}, 8);
    const uint8_t glint = Ink(c, Rgb{150, 170, 230});
    const uint8_t sunGlint = Ink(c, Rgb{255, 170, 110});
    const uint8_t sunGlint2 = Ink(c, Rgb{230, 110, 120});
    for (int y = Horizon + 1; y < Horizon + 12; y += 2) {
        const int half = 30 - (y - Horizon) * 2;
        for (int x = SunX - half; x <= SunX + half; ++x)
            if (((x + y * 3) / 5) % 3 != 0) Plot(c, x, y, y < Horizon + 6 ? sunGlint : sunGlint2);
    }
    for (int i = 0; i < 60; ++i) {
        const int x = rng.Next(316), y = Horizon + 3 + rng.Next(Shore - Horizon - 6);
        if (x > SunX - 36 && x < SunX + 36 && y < Horizon + 14) continue;
        const int len = 2 + rng.Next(4);
        for (int k = 0; k < len; ++k)
            Plot(c, x + k, y, glint);
    }
}

// Sand, a foamy shoreline, speckles, a starfish and two shells.
void PaintSand(Canvas& c, Lcg& rng) {
    Gradient(c, 0, Shore, 319, 199, {{0, {250, 214, 140}}, {256, {226, 160, 92}}}, 6);
    const uint8_t foam = Ink(c, Rgb{240, 250, 255});
    const uint8_t wet = Ink(c, Rgb{200, 170, 130});
    for (int x = 0; x < 320; ++x) {
        const int w = static_cast<int>(2.5 * Sine(x * 0.09) + 1.5 * Sine(x * 0.23 + 1));
        for (int y = Shore - 2 + w; y <= Shore + 1 + w; ++y)
            Plot(c, x, y, foam);
        Plot(c, x, Shore + 2 + w, wet);
        Plot(c, x, Shore + 3 + w, wet);
    }
    const uint8_t speck1 = Ink(c, Rgb{190, 130, 80});
    const uint8_t speck2 = Ink(c, Rgb{255, 236, 190});
    for (int i = 0; i < 260; ++i) {
        const int x = rng.Next(320), y = Shore + 6 + rng.Next(200 - Shore - 6);
        Plot(c, x, y, i % 3 ? speck1 : speck2);
    }
    Star(c, 32, 182, 11, 5, 0.3, Ink(c, Rgb{240, 110, 70}));
    Star(c, 32, 182, 6, 3, 0.3, Ink(c, Rgb{255, 170, 110}));
    FillEllipse(c, 250, 186, 6, 4, Ink(c, Rgb{255, 200, 210}));
    FillEllipse(c, 250, 187, 3, 2, Ink(c, Rgb{220, 140, 160}));
    FillEllipse(c, 298, 160, 4, 3, Ink(c, Rgb{255, 240, 220}));
}

// A palm on the right.
void PaintPalm(Canvas& c) {
    const uint8_t trunk = Ink(c, Rgb{120, 70, 40});
    const uint8_t trunkDark = Ink(c, Rgb{80, 44, 30});
    for (int y = 40; y < 170; ++y) {
        const double t = (170 - y) / 130.0;
        const int x = static_cast<int>(296 - 22 * t * t);
        const int half = 5 - static_cast<int>(2 * t);
        FillRect(c, x - half, y, x + half, y, y % 8 < 2 ? trunkDark : trunk);
    }
    const uint8_t leaf = Ink(c, Rgb{40, 140, 70});
    const uint8_t leafDark = Ink(c, Rgb{20, 90, 50});
    const std::array<std::array<double, 2>, 6> fronds = {
        {{230, 58}, {246, 30}, {280, 20}, {318, 36}, {330, 70}, {258, 78}}};
    for (const auto& tip : fronds) {
        const double mx = (274 + tip[0]) / 2, my = (40 + tip[1]) / 2 - 10;
        for (int i = 0; i <= 20; ++i) {
            const double t = i / 20.0;
            const double x = (1 - t) * (1 - t) * 274 + 2 * (1 - t) * t * mx + t * t * tip[0];
            const double y = (1 - t) * (1 - t) * 40 + 2 * (1 - t) * t * my + t * t * tip[1];
            ThickLine(c, x, y, x, y + 6 * (1 - t) + 1, 4 - 2 * t, i % 4 == 0 ? leafDark : leaf);
        }
    }
    FillCircle(c, 272, 44, 4, Ink(c, Rgb{100, 60, 30}));
    FillCircle(c, 280, 46, 4, Ink(c, Rgb{90, 54, 28}));
}

// Bunting across the top.
void PaintBunting(Canvas& c) {
    const uint8_t rope = Ink(c, Rgb{255, 240, 210});
    const std::array<Rgb, 5> flagColours = {
        {{235, 50, 60}, {255, 210, 40}, {60, 200, 110}, {60, 190, 240}, {255, 120, 200}}};
    auto ropeY = [](double x) { return 4 + 18 * (1 - ((x - 160) / 160) * ((x - 160) / 160)); };
    for (int x = 0; x < 320; ++x)
        Plot(c, x, static_cast<int>(ropeY(x)), rope);
    for (int i = 0; i < 14; ++i) {
        const double x = 8 + i * 23.5;
        const double y = ropeY(x);
        FillPolygon(c, Points{{x - 7, y}, {x + 7, ropeY(x + 14) + 0.5}, {x + 1, y + 14}},
                    Ink(c, flagColours[static_cast<size_t>(i) % flagColours.size()]));
    }
}

} // namespace

Canvas DrawBeach() {
    Canvas c = MakeCanvas(320, 200);
    Lcg rng{7};
    PaintSky(c, rng);
    PaintSun(c);
    PaintSea(c, rng);
    PaintSand(c, rng);
    PaintPalm(c);
    PaintBunting(c);
    // Balloons tied to a present on the sand.
    Present(c, 44, 150, 20, 16, Rgb{90, 120, 230}, Rgb{255, 220, 60});
    Balloon(c, 30, 62, Rgb{235, 50, 70}, 52, 145);
    Balloon(c, 56, 48, Rgb{255, 205, 50}, 54, 145);
    Balloon(c, 80, 66, Rgb{70, 200, 230}, 56, 145);
    return c;
}

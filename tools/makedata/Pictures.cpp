#include "Pictures.h"

#include <array>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Points = std::vector<std::array<double, 2>>;

// A small deterministic random sequence for speckles and confetti.
struct Lcg {
    uint32_t state;
    int Next(int range) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 8) % static_cast<uint32_t>(range));
    }
};

struct Stop {
    int at; // 0..256 along the gradient
    Rgb colour;
};

Rgb Along(const std::vector<Stop>& stops, int t) {
    if (t <= stops.front().at) return stops.front().colour;
    for (size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].at) {
            const int span = stops[i].at - stops[i - 1].at;
            return Mix(stops[i - 1].colour, stops[i].colour, (t - stops[i - 1].at) * 256 / span);
        }
    return stops.back().colour;
}

// Vertical gradient over rows y0..y1 in `levels` flat bands, ordered-dithered
// where two bands meet. Only pixels for which inside(x, y) holds are painted.
template <typename Inside>
void Gradient(Canvas& c, int x0, int y0, int x1, int y1, const std::vector<Stop>& stops, int levels,
              Inside inside) {
    std::vector<uint8_t> band(static_cast<size_t>(levels));
    for (int i = 0; i < levels; ++i)
        band[static_cast<size_t>(i)] = Ink(c, Along(stops, i * 256 / (levels - 1)));
    const int span = y1 > y0 ? y1 - y0 : 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (!inside(x, y)) continue;
            const int v = (y - y0) * (levels - 1) * 16 / span;
            int level = v / 16 + (v % 16 > Bayer(x, y) ? 1 : 0);
            if (level > levels - 1) level = levels - 1;
            Plot(c, x, y, band[static_cast<size_t>(level)]);
        }
}

void Gradient(Canvas& c, int x0, int y0, int x1, int y1, const std::vector<Stop>& stops,
              int levels) {
    Gradient(c, x0, y0, x1, y1, stops, levels, [](int, int) { return true; });
}

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

// A five-pointed star (starfish, sparkles).
void Star(Canvas& c, double cx, double cy, double outer, double inner, double turn, uint8_t index) {
    Points p;
    for (int i = 0; i < 10; ++i) {
        const double a = turn + i * std::numbers::pi / 5;
        const double r = i % 2 ? inner : outer;
        p.push_back({cx + r * Sine(a), cy - r * Cosine(a)});
    }
    FillPolygon(c, p, index);
}

// A wrapped present with a ribbon and a bow.
void Present(Canvas& c, int x0, int y0, int w, int h, Rgb box, Rgb ribbon) {
    const uint8_t dark = Ink(c, Mix(box, Rgb{30, 0, 30}, 100));
    FillRect(c, x0, y0, x0 + w - 1, y0 + h - 1, Ink(c, box));
    FillRect(c, x0 + w - 4, y0, x0 + w - 1, y0 + h - 1, dark);
    FillRect(c, x0 - 1, y0 - 3, x0 + w, y0 + 1, Ink(c, Mix(box, Rgb{255, 255, 255}, 60)));
    const uint8_t rib = Ink(c, ribbon);
    FillRect(c, x0 + w / 2 - 2, y0 - 3, x0 + w / 2 + 1, y0 + h - 1, rib);
    FillRect(c, x0, y0 + h / 2 - 1, x0 + w - 1, y0 + h / 2 + 1, rib);
    FillEllipse(c, x0 + w / 2 - 5, y0 - 6, 4, 3, rib);
    FillEllipse(c, x0 + w / 2 + 4, y0 - 6, 4, 3, rib);
    FillRect(c, x0 + w / 2 - 1, y0 - 7, x0 + w / 2, y0 - 4, Ink(c, Mix(ribbon, Rgb{}, 60)));
}

// 5x7 capitals for the few words the pictures spell.
struct Glyph {
    char letter;
    std::array<const char*, 7> rows;
};
constexpr std::array<Glyph, 9> Glyphs = {{
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'N', {"#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
}};

const Glyph* FindGlyph(char letter) {
    for (const Glyph& g : Glyphs)
        if (g.letter == letter) return &g;
    return nullptr;
}

} // namespace

namespace {

constexpr int Horizon = 100, Shore = 130;       // where the sea and the sand begin
constexpr int SunX = 112, SunY = 96, SunR = 34; // the sun's centre and radius

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
             [&](int x, int y) {
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

namespace {

constexpr Rgb Ink0{24, 10, 18}; // the near-black of outlines: pure black is the colour key

// Everything inside `mask` (index 1) painted by `paint(x, y)`.
template <typename Paint> void PaintMask(Canvas& c, const Canvas& mask, Paint paint) {
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (Peek(mask, x, y) == 1) Plot(c, x, y, paint(x, y));
}

} // namespace

Canvas DrawCrab() {
    Canvas c = MakeCanvas(320, 200);
    const uint8_t red = Ink(c, Rgb{226, 52, 40});
    const uint8_t dark = Ink(c, Rgb{160, 26, 34});
    const uint8_t light = Ink(c, Rgb{255, 128, 96});
    const uint8_t white = Ink(c, Rgb{255, 250, 240});
    const uint8_t pupil = Ink(c, Ink0);
    constexpr int Cx = 170, Cy = 176;
    // Three legs a side, bent at the knee, feet on the bottom rows.
    for (int side = -1; side <= 1; side += 2)
        for (int k = 0; k < 3; ++k) {
            const double hipX = Cx + side * 24.0, hipY = Cy + 2.0 + 5 * k;
            const double kneeX = Cx + side * (44.0 + 4 * k), kneeY = Cy - 6.0 + 7 * k;
            const double footX = Cx + side * (40.0 + 9 * k), footY = 198.0;
            ThickLine(c, hipX, hipY, kneeX, kneeY, 6, dark);
            ThickLine(c, kneeX, kneeY, footX, footY, 5, dark);
        }
    // The present it carries for Eku, held up in both claws.
    Present(c, 150, 124, 40, 20, Rgb{70, 170, 90}, Rgb{255, 220, 80});
    // Arms up to the claws.
    for (int side = -1; side <= 1; side += 2) {
        ThickLine(c, Cx + side * 26.0, Cy - 6.0, Cx + side * 38.0, Cy - 22.0, 7, red);
        ThickLine(c, Cx + side * 38.0, Cy - 22.0, Cx + side * 26.0, Cy - 34.0, 7, red);
        const int clawX = Cx + side * 24, clawY = Cy - 38;
        FillEllipse(c, clawX, clawY, 9, 8, red);
        FillEllipse(c, clawX - side * 2, clawY - 3, 4, 3, light);
        // The pincer's gap, pointing at the present.
        FillPolygon(c,
                    Points{{clawX - side * 1.0, clawY + 1.0},
                           {clawX - side * 10.0, clawY - 3.0},
                           {clawX - side * 10.0, clawY + 5.0}},
                    0);
    }
    // Eyes on stalks.
    for (int side = -1; side <= 1; side += 2) {
        ThickLine(c, Cx + side * 8.0, Cy - 14.0, Cx + side * 10.0, Cy - 22.0, 4, red);
        FillCircle(c, Cx + side * 10, Cy - 26, 6, white);
        FillCircle(c, Cx + side * 10 + 2, Cy - 26, 3, pupil);
        Plot(c, Cx + side * 10 + 1, Cy - 27, white);
    }
    // Body: shaded shell, highlights and a grin.
    FillEllipse(c, Cx, Cy, 32, 17, dark);
    FillEllipse(c, Cx, Cy - 2, 31, 15, red);
    FillEllipse(c, Cx - 12, Cy - 8, 8, 4, light);
    FillEllipse(c, Cx + 14, Cy - 9, 4, 2, light);
    for (int x = -9; x <= 9; ++x) {
        const int y = Cy + 3 + (81 - x * x) / 18;
        Plot(c, Cx + x, y, pupil);
        if (x > -8 && x < 8) Plot(c, Cx + x, y + 1, pupil);
    }
    FillEllipse(c, Cx - 20, Cy + 2, 4, 3, Ink(c, Rgb{255, 110, 130}));
    FillEllipse(c, Cx + 20, Cy + 2, 4, 3, Ink(c, Rgb{255, 110, 130}));
    Outline(c, 0, pupil);
    return c;
}

namespace {

// The inks every part of the head shares, in the order they join the palette.
struct HeadInks {
    uint8_t skin, skinShade, outline, white;
};

// Shoulders in a flowery beach shirt, and the neck.
void PaintShoulders(Canvas& c, const HeadInks& ink) {
    Canvas mask = MakeCanvas(320, 200);
    FillEllipse(mask, 282, 222, 64, 52, 1);
    const uint8_t shirt = Ink(c, Rgb{40, 170, 200});
    const uint8_t flower = Ink(c, Rgb{255, 230, 90});
    const uint8_t flower2 = Ink(c, Rgb{255, 110, 160});
    PaintMask(c, mask, [&](int x, int y) {
        const int fx = (x + (y / 14) * 7) % 14, fy = y % 14;
        if ((fx - 7) * (fx - 7) + (fy - 7) * (fy - 7) < 8)
            return (x / 14 + y / 14) % 2 ? flower : flower2;
        return shirt;
    });
    FillRect(c, 250, 146, 282, 176, ink.skinShade);
}

// Head and face in profile, looking left; the jaw drops when talking.
void PaintProfile(Canvas& c, const HeadInks& ink, bool mouthOpen) {
    FillEllipse(c, 264, 100, 52, 58, ink.skin);
    const double jaw = mouthOpen ? 6 : 0;
    FillPolygon(c,
                Points{{236, 50},
                       {216, 70},
                       {212, 82},
                       {190, 98},
                       {194, 104},
                       {204, 106},
                       {199, 111},
                       {201, 116},
                       {199, 121 + jaw},
                       {204, 127 + jaw},
                       {206, 136 + jaw},
                       {222, 148 + jaw / 2},
                       {250, 150},
                       {262, 100}},
                ink.skin);
}

// The mouth: a smile when shut, open wide with a tongue when talking.
void PaintMouth(Canvas& c, const HeadInks& ink, bool mouthOpen) {
    const uint8_t lip = Ink(c, Rgb{200, 70, 80});
    if (mouthOpen) {
        FillPolygon(c, Points{{198, 110}, {219, 115}, {216, 121}, {198, 128}},
                    Ink(c, Rgb{110, 24, 40}));
        FillPolygon(c, Points{{200, 124}, {212, 120}, {214, 123}, {202, 128}},
                    Ink(c, Rgb{246, 110, 120}));
        FillRect(c, 201, 110, 208, 111, ink.white);
    } else {
        ThickLine(c, 200, 116, 214, 117, 2, lip);
        ThickLine(c, 214, 117, 218, 113, 2, lip);
    }
}

// Nose shading, eye, brow and blush.
void PaintFace(Canvas& c, const HeadInks& ink) {
    FillEllipse(c, 200, 100, 4, 2, ink.skinShade);
    FillEllipse(c, 228, 82, 7, 8, ink.white);
    FillCircle(c, 224, 83, 3, ink.outline);
    Plot(c, 223, 81, ink.white);
    ThickLine(c, 218, 70, 234, 68, 3, Ink(c, Rgb{140, 70, 30}));
    FillEllipse(c, 236, 112, 9, 6, Ink(c, Rgb{255, 150, 150}));
}

// Whether (x, y) of the head gets hair: the back of the head, and a zigzag
// fringe over the top.
bool IsHair(int x, int y) {
    const int dx = x - 264, dy = y - 98;
    if (dx * dx * 62 * 62 + dy * dy * 56 * 56 > 56 * 56 * 62 * 62) return false;
    const int zig = (x % 10 < 5 ? x % 10 : 10 - x % 10) * 2;
    const int zag = (y % 12 < 6 ? y % 12 : 12 - y % 12);
    return y < 58 + zig || (x > 282 + zag && y < 140 + zag);
}

// Ginger hair, and the ear in front of it.
void PaintHair(Canvas& c, const HeadInks& ink) {
    const uint8_t hair = Ink(c, Rgb{214, 96, 40});
    const uint8_t hairLight = Ink(c, Rgb{250, 150, 70});
    for (int y = 36; y < 150; ++y)
        for (int x = 214; x < 320; ++x)
            if (IsHair(x, y)) Plot(c, x, y, ((x + y) / 3) % 7 == 0 ? hairLight : hair);
    FillEllipse(c, 272, 106, 8, 11, ink.skinShade);
    FillEllipse(c, 273, 106, 4, 6, ink.skin);
}

// The party hat, striped, tipped forward a little, with a pompom.
void PaintHat(Canvas& c) {
    Canvas hat = MakeCanvas(320, 200);
    FillPolygon(hat, Points{{224, 60}, {296, 48}, {242, 6}}, 1);
    const uint8_t hatA = Ink(c, Rgb{250, 60, 130});
    const uint8_t hatB = Ink(c, Rgb{255, 220, 60});
    const uint8_t dot = Ink(c, Rgb{80, 200, 255});
    PaintMask(c, hat, [&](int x, int y) {
        if (((x + 3) % 9 < 2) && ((y + 3) % 9 < 2)) return dot;
        return ((x + 2 * y) / 11) % 2 ? hatA : hatB;
    });
    ThickLine(c, 224, 60, 296, 48, 4, Ink(c, Rgb{255, 255, 255}));
    FillCircle(c, 242, 8, 7, Ink(c, Rgb{255, 255, 255}));
    FillCircle(c, 240, 6, 3, Ink(c, Rgb{200, 240, 255}));
}

} // namespace

Canvas DrawHead(bool mouthOpen) {
    Canvas c = MakeCanvas(320, 200);
    HeadInks ink{};
    ink.skin = Ink(c, Rgb{255, 204, 160});
    ink.skinShade = Ink(c, Rgb{232, 160, 124});
    ink.outline = Ink(c, Ink0);
    ink.white = Ink(c, Rgb{255, 252, 246});
    PaintShoulders(c, ink);
    PaintProfile(c, ink, mouthOpen);
    PaintMouth(c, ink, mouthOpen);
    PaintFace(c, ink);
    PaintHair(c, ink);
    PaintHat(c);
    Outline(c, 0, ink.outline);
    return c;
}

Canvas DrawLetter(char letter) {
    Canvas c = MakeCanvas(320, 200);
    const uint8_t white = Ink(c, Rgb{255, 255, 255});
    constexpr int Left = 50, Top = 25, Bottom = 175, Stroke = 35;
    switch (letter) {
    case 'E':
        FillRect(c, Left, Top, Left + Stroke - 1, Bottom - 1, white);
        FillRect(c, Left, Top, Left + 99, Top + 31, white);
        FillRect(c, Left, 86, Left + 84, 114, white);
        FillRect(c, Left, Bottom - 32, Left + 99, Bottom - 1, white);
        break;
    case 'K':
        FillRect(c, Left, Top, Left + Stroke - 1, Bottom - 1, white);
        FillPolygon(c,
                    Points{{Left + 28, 94}, {Left + 70, Top}, {Left + 110, Top}, {Left + 52, 112}},
                    white);
        FillPolygon(
            c, Points{{Left + 28, 106}, {Left + 56, 90}, {Left + 114, Bottom}, {Left + 72, Bottom}},
            white);
        break;
    default: // 'U'
        FillRect(c, Left, Top, Left + Stroke - 1, 120, white);
        FillRect(c, Left + 110 - Stroke, Top, Left + 109, 120, white);
        for (int y = 120; y < Bottom; ++y)
            for (int x = Left; x < Left + 110; ++x) {
                const int dx2 = (2 * x + 1 - (2 * Left + 110)), dy2 = 2 * (y - 120) + 1;
                const int d2 = dx2 * dx2 + dy2 * dy2; // in quarter pixels
                if (d2 <= 110 * 110 && d2 >= 40 * 40) Plot(c, x, y, white);
            }
        break;
    }
    return c;
}

Canvas DrawTwisterTexture() {
    Canvas c = MakeCanvas(256, 256);
    // Twelve hues in three shades: a rainbow of bands that waves through a
    // checkerboard, with dark edges so each face of the pillar reads apart.
    static constexpr std::array<Rgb, 12> Hues = {{{255, 60, 60},
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
    const uint8_t edge = Ink(c, Rgb{30, 16, 50});
    const uint8_t shine = Ink(c, Rgb{255, 255, 240});
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int u = x % 64;
            if (u < 2 || u > 61) {
                Plot(c, x, y, edge);
                continue;
            }
            const int wave =
                static_cast<int>(10 * Sine(u * 0.1 + y * 0.05) + 8 * Sine(y * 0.13 - u * 0.07));
            const int band = ((y + wave + 240) / 10) % 12;
            const bool check = ((u / 8) + (y / 8)) % 2 == 0;
            const int shade = check ? 0 : 1;
            Rgb colour = Hues[static_cast<size_t>(band)];
            if (shade == 1) colour = Mix(colour, Rgb{20, 10, 40}, 80);
            if ((y + wave + 240) % 10 == 0) colour = Mix(colour, Rgb{255, 255, 255}, 110);
            Plot(c, x, y, Ink(c, colour));
            if (u > 4 && u < 8 && y % 25 < 3) Plot(c, x, y, shine);
        }
    return c;
}

namespace {

// Confetti over the whole picture.
void PaintConfetti(Canvas& c, Lcg& rng) {
    static constexpr std::array<Rgb, 6> Confetti = {{{255, 90, 90},
                                                     {255, 220, 70},
                                                     {90, 230, 120},
                                                     {80, 200, 255},
                                                     {230, 120, 255},
                                                     {255, 255, 255}}};
    for (int i = 0; i < 140; ++i) {
        const int x = rng.Next(318), y = rng.Next(196);
        const uint8_t ink = Ink(c, Confetti[static_cast<size_t>(i) % Confetti.size()]);
        if (i % 2)
            FillRect(c, x, y, x + 1, y + 2, ink);
        else
            FillRect(c, x, y, x + 2, y + 1, ink);
    }
}

// Table and plate.
void PaintTable(Canvas& c) {
    FillRect(c, 0, 180, 319, 199, Ink(c, Rgb{140, 80, 50}));
    FillRect(c, 0, 180, 319, 182, Ink(c, Rgb{190, 120, 70}));
    FillEllipse(c, 160, 180, 96, 10, Ink(c, Rgb{200, 200, 220}));
    FillEllipse(c, 160, 178, 90, 8, Ink(c, Rgb{245, 245, 255}));
}

// Lower tier: strawberry cream. Returns the icing's ink, which the upper tier
// and the candles share.
uint8_t PaintLowerTier(Canvas& c) {
    const uint8_t pink = Ink(c, Rgb{255, 160, 190});
    const uint8_t pinkDark = Ink(c, Rgb{220, 110, 150});
    const uint8_t icing = Ink(c, Rgb{255, 246, 250});
    FillEllipse(c, 160, 176, 76, 9, pinkDark);
    FillRect(c, 84, 130, 236, 176, pink);
    FillRect(c, 220, 130, 236, 176, pinkDark);
    FillEllipse(c, 160, 130, 76, 9, icing);
    for (int x = 88; x < 236; x += 12)
        FillEllipse(c, x + 4, 140 + (x / 12 % 3) * 3, 4, 6, icing);
    for (int x = 96; x < 230; x += 16) {
        FillCircle(c, x, 160, 4, Ink(c, Rgb{230, 30, 60}));
        Plot(c, x - 1, 158, icing);
    }
    return icing;
}

// Upper tier: chocolate with sprinkles.
void PaintUpperTier(Canvas& c, Lcg& rng, uint8_t icing) {
    const uint8_t choc = Ink(c, Rgb{130, 70, 44});
    const uint8_t chocDark = Ink(c, Rgb{96, 48, 32});
    FillEllipse(c, 160, 126, 50, 7, chocDark);
    FillRect(c, 110, 94, 210, 126, choc);
    FillRect(c, 198, 94, 210, 126, chocDark);
    FillEllipse(c, 160, 94, 50, 7, icing);
    for (int x = 114; x < 208; x += 10)
        FillEllipse(c, x + 3, 101 + (x / 10 % 2) * 3, 3, 5, icing);
    static constexpr std::array<Rgb, 4> Sprinkles = {
        {{255, 80, 80}, {80, 200, 255}, {255, 230, 60}, {120, 230, 120}}};
    for (int i = 0; i < 30; ++i) {
        const int x = 116 + rng.Next(90), y = 110 + rng.Next(14);
        FillRect(c, x, y, x + 1, y, Ink(c, Sprinkles[static_cast<size_t>(i) % 4]));
    }
}

// A soft dithered glow round a flame whose candle top is at (x, top).
void PaintGlow(Canvas& c, int x, int top, uint8_t glow) {
    for (int y = top - 18; y < top; ++y)
        for (int dx = -6; dx <= 6; ++dx)
            if ((dx * dx) * 4 + (y - (top - 9)) * (y - (top - 9)) < 70 && Bayer(x + dx, y) < 6)
                Plot(c, x + dx, y, glow);
}

// Candles with flames and a soft glow.
void PaintCandles(Canvas& c, uint8_t icing) {
    const uint8_t glow = Ink(c, Rgb{255, 200, 140});
    const uint8_t flameOut = Ink(c, Rgb{255, 140, 30});
    const uint8_t flameIn = Ink(c, Rgb{255, 240, 120});
    static constexpr std::array<Rgb, 5> CandleColours = {
        {{90, 160, 255}, {255, 120, 180}, {120, 220, 120}, {255, 210, 60}, {190, 120, 255}}};
    for (int i = 0; i < 5; ++i) {
        const int x = 128 + i * 16;
        const int top = 64 + (i % 2) * 4;
        PaintGlow(c, x, top, glow);
        const uint8_t stripe = Ink(c, CandleColours[static_cast<size_t>(i)]);
        for (int y = top; y < 92; ++y)
            FillRect(c, x - 3, y, x + 2, y, ((y + (x - 3)) / 3) % 2 ? stripe : icing);
        FillRect(c, x, top - 3, x, top - 1, Ink(c, Ink0));
        FillPolygon(c, Points{{x - 3.5, top - 6.0}, {x + 0.5, top - 17.0}, {x + 4.5, top - 6.0}},
                    flameOut);
        FillEllipse(c, x, top - 6, 3, 3, flameOut);
        FillEllipse(c, x, top - 6, 1, 2, flameIn);
    }
}

constexpr int GlyphScale = 4; // pixels per dot of a 5x7 glyph

// A shadow under every dot of `g` whose top-left is (gx, gy).
void PaintGlyphShadow(Canvas& c, const Glyph& g, int gx, int gy, uint8_t shadow) {
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
            if (g.rows[static_cast<size_t>(row)][col] != '#') continue;
            const int x = gx + col * GlyphScale, y = gy + row * GlyphScale;
            FillRect(c, x + 3, y + 3, x + GlyphScale + 2, y + GlyphScale + 2, shadow);
        }
}

// Every dot of `g` in `face`, lit along its top edge in `top`.
void PaintGlyphFace(Canvas& c, const Glyph& g, int gx, int gy, uint8_t face, uint8_t top) {
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
            if (g.rows[static_cast<size_t>(row)][col] != '#') continue;
            const int x = gx + col * GlyphScale, y = gy + row * GlyphScale;
            FillRect(c, x, y, x + GlyphScale - 1, y + GlyphScale - 1, face);
            if (row == 0 || g.rows[static_cast<size_t>(row - 1)][col] != '#')
                FillRect(c, x, y, x + GlyphScale - 1, y, top);
        }
}

// "PALJON ONNEA!" in big wavy rainbow capitals with a shadow.
void PaintGreeting(Canvas& c) {
    const std::string text = "PALJON ONNEA!";
    static constexpr std::array<Rgb, 6> Letters = {{{255, 80, 80},
                                                    {255, 170, 50},
                                                    {255, 235, 70},
                                                    {100, 230, 110},
                                                    {80, 200, 255},
                                                    {220, 130, 255}}};
    constexpr int Advance = 24;
    const int startX = (320 - (static_cast<int>(text.size()) * Advance - GlyphScale)) / 2;
    const uint8_t shadow = Ink(c, Rgb{30, 10, 40});
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph* g = FindGlyph(text[i]);
        if (!g) continue;
        const int gx = startX + static_cast<int>(i) * Advance;
        const int gy = 12 + static_cast<int>(4 * Sine(static_cast<double>(i) * 0.8));
        const Rgb colour = Letters[i % Letters.size()];
        const uint8_t face = Ink(c, colour);
        const uint8_t top = Ink(c, Mix(colour, Rgb{255, 255, 255}, 140));
        PaintGlyphShadow(c, *g, gx, gy, shadow);
        PaintGlyphFace(c, *g, gx, gy, face, top);
    }
}

} // namespace

Canvas DrawCake() {
    Canvas c = MakeCanvas(320, 200);
    Gradient(c, 0, 0, 319, 199, {{0, {40, 16, 80}}, {140, {120, 40, 120}}, {256, {220, 90, 120}}},
             16);
    Lcg rng{23};
    PaintConfetti(c, rng);
    PaintTable(c);
    const uint8_t icing = PaintLowerTier(c);
    PaintUpperTier(c, rng, icing);
    PaintCandles(c, icing);
    PaintGreeting(c);
    return c;
}

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

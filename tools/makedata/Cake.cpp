// The end picture (kewl): a birthday cake with candles on a table, confetti,
// and "PALJON ONNEA!" in wavy rainbow capitals.
#include "Paint.h"
#include "Pictures.h"

#include <string>

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

// 5x7 capitals for the greeting.
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

constexpr int GlyphScale = 4; // pixels per dot of a 5x7 glyph

// Whether `g` has a dot at (col, row); none above the top row.
bool IsDot(const Glyph& g, int col, int row) {
    return row >= 0 && g.rows[static_cast<size_t>(row)][col] == '#';
}

// A shadow under every dot of `g` whose top-left is (gx, gy).
void PaintGlyphShadow(Canvas& c, const Glyph& g, int gx, int gy, uint8_t shadow) {
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
            if (!IsDot(g, col, row)) continue;
            const int x = gx + col * GlyphScale, y = gy + row * GlyphScale;
            FillRect(c, x + 3, y + 3, x + GlyphScale + 2, y + GlyphScale + 2, shadow);
        }
}

// Every dot of `g` in `face`, lit along its top edge in `top`.
void PaintGlyphFace(Canvas& c, const Glyph& g, int gx, int gy, uint8_t face, uint8_t top) {
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
            if (!IsDot(g, col, row)) continue;
            const int x = gx + col * GlyphScale, y = gy + row * GlyphScale;
            FillRect(c, x, y, x + GlyphScale - 1, y + GlyphScale - 1, face);
            if (!IsDot(g, col, row - 1)) FillRect(c, x, y, x + GlyphScale - 1, y, top);
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

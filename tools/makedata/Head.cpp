// The talking head (ek_pae1, ek_pae2): keyed on black, in profile towards
// the left, in a beach shirt and a party hat; the mouth shut or open.
#include "Paint.h"
#include "Pictures.h"

namespace {

// Everything inside `mask` (index 1) painted by `paint(x, y)`.
template <typename Paint> void PaintMask(Canvas& c, const Canvas& mask, Paint paint) {
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (Peek(mask, x, y) == 1) Plot(c, x, y, paint(x, y));
}

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

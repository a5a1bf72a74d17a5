// An indexed 8-bit drawing surface with its own palette, a few crisp
// pixel-art primitives, and its PCX file.
#pragma once

#include "FixedSine.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

struct Canvas {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels; // width * height palette indices
    std::vector<Rgb> palette;    // at most 256 entries; entry 0 is black
    bool paletteFull = false;    // a colour did not fit: the picture cannot be written
};

// A canvas filled with index 0, which is pure black (the colour key).
Canvas MakeCanvas(int width, int height);

// Palette index of a colour, added on first use. A picture that would need
// more than 256 colours gets black instead, and SetError says so.
uint8_t Ink(Canvas& c, Rgb colour);

// Blend of two colours, t from 0 to 256.
Rgb Mix(Rgb a, Rgb b, int t);

// 4x4 ordered-dither threshold, 0..15.
int Bayer(int x, int y);

void Plot(Canvas& c, int x, int y, uint8_t index);
uint8_t Peek(const Canvas& c, int x, int y);                             // 0 outside
void FillRect(Canvas& c, int x0, int y0, int x1, int y1, uint8_t index); // inclusive
void FillEllipse(Canvas& c, int cx, int cy, int rx, int ry, uint8_t index);
void FillCircle(Canvas& c, int cx, int cy, int r, uint8_t index);
// Convex or concave polygon, even-odd rule, sampled at pixel centres.
void FillPolygon(Canvas& c, const std::vector<std::array<double, 2>>& points, uint8_t index);
// A line of the given thickness (round caps).
void ThickLine(Canvas& c, double x0, double y0, double x1, double y1, double thickness,
               uint8_t index);
// Every pixel of `from` (the empty colour) next to (4-neighbourhood) a pixel
// of another colour gets `index`: a one-pixel outline round all that is drawn.
void Outline(Canvas& c, uint8_t from, uint8_t index);

// The canvas as a PCX file (EncodePcx in image/Pcx.h writes the format);
// empty when its palette overflowed.
std::vector<uint8_t> EncodePcx(const Canvas& c);

// What several pictures paint with: polygons' points, the random sequence of
// speckles and confetti, dithered gradients, the outline ink and the wrapped
// present that the beach and the crab both have.
#pragma once

#include "Canvas.h"

#include <array>
#include <cstdint>
#include <vector>

using Points = std::vector<std::array<double, 2>>;

// The near-black of outlines: pure black is the colour key.
constexpr Rgb Ink0{24, 10, 18};

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

// Vertical gradient over rows y0..y1 in `levels` flat bands, ordered-dithered
// where two bands meet. Only pixels for which inside(x, y) holds are painted,
// or all when `inside` is null.
void Gradient(Canvas& c, int x0, int y0, int x1, int y1, const std::vector<Stop>& stops, int levels,
              bool (*inside)(int x, int y) = nullptr);

// A wrapped present with a ribbon and a bow; (x0, y0) is the box's top left.
void Present(Canvas& c, int x0, int y0, int w, int h, Rgb box, Rgb ribbon);

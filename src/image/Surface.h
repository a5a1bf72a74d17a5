// What the program's own pixel loops ask of a surface before they touch it.
#pragma once

#include <SDL.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

// Whether `s` holds at least width x height pixels of `bitsPerPixel` bits, so
// that a loop may address that many rows of that many pixels at its pitch.
inline bool SurfaceHolds(const SDL_Surface* s, int width, int height, int bitsPerPixel) {
    return s && s->format && s->format->BitsPerPixel == bitsPerPixel && s->w >= width &&
           s->h >= height && s->pitch >= width * (bitsPerPixel / 8);
}

// Row y of a locked 32-bit surface, at the surface's own pitch.
inline uint32_t* PixelRow(SDL_Surface* s, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) +
                                       std::ptrdiff_t(y) * s->pitch);
}

// A 0x00RRGGBB pixel word with each channel multiplied by `factor`, held
// within 0-255 and truncated.
inline uint32_t ScaleColour(uint32_t pixel, double factor) {
    auto channel = [&](int shift) {
        const double v = double((pixel >> shift) & 0xFF) * factor;
        return uint32_t(std::clamp(v, 0.0, 255.0)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

// The fixed frame that the tunnel and the tile wobble draw on: 640x480 at 32
// bits, its own size, not derived from the 320x200 display.
#pragma once

#include <SDL.h>

#include <cstdio>

inline constexpr int EffectFrameWidth = 640;
inline constexpr int EffectFrameHeight = 480;

// A 640x480 32-bit software surface for an effect to draw on or from; null
// after a message on standard error.
inline SDL_Surface* MakeEffectFrame() {
    SDL_Surface* frame =
        SDL_CreateRGBSurface(SDL_SWSURFACE, EffectFrameWidth, EffectFrameHeight, 32, 0, 0, 0, 0);
    if (!frame) std::fprintf(stderr, "ekudemo-gallery: cannot make a frame: %s\n", SDL_GetError());
    return frame;
}

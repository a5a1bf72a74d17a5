// The fixed frame that the tunnel and the tile wobble draw on: 640x480 at 32
// bits, its own size, not derived from the 320x200 display.
#pragma once

#include "common/Error.h"

#include <SDL.h>

inline constexpr int EffectFrameWidth = 640;
inline constexpr int EffectFrameHeight = 480;

// A 640x480 32-bit software surface for an effect to draw on or from; null
// after SetError.
inline SDL_Surface* MakeEffectFrame() {
    SDL_Surface* frame =
        SDL_CreateRGBSurface(SDL_SWSURFACE, EffectFrameWidth, EffectFrameHeight, 32, 0, 0, 0, 0);
    if (!frame) SetError("cannot make a frame: %s", SDL_GetError());
    return frame;
}

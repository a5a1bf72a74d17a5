#pragma once

#include <SDL.h>

// A 640x480 grid of 20-pixel tiles copied from `source`, waving and swelling
// with FrameTime by `amplitude` pixels.
void DrawTileWobble(SDL_Surface* source, SDL_Surface* target, float amplitude);

#pragma once

#include <SDL.h>

#include <cstdint>

// One frame of the twister: every row's first run of set pixels in `mask`
// becomes a slice of a turning square pillar textured from `texture`.
void DrawTwister(SDL_Surface* mask, SDL_Surface* texture, SDL_Surface* screen, int32_t xShift);

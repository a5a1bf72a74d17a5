// The twister, the effect of the opening scenes: a letter drawn as a turning,
// texture-mapped square pillar. Every row in which the mask picture has a run
// of set pixels becomes one slice of a square turning about a vertical axis,
// and its two faces that meet at the front corner are painted with a strip of
// the texture. All rows turn by one angle that grows with FrameTime; a row's
// square follows the width of the letter's stroke and its axis sways with the
// angle, so the whole letter sways while it turns. Only the faces' pixels are
// written.
#pragma once

#include <SDL.h>

#include <cstdint>

// One frame of the twister: every row's first run of set pixels in `mask`
// becomes a slice of a turning square pillar textured from `texture`.
void DrawTwister(SDL_Surface* mask, SDL_Surface* texture, SDL_Surface* screen, int32_t xShift);

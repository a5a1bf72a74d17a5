// The tile wobble: a picture copied onto a target as a grid of 32 by 24
// square tiles on a 20-pixel pitch, covering the 640x480 frame. Each tile is
// copied unscaled from a source position that waves with FrameTime (the tiles
// of a column move up and down together, those of a row left and right), its
// size swings between 21 - a and 21 + a pixels for an amplitude a, and it is
// pushed right and down, or left and up, by its size and its column's
// distance from the middle column. The blits clip whatever falls outside.
#pragma once

#include <SDL.h>

// Draws one frame over what `target` holds; `amplitude` in pixels scales all
// three movements.
void DrawTileWobble(SDL_Surface* source, SDL_Surface* target, float amplitude);

// The gallery's pictures for the wobble, made from `picture` (320x200, 32
// bits): `source` is the picture at twice its size over the 640x480 frame,
// its last 80 rows mirroring its bottom like a beach in wet sand; `shadow` the
// same dimmed, to show through the gaps the tiles leave. False, both null,
// after SetError when no surface can be made.
bool MakeWobblePictures(SDL_Surface* picture, SDL_Surface*& source, SDL_Surface*& shadow);

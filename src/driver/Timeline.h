// The scene timeline: what a frame shows, from the music position alone.
#pragma once

#include "driver/Demo.h"
#include "music/Form.h"

#include <SDL.h>

#include <cstdint>

// Draws the frame for CurrentOrder and `row` onto `screen`, which the frame
// loop has just cleared. Returns true, drawing nothing, once the order has
// reached EndOrder: the greeting is over.
bool DrawScene(SDL_Surface* screen, const SurfaceSlotArray& slots, int32_t row);

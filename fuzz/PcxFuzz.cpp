// Arbitrary bytes as a slot picture: the header checked for a 320x200 8-bit
// run-length picture, then decoded through the palette into a 32-bit surface,
// as start-up loads the pictures.
#include "image/Pcx.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One surface for the whole run; the decoder writes into it over and over.
    static SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 200, 32, 0, 0, 0, 0);
    if (!surface) return 0;
    DecodePcx(std::span<const uint8_t>(data, size), surface, 320, 200);
    return 0;
}

// Arbitrary bytes as the flare sprite: the header checked for a 64x64 picture,
// then raw indices into an 8-bit surface.
#include "image/Pcx.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 64, 8, 0, 0, 0, 0);
    if (!surface) return 0;
    DecodePcxIndexed(std::span<const uint8_t>(data, size), surface, 64, 64);
    return 0;
}

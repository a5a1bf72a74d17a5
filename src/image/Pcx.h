// Decoding the greeting's 8-bit run-length PCX pictures into surfaces that the
// caller created at the picture's size.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <span>

// Largest part of a picture file that is ever read.
inline constexpr size_t PcxReadLimit = 256000;

// Through the palette into a 32-bit surface (pixel word 0x00RRGGBB). A file
// that cannot be read, or whose picture ends early, ends the program with a
// message naming it.
void LoadPcx(const char* path, SDL_Surface* surface, int32_t width, int32_t height);
// Raw palette indices into an 8-bit surface.
void LoadPcxIndexed(const char* path, SDL_Surface* surface, int32_t width, int32_t height);

// What a decoding pass did: where it stopped reading, how many pixels it
// wrote, and whether the picture (and for LoadPcx its palette) was complete.
struct PcxDecodeResult {
    size_t readPos = 0; // in a well-formed file, the palette marker's offset
    size_t written = 0;
    bool complete = false;
};

// Run-length decoding of the pixel data that follows the 128-byte header into
// `out` (width x height indices, rows back to back). Malformed data never
// reads past `file` (nor its first PcxReadLimit bytes) and never writes past
// width x height or `out`: decoding stops there and the rest is left as it was.
PcxDecodeResult DecodePcxPixels(std::span<const uint8_t> file, std::span<uint8_t> out,
                                int32_t width, int32_t height);

// The loaders' work on bytes already in memory: DecodePcx through the palette
// into a 32-bit surface, DecodePcxIndexed as raw indices into an 8-bit one.
// A surface smaller than width x height, or of another depth, is left alone.
PcxDecodeResult DecodePcx(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                          int32_t height);
PcxDecodeResult DecodePcxIndexed(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                                 int32_t height);

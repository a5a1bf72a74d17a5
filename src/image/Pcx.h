// Decoding the greeting's 8-bit run-length PCX pictures into surfaces that the
// caller created at the picture's size.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <span>

// Largest part of a picture file that is ever read.
inline constexpr size_t PcxReadLimit = 256000;

// Through the palette into a 32-bit surface (pixel word 0x00RRGGBB).
// A file that cannot be read ends the program with a message naming it.
void LoadPcx(const char* path, SDL_Surface* surface, int32_t width, int32_t height);
// Raw palette indices into an 8-bit surface.
void LoadPcxIndexed(const char* path, SDL_Surface* surface, int32_t width, int32_t height);

// Run-length decoding of the pixel data that follows the 128-byte header into
// `out` (width x height indices, rows back to back). Returns the read position
// where decoding stopped: in a well-formed file, the palette marker's offset.
size_t DecodePcxPixels(std::span<const uint8_t> file, std::span<uint8_t> out, int32_t width,
                       int32_t height);

// The same decoding from bytes already in memory (at most PcxReadLimit of
// them are looked at). Malformed data never reads past `file` nor writes past
// width x height pixels: decoding stops there and the rest is left as it was.
void DecodePcx(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width, int32_t height);
void DecodePcxIndexed(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                      int32_t height);

// The greeting's pictures: 8-bit run-length PCX files, decoded into surfaces
// that the caller created at the picture's size, and written by the data
// generator.
//
// File layout: a 128-byte header, the run-length pixel data row by row (a
// byte 0xC0-0xFF is a run of its low six bits' length of the byte that
// follows, any other byte one pixel), one marker byte (0x0C, never examined),
// and a 768-byte palette of red, green, blue.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr size_t PcxHeaderSize = 128;
inline constexpr size_t PcxPaletteSize = 768;
// Largest part of a picture file that is ever read.
inline constexpr size_t PcxReadLimit = 256000;

// Through the palette into a 32-bit surface (pixel word 0x00RRGGBB). False,
// after SetError naming the file and what is wrong with it, when the file
// cannot be read, is not an 8-bit single-plane run-length PCX picture of
// width x height, or ends early; the surface is then left as it was or
// partly drawn.
bool LoadPcx(const char* path, SDL_Surface* surface, int32_t width, int32_t height);
// Raw palette indices into an 8-bit surface; the same checks.
bool LoadPcxIndexed(const char* path, SDL_Surface* surface, int32_t width, int32_t height);

// What a decoding pass did: where it stopped reading, how many pixels it
// wrote, whether the picture (and for DecodePcx its palette) was complete,
// and if not, what is wrong (for a message that names the file before it).
struct PcxDecodeResult {
    size_t readPos = 0; // in a well-formed file, the palette marker's offset
    size_t written = 0;
    bool complete = false;
    std::string fault; // "is 320x200, not 64x64"
};

// What is wrong with a file's header for a width x height picture that the
// loaders can decode, or an empty text when nothing is.
std::string PcxHeaderFault(std::span<const uint8_t> file, int32_t width, int32_t height);

// Run-length decoding of the pixel data that follows the header into `out`
// (width x height indices, rows back to back). Rows are stored `lineBytes`
// long (0: `width`); the pixels past the width are padding and left out.
// Malformed data never reads past `file` (nor its first PcxReadLimit bytes)
// and never writes past width x height or `out`: decoding stops there and the
// rest is left as it was. The header is not looked at.
PcxDecodeResult DecodePcxPixels(std::span<const uint8_t> file, std::span<uint8_t> out,
                                int32_t width, int32_t height, int32_t lineBytes = 0);

// The loaders' work on bytes already in memory, header check included:
// DecodePcx through the palette into a 32-bit surface, DecodePcxIndexed as
// raw indices into an 8-bit one. A file whose header does not describe the
// picture, or a surface smaller than width x height or of another depth, is
// left alone.
PcxDecodeResult DecodePcx(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                          int32_t height);
PcxDecodeResult DecodePcxIndexed(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                                 int32_t height);

// The header of a width x height picture as EncodePcx writes it (version 5,
// run-length, 8 bits, one plane, rows of `width` bytes; `width` even).
std::vector<uint8_t> PcxHeader(int32_t width, int32_t height);
// A whole file: the header, every row's runs (no run spans two rows), the
// marker and the palette. `indices` holds width x height pixels; `palette`
// up to 256 red, green, blue triples, the rest black.
std::vector<uint8_t> EncodePcx(int32_t width, int32_t height, std::span<const uint8_t> indices,
                               std::span<const uint8_t> palette);

// ekudemo-capture: the greeting drawn offline, through the same timeline and
// effect code as the programs, into PNG stills, raw frames, video or WAV.
#pragma once

#include <SDL.h>

#include <cstdint>

// Writes a 32-bit 0x00RRGGBB surface as an 8-bit RGB PNG, or with `raw` as its
// pixels in little-endian 32-bit words, row by row. False (with a message on
// standard error) when the file cannot be written.
bool WriteFrame(SDL_Surface* surface, bool raw, const char* path);

// Each returns the process exit status.
int CaptureStill(int32_t order, int32_t row, int32_t timeMs, unsigned seed, bool raw,
                 const char* out);
int CaptureEffect(const char* effect, int32_t timeMs, unsigned seed, bool raw, const char* out);
int CaptureVideo(int fps, int scale, unsigned seed, const char* out);
int CaptureWav(const char* out);

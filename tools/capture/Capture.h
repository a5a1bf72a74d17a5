// ekudemo-capture: the greeting drawn offline, through the same timeline and
// effect code as the programs, into PNG stills, raw frames, video or WAV.
//
// Its routines fail as every routine does (common/Error.h): the reason is
// recorded with SetError and false returned. The modes at the bottom are the
// program's entries: each prints a failure once (PrintError) and returns the
// exit status. The worker threads of a video capture hand their reason to
// the thread that reports it.
#pragma once

#include "driver/Demo.h"

#include <SDL.h>

#include <array>
#include <cstdint>
#include <span>

struct OutputFile;

// The program's name in its messages.
inline constexpr const char* CaptureProgram = "ekudemo-capture";

// Writes a 32-bit 0x00RRGGBB surface as an 8-bit RGB PNG, or with `raw` as its
// pixels in little-endian 32-bit words, row by row, and puts the file in
// place. False, after SetError, when it cannot be written.
bool SaveFrame(SDL_Surface* surface, bool raw, OutputFile& file);

// What the capture reads: the data folder (dat/ unless --data named another)
// and every file in it that it opens. No output may be one of them or lie in
// that folder.
std::span<const char* const> CaptureInputs();

// What the greeting's frames are drawn from, brought up by the greeting's own
// start-up but silent (the music is positioned or rendered here, never
// played) and with no window: the module, the caption font and the slot
// pictures; rand() is seeded with `seed`. False when a data file cannot be
// read, after the start-up has printed which and why.
bool LoadGreetingData(SurfaceSlotArray& slots, unsigned seed = 1);
// Shuts all of it down, the media library included.
void FreeGreetingData(SurfaceSlotArray& slots);

// A 320x200 software surface, cleared to black, that stands in for the
// display: no window is opened. Null after SetError.
SDL_Surface* MakeFrameSurface();

// The ways to run the program, each what follows its name; short enough for
// one line of the help each.
inline constexpr std::array<const char*, 4> CaptureUsages = {
    "--still ORDER ROW TIME_MS [--seed S] [--raw] OUT.png",
    "--effect NAME --time T_MS [--seed S] [--raw] OUT.png",
    "[--quality Q] [--fps N] [--scale K] [--seed S] OUT.mp4",
    "--wav OUT.wav",
};

// A mode's end after a failure: the reason recorded last printed, once; 1.
int CaptureFailed();
// A mode's end after a command line it cannot carry out: the reason recorded
// last printed, then the usage lines; 2.
int CaptureUsageError();

// The modes. Each returns the process exit status.
int CaptureStill(int32_t order, int32_t row, int32_t timeMs, unsigned seed, bool raw,
                 const char* out);
int CaptureEffect(const char* effect, int32_t timeMs, unsigned seed, bool raw, const char* out);
int CaptureVideo(int fps, int scale, unsigned seed, const char* out);
int CaptureWav(const char* out);

// The greeting's own main routine and what the other programs (gallery,
// capture) share with it: the clock, the picture slots and input.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

inline constexpr int ScreenWidth = 320;
inline constexpr int ScreenHeight = 200;
inline constexpr int SlotCount = 20;

using SurfaceSlotArray = std::array<SDL_Surface*, SlotCount>;

// Milliseconds of the frame being drawn; the effects' animation time.
extern int32_t FrameTime;
// The 320x200x32 display surface.
extern SDL_Surface* Screen;

// The system's millisecond clock: CLOCK_MONOTONIC in milliseconds, as a
// signed 32-bit value.
int32_t MilliClock();

// Creates and loads the nine slot pictures (slots 0-8, colour keys on the
// crab and head frames) in start-up order. Slots 9-19 are left null.
void LoadPictures(SurfaceSlotArray& slots);
// Creates the 64x64 8-bit flare sprite and loads it from "dat/flare.pcx".
SDL_Surface* LoadFlareSprite();
void FreePictures(SurfaceSlotArray& slots);

// Starts the font library and opens CaptionFont from "dat/arialbd.ttf" at
// 12 points; a missing font gives one warning and captions are left out.
void OpenCaptionFont();
void CloseCaptionFont();

// Starts the video subsystem and opens the 320x200 full-screen display as
// Screen, with the mouse pointer hidden. False, after a message on standard
// error that starts with `program`, when there is no display to open.
bool OpenScreen(const char* program);

// Drains the event queue; true when Escape was pressed or the window was
// asked to close.
bool PollQuit();

// The greeting in three steps, for RunDemo and for tests and benchmarks that
// drive it frame by frame.
// Start-up: music, font, display, pictures, flare data, then the music
// starts. Returns 0, or the exit status after a failure it has reported.
int StartDemo(SurfaceSlotArray& slots, SDL_Surface*& flareSprite);
// One frame: clock, music position, scene, page flip, clearing, input.
// Returns true when the greeting is over.
bool RunFrame(const SurfaceSlotArray& slots);
// Shutdown: stops the music and releases everything start-up made.
void StopDemo(SurfaceSlotArray& slots, SDL_Surface*& flareSprite);

int RunDemo(int argc, char** argv);

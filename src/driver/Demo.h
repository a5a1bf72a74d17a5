// The greeting's own main routine and what the other programs (gallery,
// capture) share with it: start-up and shutdown, the frame for a music
// position, the picture slots and input.
#pragma once

#include "common/Frame.h"

#include <SDL.h>

#include <array>
#include <cstdint>
#include <optional>

inline constexpr int SlotCount = 20;

using SurfaceSlotArray = std::array<SDL_Surface*, SlotCount>;

// The 320x200x32 display surface.
extern SDL_Surface* Screen;

// Creates and loads the slot pictures of the data table (colour keys on the
// crab and head frames) in start-up order, from the data folder, with the
// masks of CurrentGreeting's name in LetterSlots. The other slots are left null. False,
// after SetError naming the picture, when one cannot be loaded; what was made
// is left in the slots for FreePictures.
bool LoadPictures(SurfaceSlotArray& slots);
// Creates the 64x64 8-bit flare sprite and loads it from its file. Null,
// after SetError, when it cannot be loaded.
SDL_Surface* LoadFlareSprite();
void FreePictures(SurfaceSlotArray& slots);

// Starts the video subsystem and opens the 320x200 full-screen display as
// Screen, with the mouse pointer hidden and `title` as the window's title.
// False, after SetError saying what is wrong with the display, when there is
// none to open.
bool OpenScreen(const char* title);

// Drains the event queue; true when Escape was pressed or the window was
// asked to close. With `step`, *step tells whether Space or the right arrow
// was pressed (the gallery's next effect).
bool PollQuit(bool* step = nullptr);

// What a program brings up of the greeting. StartUp does it in the greeting's
// order (the greeting file, music, font, random seed, display, pictures,
// flare data, playback), reading from the data folder (common/DataFile.h);
// ShutDown releases all of it in the greeting's order, the tunnel's tables
// included, built or not.
enum class MusicUse {
    None,    // no module
    Silent,  // loaded with no sound output: positioned or rendered, never heard
    Loaded,  // loaded for the sound device; the caller starts it
    Playing, // loaded and started where the greeting starts it
};
struct StartOptions {
    // Becomes ProgramName, which names it in messages, and the window's title;
    // the greeting leaves it null and its window is titled after its person.
    const char* program = nullptr;
    MusicUse music = MusicUse::Playing;
    bool font = true;
    bool display = true;          // the display as Screen; otherwise no window at all
    bool flares = true;           // the flare sprite and the particle data
    std::optional<unsigned> seed; // rand()'s seed; none: the clock
};
// Returns 0, or the exit status after a failure it has reported, having
// released what it had brought up (with MusicUse::Playing, the greeting's, a
// music failure ends the process there, see InitMusic).
int StartUp(const StartOptions& options, SurfaceSlotArray& slots, SDL_Surface*& flareSprite);
void ShutDown(SurfaceSlotArray& slots, SDL_Surface*& flareSprite);

// The greeting's frame for the song's present position at `timeMs`, drawn
// onto `screen`, which holds black: FrameTime becomes `timeMs`, CurrentOrder
// the song's order and only then is the row read, so that the row never
// belongs to an order older than CurrentOrder; the scene timeline draws.
// Returns true when the greeting is over: its last order is reached (nothing
// is drawn then) or the music has ended. A still moves the song with
// FMUSIC_SetPosition first; the position reads back as it was set.
bool DrawMusicFrame(SDL_Surface* screen, const SurfaceSlotArray& slots, int32_t timeMs);

// One frame of the greeting's loop, between StartUp with everything and
// ShutDown: clock, music position, scene, page flip, clearing, input. Returns
// true when the greeting is over.
bool RunFrame(const SurfaceSlotArray& slots);

int RunDemo(int argc, char** argv);

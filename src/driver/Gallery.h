// The gallery: the three effects that the greeting's timeline never shows,
// one after another or one chosen, with the greeting's music. The effects
// are rows of one table, which also names them for the programs' command
// lines; adding an effect is adding a row.
#pragma once

#include "driver/Demo.h"

#include <SDL.h>

#include <cstdint>
#include <span>
#include <string>

// One effect of the gallery. `prepare` builds what its frames need from the
// loaded slot pictures and the flare sprite, false after SetError when
// something is missing; `draw` shows the frame FrameTime milliseconds after
// the effect began on a 320x200x32 surface, and draws nothing unless
// prepared; `release` frees what `prepare` built and may run at any time.
struct GalleryEffect {
    const char* name; // as the capture tool's --effect takes it
    bool (*prepare)(const SurfaceSlotArray& slots, SDL_Surface* flareSprite);
    void (*draw)(SDL_Surface* screen);
    void (*release)();
};

// In the order the gallery shows them.
extern const std::span<const GalleryEffect> GalleryEffects;

// How long the gallery shows each effect.
inline constexpr int32_t GalleryEffectMs = 10000;

// The effect of that name; null for any other name.
const GalleryEffect* FindGalleryEffect(const char* name);
// The names for a message: "tunnel, flares or wobble".
std::string GalleryEffectNames();

// The gallery's command line: the greeting's (ParseDisplayCommandLine) with
// `--list`, which names the effects one a line, and `--effect NAME`, which
// sets *only (null without it). Returns as ParseDisplayCommandLine does.
int ParseGalleryCommandLine(int argc, char** argv, const char* about, const GalleryEffect** only);

// Prepares every effect; false, after SetError and with everything released,
// when one cannot be prepared. The flare data (StartUp with flares) is the caller's.
bool PrepareGallery(const SurfaceSlotArray& slots, SDL_Surface* flareSprite);
// Releases every effect.
void FreeGallery();

// One frame of `effect`, `timeMs` milliseconds after the effect began:
// FrameTime becomes `timeMs`, and the effect draws at that time.
void DrawGalleryFrame(const GalleryEffect& effect, int32_t timeMs, SDL_Surface* screen);

// The window's title while `effect` is on screen: "ekudemo-gallery: NAME".
void ShowGalleryTitle(const GalleryEffect& effect);

// Shows the effects in turn from the first, each for GalleryEffectMs, and
// ends after the last; with `only`, that effect until the end. Space or the
// right arrow steps to the next at once (after the last, the first). Escape,
// closing the window or the end of the music ends it.
int RunGallery(const GalleryEffect* only);

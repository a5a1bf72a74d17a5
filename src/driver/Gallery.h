// The gallery: the three effects that the greeting's timeline never shows,
// one after another, with the greeting's music.
#pragma once

#include "driver/Demo.h"

#include <cstdint>

enum GalleryEffect : int { GalleryTunnel, GalleryFlares, GalleryWobble, GalleryEffectCount };

// How long the gallery shows each effect.
inline constexpr int32_t GalleryEffectMs = 10000;

// "tunnel", "flares" or "wobble"; -1 for any other name.
int FindGalleryEffect(const char* name);

// Builds what the frames need from the loaded slot pictures (the background
// in slot 0, the texture in slot 7) and the flare sprite: the tunnel tables,
// the tunnel's overlay, the wobble's source and a 640x480 working frame.
// The flare data (PrepareGlow, FillFlarePoints) is the caller's. False, with
// a message on standard error, when something is missing.
bool PrepareGallery(const SurfaceSlotArray& slots, SDL_Surface* flareSprite);
void FreeGallery();

// One frame of `effect`, `timeMs` milliseconds after the effect began, on a
// 320x200x32 surface. Sets FrameTime, which the effects read.
void DrawGalleryFrame(int effect, int32_t timeMs, SDL_Surface* screen);

int RunGallery(int argc, char** argv);

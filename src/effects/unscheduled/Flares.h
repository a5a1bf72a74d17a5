// Flare particles: a fixed cloud of 500 points turned about three axes by
// angles that swing with FrameTime; every point is stamped with a 64x64 flare
// sprite whose brightness follows its depth, the flares summed with
// saturation in an 8-bit glow buffer, and that buffer shown as grey over the
// whole 320x200 screen. Start-up prepares the points, the grey ramp and the
// glow buffer.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

struct FlarePoint {
    float x, y, z;
};

inline constexpr int FlareCount = 500;

extern std::array<FlarePoint, FlareCount> FlarePoints; // filled at start-up from rand()
extern std::array<uint32_t, 256> GreyRamp;             // intensity i -> grey word
extern uint8_t* GlowBuffer; // 320x200 intensities, all zero between frames

// Start-up preparation: the zeroed glow buffer and the grey ramp.
void PrepareGlow();
// Start-up preparation: three rand() calls per point, x, y then z.
void FillFlarePoints();
void FreeGlow();

// One frame of additive grey flares over the whole 320x200 screen.
void DrawFlares(SDL_Surface* sprite, SDL_Surface* screen, int32_t pointCount);

#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

struct FlarePoint {
    float x, y, z;
};

inline constexpr int FlareCount = 500;

extern std::array<FlarePoint, FlareCount> FlarePoints;        // filled at start-up from rand()
extern std::array<FlarePoint, FlareCount> RotatedFlarePoints; // the last frame's positions
extern std::array<uint32_t, 256> GreyRamp;                    // intensity i -> grey word
extern uint8_t* GlowBuffer; // 320x200 intensities, all zero between frames

// Start-up preparation: the zeroed glow buffer and the grey ramp.
void PrepareGlow();
// Start-up preparation: three rand() calls per point, x, y then z.
void FillFlarePoints();
void FreeGlow();

// One frame of additive grey flares over the whole 320x200 screen.
void DrawFlares(SDL_Surface* sprite, SDL_Surface* screen, int32_t pointCount);

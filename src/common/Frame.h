// The frame every program draws: its size on the 320x200 display, and its
// time. The frame routines of the greeting, the gallery and the capture set
// FrameTime before anything is drawn; the effects read it where they animate.
#pragma once

#include <cstdint>

inline constexpr int ScreenWidth = 320;
inline constexpr int ScreenHeight = 200;

// Milliseconds of the frame being drawn; the effects' animation time.
extern int32_t FrameTime;

// The system's millisecond clock: CLOCK_MONOTONIC in milliseconds, as a
// signed 32-bit value.
int32_t MilliClock();

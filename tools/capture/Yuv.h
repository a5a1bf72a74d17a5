// The 320x200 screen as an encoder's picture: BT.601 studio-range Y, U and V,
// each screen pixel enlarged to a K x K block of a 4:2:0 frame.
#pragma once

#include "driver/Demo.h"

#include <SDL.h>

#include <array>
#include <cstdint>

struct AVFrame;

// The screen in Y, U and V, one value per screen pixel.
struct YuvScreen {
    std::array<uint8_t, ScreenWidth * ScreenHeight> luma{}, blue{}, red{};
};

// Converts a 32-bit 0x00RRGGBB screen of ScreenWidth x ScreenHeight pixels.
void ScreenToYuv(SDL_Surface* screen, YuvScreen& yuv);
// Fills a YUV420P frame of (ScreenWidth * scale) x (ScreenHeight * scale),
// scale 1 to 8.
void FillPicture(const YuvScreen& yuv, int scale, AVFrame* picture);

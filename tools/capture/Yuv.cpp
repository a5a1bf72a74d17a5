#include "capture/Yuv.h"

#include "image/Surface.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <cstddef>
#include <cstring>

// BT.601 studio range, as H.264 players expect without further notice.
void ScreenToYuv(SDL_Surface* screen, YuvScreen& yuv) {
    SDL_LockSurface(screen);
    for (int y = 0; y < ScreenHeight; ++y) {
        const uint32_t* row = PixelRow(screen, y);
        for (int x = 0; x < ScreenWidth; ++x) {
            const int r = int(row[x] >> 16 & 0xFF), g = int(row[x] >> 8 & 0xFF),
                      b = int(row[x] & 0xFF);
            const size_t i = size_t(y) * ScreenWidth + size_t(x);
            yuv.luma[i] = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            yuv.blue[i] = uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            yuv.red[i] = uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    }
    SDL_UnlockSurface(screen);
}

// Converting the 320x200 screen once and copying blocks is much cheaper than
// converting the enlarged picture. A chroma sample covers 2x2 output pixels:
// for an odd K those can belong to different screen pixels and are averaged.
void FillPicture(const YuvScreen& yuv, int scale, AVFrame* f) {
    const int k = scale;
    const int width = ScreenWidth * k, height = ScreenHeight * k;
    int lastRow = -1;
    for (int y = 0; y < height; ++y) {
        uint8_t* line = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
        const int source = y / k;
        if (source == lastRow) {
            std::memcpy(line, line - f->linesize[0], size_t(width));
            continue;
        }
        lastRow = source;
        const uint8_t* values = &yuv.luma[size_t(source) * ScreenWidth];
        for (int x = 0; x < ScreenWidth; ++x)
            std::memset(line + x * k, values[x], size_t(k));
    }

    int lastTop = -1, lastBottom = -1;
    for (int cy = 0; cy < height / 2; ++cy) {
        uint8_t* lineU = f->data[1] + std::ptrdiff_t(cy) * f->linesize[1];
        uint8_t* lineV = f->data[2] + std::ptrdiff_t(cy) * f->linesize[2];
        const int top = 2 * cy / k, bottom = (2 * cy + 1) / k;
        if (top == lastTop && bottom == lastBottom) {
            std::memcpy(lineU, lineU - f->linesize[1], size_t(width / 2));
            std::memcpy(lineV, lineV - f->linesize[2], size_t(width / 2));
            continue;
        }
        lastTop = top;
        lastBottom = bottom;
        const size_t t = size_t(top) * ScreenWidth, b = size_t(bottom) * ScreenWidth;
        for (int cx = 0; cx < width / 2; ++cx) {
            const size_t l = size_t(2 * cx / k), r = size_t((2 * cx + 1) / k);
            lineU[cx] = uint8_t(
                (yuv.blue[t + l] + yuv.blue[t + r] + yuv.blue[b + l] + yuv.blue[b + r] + 2) >> 2);
            lineV[cx] = uint8_t(
                (yuv.red[t + l] + yuv.red[t + r] + yuv.red[b + l] + yuv.red[b + r] + 2) >> 2);
        }
    }
}

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
        const uint32_t* __restrict row = PixelRow(screen, y);
        const size_t at = size_t(y) * ScreenWidth;
        uint8_t* __restrict luma = &yuv.luma[at];
        uint8_t* __restrict blue = &yuv.blue[at];
        uint8_t* __restrict red = &yuv.red[at];
        for (int x = 0; x < ScreenWidth; ++x) {
            const int r = int(row[x] >> 16 & 0xFF), g = int(row[x] >> 8 & 0xFF),
                      b = int(row[x] & 0xFF);
            luma[x] = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            blue[x] = uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            red[x] = uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    }
    SDL_UnlockSurface(screen);
}

namespace {

// One line of K-times enlarged values.
template <int K>
void EnlargeLine(const uint8_t* __restrict values, uint8_t* __restrict line, int count) {
    for (int x = 0; x < count; ++x)
        for (int j = 0; j < K; ++j)
            line[x * K + j] = values[x];
}

// A chroma line: each sample the mean of the 2x2 output pixels it covers,
// which for an even K all belong to one screen pixel.
template <int K>
void ChromaLine(const uint8_t* __restrict top, const uint8_t* __restrict bottom,
                uint8_t* __restrict line) {
    constexpr int Width = ScreenWidth * K / 2;
    for (int cx = 0; cx < Width; ++cx) {
        const int l = 2 * cx / K, r = (2 * cx + 1) / K;
        line[cx] = uint8_t((top[l] + top[r] + bottom[l] + bottom[r] + 2) >> 2);
    }
}

// Each output line is made once and copied to the lines that repeat it.
template <int K> void Fill(const YuvScreen& yuv, AVFrame* f) {
    constexpr int Width = ScreenWidth * K, Height = ScreenHeight * K;
    for (int y = 0; y < Height; ++y) {
        uint8_t* line = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
        if (y % K != 0)
            std::memcpy(line, line - f->linesize[0], size_t(Width));
        else
            EnlargeLine<K>(&yuv.luma[size_t(y / K) * ScreenWidth], line, ScreenWidth);
    }
    int lastTop = -1, lastBottom = -1;
    for (int cy = 0; cy < Height / 2; ++cy) {
        uint8_t* lineU = f->data[1] + std::ptrdiff_t(cy) * f->linesize[1];
        uint8_t* lineV = f->data[2] + std::ptrdiff_t(cy) * f->linesize[2];
        const int top = 2 * cy / K, bottom = (2 * cy + 1) / K;
        if (top == lastTop && bottom == lastBottom) {
            std::memcpy(lineU, lineU - f->linesize[1], size_t(Width / 2));
            std::memcpy(lineV, lineV - f->linesize[2], size_t(Width / 2));
            continue;
        }
        lastTop = top;
        lastBottom = bottom;
        const size_t t = size_t(top) * ScreenWidth, b = size_t(bottom) * ScreenWidth;
        if constexpr (K % 2 == 0) {
            EnlargeLine<K / 2>(&yuv.blue[t], lineU, ScreenWidth);
            EnlargeLine<K / 2>(&yuv.red[t], lineV, ScreenWidth);
        } else {
            ChromaLine<K>(&yuv.blue[t], &yuv.blue[b], lineU);
            ChromaLine<K>(&yuv.red[t], &yuv.red[b], lineV);
        }
    }
}

} // namespace

// Converting the 320x200 screen once and copying blocks is much cheaper than
// converting the enlarged picture. A chroma sample covers 2x2 output pixels:
// for an odd K those can belong to different screen pixels and are averaged.
void FillPicture(const YuvScreen& yuv, int scale, AVFrame* f) {
    switch (scale) {
    case 1:
        return Fill<1>(yuv, f);
    case 2:
        return Fill<2>(yuv, f);
    case 3:
        return Fill<3>(yuv, f);
    case 4:
        return Fill<4>(yuv, f);
    case 5:
        return Fill<5>(yuv, f);
    case 6:
        return Fill<6>(yuv, f);
    case 7:
        return Fill<7>(yuv, f);
    case 8:
        return Fill<8>(yuv, f);
    }
}

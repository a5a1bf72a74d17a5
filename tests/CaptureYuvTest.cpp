// The screen as the encoder's picture: the colour conversion and the K x K
// enlargement, pixel for pixel against the plain formulas, for every scale.
#include "capture/Yuv.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/frame.h>
}

#include <random>

namespace {

// Pixels of `frame` that are not the screen's values enlarged K times; a
// chroma sample is the rounded mean of the 2x2 pixels it covers.
size_t WrongPixels(const YuvScreen& yuv, const AVFrame* frame, int k) {
    size_t wrong = 0;
    for (int y = 0; y < 200 * k; ++y)
        for (int x = 0; x < 320 * k; ++x)
            wrong += frame->data[0][y * frame->linesize[0] + x] !=
                     yuv.luma[size_t(y / k) * 320 + size_t(x / k)];
    for (int cy = 0; cy < 100 * k; ++cy)
        for (int cx = 0; cx < 160 * k; ++cx) {
            const size_t t = size_t(2 * cy / k) * 320, b = size_t((2 * cy + 1) / k) * 320;
            const size_t l = size_t(2 * cx / k), r = size_t((2 * cx + 1) / k);
            for (int plane : {1, 2}) {
                const auto& v = plane == 1 ? yuv.blue : yuv.red;
                const int mean = (v[t + l] + v[t + r] + v[b + l] + v[b + r] + 2) >> 2;
                wrong += frame->data[plane][cy * frame->linesize[plane] + cx] != mean;
            }
        }
    return wrong;
}

TEST(CaptureYuv, EveryScaleMatchesThePlainFormulas) {
    SurfacePtr screen = MakeSurface32(320, 200);
    std::mt19937 random(7);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            // Flat blocks with noise between them, as pixel art and the twister give.
            Pixel32(screen.get(), x, y) =
                (x / 8 + y / 8) % 3 ? uint32_t(random()) & 0xFFFFFF : 0x00FF8000;
    YuvScreen yuv;
    ScreenToYuv(screen.get(), yuv);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint32_t p = Pixel32(screen.get(), x, y);
            const int r = int(p >> 16 & 0xFF), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
            const size_t i = size_t(y) * 320 + size_t(x);
            ASSERT_EQ(yuv.luma[i], ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            ASSERT_EQ(yuv.blue[i], ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            ASSERT_EQ(yuv.red[i], ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }

    for (int k = 1; k <= 8; ++k) {
        AVFrame* frame = av_frame_alloc();
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = 320 * k;
        frame->height = 200 * k;
        ASSERT_EQ(av_frame_get_buffer(frame, 0), 0);
        FillPicture(yuv, k, frame);
        EXPECT_EQ(WrongPixels(yuv, frame, k), 0u) << "scale " << k;
        av_frame_free(&frame);
    }
}

} // namespace

// The screen as the encoder's picture: the colour conversion and the K x K
// enlargement with 2x2 chroma means, pixel for pixel against known hashes for
// every scale.
#include "capture/Yuv.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/frame.h>
}

#include <random>

namespace {

// The visible bytes of each plane, row by row (the padding is not ours).
uint64_t PictureHash(const AVFrame* frame) {
    uint64_t hash = Hash(nullptr, 0);
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < frame->height >> (plane ? 1 : 0); ++y)
            hash = Hash(frame->data[plane] + y * frame->linesize[plane],
                        size_t(frame->width >> (plane ? 1 : 0)), hash);
    return hash;
}

TEST(CaptureYuv, EveryScaleIsExact) {
    SurfacePtr screen = MakeSurface32(320, 200);
    std::mt19937 random(7);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            // Flat blocks with noise between them, as pixel art and the twister give.
            Pixel32(screen.get(), x, y) =
                (x / 8 + y / 8) % 3 ? uint32_t(random()) & 0xFFFFFF : 0x00FF8000;
    YuvScreen yuv;
    ScreenToYuv(screen.get(), yuv);
    const uint64_t hashes[] = {10357104208665883800u, 7962654692115613607u, 11599999436095278787u,
                               14526360855298094501u, 2704030358509056936u, 4799123946276768971u,
                               11605532295477217353u, 557930897576674494u};
    for (int k = 1; k <= 8; ++k) {
        AVFrame* frame = av_frame_alloc();
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = 320 * k;
        frame->height = 200 * k;
        ASSERT_EQ(av_frame_get_buffer(frame, 0), 0);
        FillPicture(yuv, k, frame);
        EXPECT_EQ(PictureHash(frame), hashes[k - 1]) << "scale " << k;
        av_frame_free(&frame);
    }
}

} // namespace

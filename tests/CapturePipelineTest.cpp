// The video capture's threads, in process: every picture handed to the
// encoder is the frame drawn at its time and nothing else, in order, whether
// it was converted or handed over again as a repeat of the one before.
#include "capture/Capture.h"
#include "capture/Streams.h"
#include "capture/Video.h"
#include "capture/Yuv.h"
#include "music/Music.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace fs = std::filesystem;

namespace {

constexpr int Fps = 60;

class CapturePipeline : public ::testing::Test {
  protected:
    void SetUp() override {
        CopyDataWithFastMusic(dir.Path(), 12);
        previous = fs::current_path();
        fs::current_path(dir.Path());
    }
    void TearDown() override {
        for (AVFrame*& picture : kept)
            av_frame_free(&picture);
        fs::current_path(previous);
    }

    TempDir dir;
    fs::path previous;
    std::vector<AVFrame*> kept;
};

bool SamePicture(const AVFrame* a, const AVFrame* b) {
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane ? a->width / 2 : a->width,
                  height = plane ? a->height / 2 : a->height;
        for (int y = 0; y < height; ++y)
            if (std::memcmp(a->data[plane] + y * a->linesize[plane],
                            b->data[plane] + y * b->linesize[plane], size_t(width)) != 0)
                return false;
    }
    return true;
}

// The music rendered on to `target` stereo frames, as the capture renders it.
void RenderTo(int64_t target, int64_t& rendered) {
    std::array<int16_t, 2 * 1024> chunk;
    while (rendered < target) {
        const int want = int(std::min<int64_t>(target - rendered, 1024));
        const int got = FMUSIC_Render(SongHandle, chunk.data(), want);
        if (got <= 0) return;
        rendered += got;
    }
}

TEST_F(CapturePipeline, EveryPictureIsItsFrameInOrderRepeatsIncluded) {
    CaptureTimes times;
    ASSERT_EQ(CaptureVideoTimed(Fps, 1, 3, "out.mkv", 0, &times, &kept), 0);
    ASSERT_EQ(int64_t(kept.size()), times.frames);
    ASSERT_GT(kept.size(), 300u); // the fast module's eleven orders

    // The same frames drawn again on this thread alone, one after another.
    SurfaceSlotArray slots;
    ASSERT_TRUE(LoadGreetingData(slots, 3));
    SDL_Surface* screen = MakeFrameSurface();
    ASSERT_NE(screen, nullptr);
    AVFrame* expected = av_frame_alloc();
    expected->format = AV_PIX_FMT_YUV420P;
    expected->width = 320;
    expected->height = 200;
    ASSERT_EQ(av_frame_get_buffer(expected, 0), 0);
    YuvScreen yuv;
    int64_t rendered = 0;
    size_t wrong = 0, repeats = 0;
    for (size_t n = 0; n < kept.size(); ++n) {
        RenderTo(int64_t(n) * MixRate / Fps, rendered);
        SDL_FillRect(screen, nullptr, 0);
        ASSERT_FALSE(DrawMusicFrame(screen, slots, int32_t(n * 1000 / Fps))) << "frame " << n;
        ScreenToYuv(screen, yuv);
        FillPicture(yuv, 1, expected);
        wrong += !SamePicture(kept[n], expected);
        EXPECT_EQ(kept[n]->pts, int64_t(n));
        repeats += n > 0 && kept[n]->data[0] == kept[n - 1]->data[0];
    }
    // The capture ends exactly where the greeting does.
    RenderTo(int64_t(kept.size()) * MixRate / Fps, rendered);
    SDL_FillRect(screen, nullptr, 0);
    EXPECT_TRUE(DrawMusicFrame(screen, slots, int32_t(kept.size() * 1000 / Fps)));
    av_frame_free(&expected);
    SDL_FreeSurface(screen);
    FreeGreetingData(slots);

    EXPECT_EQ(wrong, 0u);
    // The cake stands still for an order: its frames go over as repeats,
    // and the moving scenes do not.
    EXPECT_GT(repeats, 20u);
    EXPECT_LT(repeats, kept.size() / 4);
}

} // namespace

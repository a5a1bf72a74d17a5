// The tile wobble: 32x24 tiles copied from a coded source, whole frames
// against known values.
#include "effects/unscheduled/TileWobble.h"

#include "driver/Demo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Every source pixel tells where it came from.
uint32_t Code(int x, int y) {
    return uint32_t(y << 12 | x);
}

SurfacePtr CodedSource(int width, int height) {
    SurfacePtr s = MakeSurface32(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            Pixel32(s.get(), x, y) = Code(x, y);
    return s;
}

// Frames of every size pairing, at any time, with amplitudes from none (the
// still grid) to absurd ones, which must stay inside both surfaces.
TEST(TileWobble, FramesAreExact) {
    const struct {
        int sourceW, sourceH, targetW, targetH;
        int32_t time;
        float amplitude;
        uint64_t hash;
    } cases[] = {
        {640, 480, 640, 480, 0, 0, 3040668306978973428u},
        {640, 480, 640, 480, 98765, 0, 3040668306978973428u},
        {640, 480, 640, 480, INT32_MAX, 0, 3040668306978973428u},
        {640, 480, 640, 480, 0, 10, 16358431953577074532u},
        {640, 480, 640, 480, 1234, 10, 3213414570608477394u},
        {640, 480, 320, 200, 1234, 10, 183628766476020212u},
        {100, 80, 640, 480, 0, 0, 14216112658824811054u},
        {64, 48, 50, 40, 5555, -30, 8742122710202270670u},
        {640, 480, 300, 200, 5555, 25, 3534824284564487177u},
        {640, 480, 300, 200, 5555, -30, 17398488987426406170u},
        {640, 480, 300, 200, 5555, 1e6f, 1242417985199629627u},
        {640, 480, 300, 200, 5555, -3e38f, 1242417985199629627u},
        {640, 480, 300, 200, 5555, NAN, 1242417985199629627u},
        {640, 480, 300, 200, 5555, INFINITY, 17290836621901276997u},
    };
    for (const auto& c : cases) {
        SurfacePtr source = CodedSource(c.sourceW, c.sourceH);
        SurfacePtr target = MakeSurface32(c.targetW, c.targetH);
        SDL_FillRect(target.get(), nullptr, 0x00FFFFFF);
        FrameTime = c.time;
        DrawTileWobble(source.get(), target.get(), c.amplitude);
        EXPECT_EQ(FrameHash(target.get()), c.hash) << c.time << " " << c.amplitude;
        EXPECT_EQ(FrameHash(source.get()), FrameHash(CodedSource(c.sourceW, c.sourceH).get()));
    }
}

} // namespace

#include "effects/unscheduled/Flares.h"

#include "driver/Demo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

SurfacePtr Sprite(uint8_t (*byteAt)(int r, int c)) {
    SurfacePtr s = MakeSurface8(64, 64);
    SDL_LockSurface(s.get());
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c)
            static_cast<uint8_t*>(s->pixels)[r * s->pitch + c] = byteAt(r, c);
    SDL_UnlockSurface(s.get());
    return s;
}

uint8_t PatternByte(int r, int c) {
    return uint8_t(r * 3 + c * 5 + 7);
}
uint8_t FullByte(int, int) {
    return 255;
}

bool GlowIsZero() {
    for (int i = 0; i < 64000; ++i)
        if (GlowBuffer[i] != 0) return false;
    return true;
}

// The original point whose rotation at FrameTime 0 lands near (x, y, z):
// the three turns undone (ax = sin 40, ay = 4, az = 0).
FlarePoint AtTimeZero(double x, double y, double z) {
    const double cx = std::cos(std::sin(40.0)), sx = std::sin(std::sin(40.0));
    const double cy = std::cos(4.0), sy = std::sin(4.0);
    const double x0 = x * cy + z * sy, z1 = -x * sy + z * cy;
    const double y0 = y * cx + z1 * sx, z0 = -y * sx + z1 * cx;
    return {float(x0), float(y0), float(z0)};
}

class Flares : public ::testing::Test {
  protected:
    void SetUp() override {
        PrepareGlow();
        FrameTime = 0;
        SDL_FillRect(screen.get(), nullptr, 0x00123456);
    }
    void TearDown() override { FreeGlow(); }
    SurfacePtr screen = MakeSurface32(320, 200);

    // The bounding box of the lit screen pixels; left > right when none.
    struct Box {
        int left = 320, top = 200, right = -1, bottom = -1;
    };
    Box Lit() {
        Box b;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                if (Pixel32(screen.get(), x, y) != 0) {
                    b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                    b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
                }
        return b;
    }
};

TEST_F(Flares, PreparationGivesRampZeroBufferAndRandomPoints) {
    ASSERT_NE(GlowBuffer, nullptr);
    EXPECT_TRUE(GlowIsZero());
    EXPECT_EQ(GreyRamp[0], 0u);
    EXPECT_EQ(GreyRamp[1], 0x010101u);
    EXPECT_EQ(GreyRamp[255], 0xFFFFFFu);

    // Whole numbers from -250 to 249 filling the cube; the seed decides the
    // cloud, so the same seed gives the same one.
    std::srand(77);
    FillFlarePoints();
    const auto first = FlarePoints;
    float low = 0, high = 0;
    for (const FlarePoint& p : first)
        for (float v : {p.x, p.y, p.z}) {
            ASSERT_EQ(v, std::trunc(v));
            ASSERT_GE(v, -250.0f);
            ASSERT_LE(v, 249.0f);
            low = std::min(low, v);
            high = std::max(high, v);
        }
    EXPECT_LT(low, -240.0f);
    EXPECT_GT(high, 240.0f);
    EXPECT_NE(first[0].x, first[1].x);
    std::srand(77);
    FillFlarePoints();
    EXPECT_TRUE(std::equal(first.begin(), first.end(), FlarePoints.begin(),
                           [](const FlarePoint& a, const FlarePoint& b) {
                               return a.x == b.x && a.y == b.y && a.z == b.z;
                           }));
    std::srand(78);
    FillFlarePoints();
    EXPECT_NE(first[0].x + 1000 * first[0].y, FlarePoints[0].x + 1000 * FlarePoints[0].y);
    FreeGlow();
    EXPECT_EQ(GlowBuffer, nullptr);
}

TEST_F(Flares, WorkedExampleAtTimeZero) {
    SurfacePtr sprite = Sprite(PatternByte);
    FlarePoints[0] = {200, -200, 0};
    DrawFlares(sprite.get(), screen.get(), 1);

    // Turned to (-233.359, -147.002, -62.719): level -96 at column 86, row 92
    // (not 93).
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const int r = y - 92, c = x - 86;
            uint32_t level = 0;
            if (r >= 0 && r < 64 && c >= 0 && c < 64)
                level = uint32_t(std::max(int(PatternByte(r, c)) - 96, 0));
            ASSERT_EQ(Pixel32(screen.get(), x, y), level * 0x010101u) << x << "," << y;
        }
    }
    EXPECT_TRUE(GlowIsZero());
}

TEST_F(Flares, DrawWindowRejectsColumns0And256AndRows0And136) {
    SurfacePtr sprite = Sprite(FullByte);
    struct Case {
        double x, y;
        bool drawn;
    };
    // Half a pixel from each edge, so the column and row are beyond doubt.
    const Case cases[] = {
        {-319.5, -200.5, false}, {-318.5, -200.5, true},  {-64.5, -200.5, true},
        {-63.5, -200.5, false},  {-200.5, -239.5, false}, {-200.5, -238.5, true},
        {-200.5, -104.5, true},  {-200.5, -103.5, false},
    };
    for (const Case& k : cases) {
        FlarePoints[0] = AtTimeZero(k.x, k.y, 100);
        DrawFlares(sprite.get(), screen.get(), 1);
        const Box b = Lit();
        if (!k.drawn) {
            EXPECT_GT(b.left, b.right) << k.x << "," << k.y;
            continue;
        }
        const int column = int(k.x + 320), row = int(k.y + 240);
        EXPECT_EQ(b.left, column) << k.x << "," << k.y;
        EXPECT_EQ(b.top, row) << k.x << "," << k.y;
        EXPECT_EQ(b.right, column + 63);
        EXPECT_EQ(b.bottom, row + 63);
    }
    EXPECT_TRUE(GlowIsZero());
}

TEST_F(Flares, GlowSaturatesAndNeverDarkens) {
    SurfacePtr sprite = Sprite(FullByte);
    // Two flares at level -96 each add 159: 318 is held at 255.
    FlarePoints[0] = FlarePoints[1] = {200, -200, 0};
    DrawFlares(sprite.get(), screen.get(), 2);
    EXPECT_EQ(Pixel32(screen.get(), 86, 92), 0xFFFFFFu);
    EXPECT_EQ(Pixel32(screen.get(), 149, 155), 0xFFFFFFu);
    // One bright flare at level 100: 355 is held at 255.
    FlarePoints[0] = AtTimeZero(-200.5, -150.5, 330.5);
    DrawFlares(sprite.get(), screen.get(), 1);
    EXPECT_EQ(Pixel32(screen.get(), 120, 90), 0xFFFFFFu);
    // At level -65 a byte of 50 adds nothing.
    auto dim = [](int, int) { return uint8_t(50); };
    SurfacePtr dimSprite = Sprite(dim);
    FlarePoints[0] = AtTimeZero(-200.5, -150.5, -0.5);
    DrawFlares(dimSprite.get(), screen.get(), 1);
    EXPECT_GT(Lit().left, Lit().right);
}

TEST_F(Flares, ZeroSpriteBytesNeverTouchTheBuffer) {
    // A checkerboard of zero and 200, drawn bright (level 85) many times over.
    auto checker = [](int r, int c) { return uint8_t((r + c) % 2 ? 200 : 0); };
    SurfacePtr sprite = Sprite(checker);
    for (int i = 0; i < 20; ++i)
        FlarePoints[size_t(i)] = AtTimeZero(-200.5, -150.5, 300.5);
    DrawFlares(sprite.get(), screen.get(), 20);
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c)
            ASSERT_EQ(Pixel32(screen.get(), 119 + c, 89 + r), (r + c) % 2 ? 0xFFFFFFu : 0u);
}

TEST_F(Flares, EveryCallLeavesGreyScreenAndZeroBuffer) {
    SurfacePtr sprite = Sprite(PatternByte);
    std::srand(5);
    FillFlarePoints();
    int lit = 0;
    for (int32_t time : {0, 1234, 99999, -5000, INT32_MAX, INT32_MIN}) {
        FrameTime = time;
        DrawFlares(sprite.get(), screen.get(), FlareCount);
        ASSERT_TRUE(GlowIsZero());
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 320; ++x) {
                const uint32_t p = Pixel32(screen.get(), x, y);
                ASSERT_EQ(p, (p & 0xFF) * 0x010101u) << time << ": " << x << "," << y;
                lit += p != 0;
            }
        }
    }
    EXPECT_GT(lit, 0);
}

TEST_F(Flares, SameTimeSameFrame) {
    SurfacePtr sprite = Sprite(PatternByte);
    SurfacePtr again = MakeSurface32(320, 200);
    std::srand(9);
    FillFlarePoints();
    FrameTime = 4321;
    DrawFlares(sprite.get(), screen.get(), FlareCount);
    DrawFlares(sprite.get(), again.get(), FlareCount);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(Pixel32(screen.get(), x, y), Pixel32(again.get(), x, y));
}

TEST_F(Flares, CountOfZeroOrLessShowsAndClearsTheBuffer) {
    SurfacePtr sprite = Sprite(FullByte);
    FlarePoints[0] = {200, -200, 0};
    for (int32_t count : {0, -1, INT32_MIN}) {
        GlowBuffer[5] = 7; // whatever the buffer holds is shown once
        DrawFlares(sprite.get(), screen.get(), count);
        EXPECT_EQ(Pixel32(screen.get(), 5, 0), 0x070707u);
        Pixel32(screen.get(), 5, 0) = 0;
        EXPECT_GT(Lit().left, Lit().right) << count;
        EXPECT_TRUE(GlowIsZero());
    }
}

TEST_F(Flares, CountAbove500DrawsThe500) {
    SurfacePtr sprite = Sprite(PatternByte);
    SurfacePtr all = MakeSurface32(320, 200);
    std::srand(3);
    FillFlarePoints();
    FrameTime = 777;
    DrawFlares(sprite.get(), all.get(), FlareCount);
    for (int32_t count : {501, 100000, INT32_MAX}) {
        DrawFlares(sprite.get(), screen.get(), count);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                ASSERT_EQ(Pixel32(screen.get(), x, y), Pixel32(all.get(), x, y)) << count;
    }
}

TEST_F(Flares, OddPointsAndUnusableSurfacesDrawNothingBadly) {
    SurfacePtr sprite = Sprite(FullByte);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    FlarePoints[0] = {nan, nan, nan};
    FlarePoints[1] = {inf, -inf, inf};
    FlarePoints[2] = {3e38f, -3e38f, 3e38f};
    DrawFlares(sprite.get(), screen.get(), 3);
    EXPECT_GT(Lit().left, Lit().right);

    auto expectUntouched = [&](SDL_Surface* spr, SDL_Surface* dst) {
        SDL_FillRect(dst, nullptr, 0x00123456);
        DrawFlares(spr, dst, FlareCount);
        for (int y = 0; y < dst->h; ++y)
            for (int x = 0; x < dst->w; ++x)
                ASSERT_EQ(Pixel32(dst, x, y), 0x00123456u);
    };
    SurfacePtr smallScreen = MakeSurface32(320, 199), narrowScreen = MakeSurface32(319, 200);
    SurfacePtr smallSprite = MakeSurface8(63, 64), wideSprite = MakeSurface32(64, 64);
    expectUntouched(sprite.get(), smallScreen.get());
    expectUntouched(sprite.get(), narrowScreen.get());
    expectUntouched(smallSprite.get(), screen.get());
    expectUntouched(wideSprite.get(), screen.get());
    DrawFlares(nullptr, screen.get(), 1);
    DrawFlares(sprite.get(), nullptr, 1);
    FreeGlow();
    expectUntouched(sprite.get(), screen.get());
}

} // namespace

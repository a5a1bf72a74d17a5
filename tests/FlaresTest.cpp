// The flares: the point cloud, its rotation, the glow buffer and the grey
// frame it leaves.
#include "effects/unscheduled/Flares.h"

#include "driver/Demo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

SurfacePtr Sprite(uint8_t (*byteAt)(int r, int c)) {
    SurfacePtr s = MakeSurface8(64, 64);
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c)
            static_cast<uint8_t*>(s->pixels)[r * s->pitch + c] = byteAt(r, c);
    return s;
}

uint8_t PatternByte(int r, int c) { // zero now and then
    return uint8_t(r * 3 + c * 5 + 7);
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
    SurfacePtr pattern = Sprite(PatternByte);
    SurfacePtr full = Sprite([](int, int) { return uint8_t(255); });
};

// Points placed through the turns at time 0, half a pixel from each edge of
// the window (columns 1 to 255, rows 1 to 135), so the column and row are
// beyond doubt: the whole sprite there, or nothing.
TEST_F(Flares, OnlyColumns1To255AndRows1To135AreDrawn) {
    const struct {
        double x, y;
        bool drawn;
    } cases[] = {{-319.5, -200.5, false}, {-318.5, -200.5, true},  {-64.5, -200.5, true},
                 {-63.5, -200.5, false},  {-200.5, -239.5, false}, {-200.5, -238.5, true},
                 {-200.5, -104.5, true},  {-200.5, -103.5, false}};
    for (const auto& k : cases) {
        FlarePoints[0] = AtTimeZero(k.x, k.y, 100);
        DrawFlares(full.get(), screen.get(), 1);
        const int column = int(k.x + 320), row = int(k.y + 240);
        int lit = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const bool inside = x >= column && x < column + 64 && y >= row && y < row + 64;
                lit += Pixel32(screen.get(), x, y) != 0;
                ASSERT_EQ(Pixel32(screen.get(), x, y) != 0, k.drawn && inside) << k.x << "," << k.y;
            }
        EXPECT_EQ(lit, k.drawn ? 64 * 64 : 0);
    }
}

// Whole frames of the seeded cloud: the turns at any time, flares adding up
// and held at white, zero sprite bytes adding nothing, at most 500 points.
TEST_F(Flares, CloudFramesAreExact) {
    const struct {
        unsigned seed;
        int32_t time, count;
        uint64_t hash;
    } cases[] = {{5, 0, FlareCount, 5942447381449623117u},
                 {5, 1234, FlareCount, 14352281974148277157u},
                 {5, 99999, FlareCount, 564376394807888056u},
                 {5, -5000, FlareCount, 10987689995748716008u},
                 {5, INT32_MAX, FlareCount, 11358982993847226926u},
                 {5, INT32_MIN, FlareCount, 3087706337702206873u},
                 {3, 777, FlareCount, 4331125326052278474u},
                 {3, 777, 501, 4331125326052278474u},
                 {3, 777, INT32_MAX, 4331125326052278474u},
                 {3, 777, 20, 17594669358079211733u},
                 {3, 777, 0, 6504468058171988706u},
                 {3, 777, INT32_MIN, 6504468058171988706u}};
    for (const auto& c : cases) {
        std::srand(c.seed);
        FillFlarePoints();
        FrameTime = c.time;
        DrawFlares(pattern.get(), screen.get(), c.count);
        EXPECT_EQ(FrameHash(screen.get()), c.hash) << c.seed << " " << c.time << " " << c.count;
        EXPECT_TRUE(GlowIsZero());
    }
    // The buffer is shown as it is, and cleared, even with no points.
    GlowBuffer[5] = 7;
    DrawFlares(pattern.get(), screen.get(), 0);
    EXPECT_EQ(Pixel32(screen.get(), 5, 0), 0x070707u);
    EXPECT_TRUE(GlowIsZero());
    // Whole numbers from -250 to 249, x, y, z in turn from rand().
    std::srand(77);
    FillFlarePoints();
    EXPECT_EQ(Hash(FlarePoints.data(), sizeof FlarePoints), 215732334612699337u);
}

TEST_F(Flares, OddPointsAndUnusableSurfacesDrawNothingBadly) {
    const float inf = std::numeric_limits<float>::infinity();
    FlarePoints[0] = {NAN, NAN, NAN};
    FlarePoints[1] = {inf, -inf, inf};
    FlarePoints[2] = {3e38f, -3e38f, 3e38f};
    DrawFlares(full.get(), screen.get(), 3);
    EXPECT_EQ(FrameHash(screen.get()), FrameHash(MakeSurface32(320, 200).get()));

    SurfacePtr low = MakeSurface32(320, 199), narrow = MakeSurface32(319, 200),
               smallSprite = MakeSurface8(63, 64), wideSprite = MakeSurface32(64, 64);
    const struct {
        SDL_Surface *sprite, *screen;
    } cases[] = {{full.get(), low.get()},           {full.get(), narrow.get()},
                 {smallSprite.get(), screen.get()}, {wideSprite.get(), screen.get()},
                 {nullptr, screen.get()},           {full.get(), nullptr}};
    for (const auto& c : cases) {
        for (SDL_Surface* s : {screen.get(), low.get(), narrow.get()})
            SDL_FillRect(s, nullptr, 0x00123456);
        DrawFlares(c.sprite, c.screen, FlareCount);
        EXPECT_EQ(Pixel32(c.screen ? c.screen : low.get(), 0, 0), 0x00123456u);
    }
    FreeGlow();
    DrawFlares(full.get(), screen.get(), FlareCount);
    EXPECT_EQ(Pixel32(screen.get(), 0, 0), 0x00123456u);
}

} // namespace

#include "effects/unscheduled/TileWobble.h"

#include "driver/Demo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr uint32_t Untouched = 0x00FFFFFF;

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

SurfacePtr Blank(int width, int height) {
    SurfacePtr s = MakeSurface32(width, height);
    SDL_FillRect(s.get(), nullptr, Untouched);
    return s;
}

// The code's own place, when it is one of a width x height source.
bool IsCodeOf(uint32_t word, int width, int height) {
    return int(word & 0xFFF) < width && int(word >> 12) < height;
}

// Tile (c, r) of the still grid: a 21x21 copy from (20c, 20r) moved by d
// both ways, cut to both sizes.
void CopyStillTile(std::vector<uint32_t>& frame, int c, int r, int d, int sourceW, int sourceH,
                   int targetW, int targetH) {
    for (int dy = 0; dy < 21; ++dy)
        for (int dx = 0; dx < 21; ++dx) {
            const int sx = 20 * c + dx, sy = 20 * r + dy;
            const int tx = 20 * c + d + dx, ty = 20 * r + d + dy;
            if (sx < sourceW && sy < sourceH && tx >= 0 && ty >= 0 && tx < targetW && ty < targetH)
                frame[size_t(ty * targetW + tx)] = Code(sx, sy);
        }
}

// With no amplitude every tile is a 21x21 copy from (20c, 20r) to
// (20c + d, 20r + d), d by column as listed, later tiles on top.
std::vector<uint32_t> StillGrid(int sourceW, int sourceH, int targetW, int targetH) {
    std::vector<uint32_t> frame(size_t(targetW * targetH), Untouched);
    for (int r = 0; r < 24; ++r)
        for (int c = 0; c < 32; ++c) {
            const int d = c <= 4 ? 2 : c <= 10 ? 1 : c <= 21 ? 0 : c <= 27 ? -1 : -2;
            CopyStillTile(frame, c, r, d, sourceW, sourceH, targetW, targetH);
        }
    return frame;
}

void ExpectFrame(SDL_Surface* target, const std::vector<uint32_t>& want) {
    for (int y = 0; y < target->h; ++y)
        for (int x = 0; x < target->w; ++x)
            ASSERT_EQ(Pixel32(target, x, y), want[size_t(y * target->w + x)]) << x << "," << y;
}

TEST(TileWobble, NoAmplitudeGivesTheStillGridAtAnyTime) {
    SurfacePtr source = CodedSource(640, 480);
    const std::vector<uint32_t> want = StillGrid(640, 480, 640, 480);
    for (int32_t time : {0, 98765, -4321, INT32_MAX}) {
        SurfacePtr target = Blank(640, 480);
        FrameTime = time;
        DrawTileWobble(source.get(), target.get(), 0.0f);
        ExpectFrame(target.get(), want);
        EXPECT_EQ(Pixel32(target.get(), 2, 2), Code(0, 0));         // tile (0, 0)
        EXPECT_EQ(Pixel32(target.get(), 618, 0), Code(620, 2));     // tile (31, 0), top clipped
        EXPECT_EQ(Pixel32(target.get(), 618, 458), Code(620, 460)); // tile (31, 23)
        EXPECT_EQ(Pixel32(target.get(), 0, 0), Untouched);
    }
}

TEST(TileWobble, AmplitudeTenAtTimeZero) {
    SurfacePtr source = CodedSource(640, 480);
    SurfacePtr target = Blank(640, 480);
    FrameTime = 0;
    DrawTileWobble(source.get(), target.get(), 10.0f);
    // Tile (0, 0): 18x18 from (20, 10) to (-5, -5).
    EXPECT_EQ(Pixel32(target.get(), 0, 0), Code(25, 15));
    // Tile (1, 0): 16x16 from (40, 11) to (10, -10).
    EXPECT_EQ(Pixel32(target.get(), 10, 0), Code(40, 21));
    // Tile (31, 23), the last: 30x30 from (625, 466) to (595, 435), cut to
    // 15x14 by the source's edges.
    EXPECT_EQ(Pixel32(target.get(), 595, 435), Code(625, 466));
    EXPECT_EQ(Pixel32(target.get(), 609, 448), Code(639, 479));
    EXPECT_NE(Pixel32(target.get(), 610, 440), Code(640, 471));
    EXPECT_NE(Pixel32(target.get(), 600, 449), Code(630, 480));
}

TEST(TileWobble, SmallTargetSeesTheSameTiles) {
    SurfacePtr source = CodedSource(640, 480);
    SurfacePtr big = Blank(640, 480), small = Blank(320, 200);
    FrameTime = 1234;
    DrawTileWobble(source.get(), big.get(), 10.0f);
    DrawTileWobble(source.get(), small.get(), 10.0f);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(Pixel32(small.get(), x, y), Pixel32(big.get(), x, y)) << x << "," << y;
}

TEST(TileWobble, SmallSourceIsClipped) {
    SurfacePtr source = CodedSource(100, 80);
    SurfacePtr target = Blank(640, 480);
    FrameTime = 0;
    DrawTileWobble(source.get(), target.get(), 0.0f);
    ExpectFrame(target.get(), StillGrid(100, 80, 640, 480));
}

// Whatever the amplitude, every pixel the wobble writes is copied from the
// source, the source is left as it was, and a missing surface draws nothing.
// (Under the sanitizers this also shows that no blit reaches outside.)
TEST(TileWobble, WildAmplitudesOnlyCopyFromInsideTheSource) {
    SurfacePtr source = CodedSource(64, 48);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float a : {25.0f, -30.0f, 1e6f, -3e38f, nan, inf}) {
        SurfacePtr target = Blank(50, 40);
        FrameTime = 5555;
        DrawTileWobble(source.get(), target.get(), a);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x) {
                const uint32_t word = Pixel32(target.get(), x, y);
                ASSERT_TRUE(word == Untouched || IsCodeOf(word, 64, 48))
                    << "amplitude " << a << " at " << x << "," << y;
            }
    }
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(Pixel32(source.get(), x, y), Code(x, y));
    SurfacePtr target = Blank(50, 40);
    DrawTileWobble(nullptr, target.get(), 1.0f);
    DrawTileWobble(source.get(), nullptr, 1.0f);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(Pixel32(target.get(), x, y), Untouched);
}

} // namespace

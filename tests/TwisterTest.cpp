// The twister: each mask row's first run turned into the two front faces of
// a swaying square, textured from the same texture row.
#include "effects/Twister.h"

#include "driver/Demo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t Untouched = 0x00ABCDEF;

// Every texel tells its row and column apart.
uint32_t Texel(int column, int row) {
    return 0x00800000u | uint32_t(row) << 8 | uint32_t(column);
}

// Surfaces larger than the effect needs, so that rows are addressed at each
// surface's own pitch; nothing beyond 320x200 may change.
class Twister : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int y = 0; y < 260; ++y)
            for (int x = 0; x < 270; ++x)
                Pixel32(texture.get(), x, y) = x < 256 && y < 256 ? Texel(x, y) : 0xBAD;
        SDL_FillRect(screen.get(), nullptr, Untouched);
        FrameTime = 0;
    }
    void SetRun(int row, int from, int toInclusive) {
        for (int x = from; x <= toInclusive; ++x)
            Pixel32(mask.get(), x, row) = 0x00FFFFFF;
    }
    void Draw(int32_t xShift) { DrawTwister(mask.get(), texture.get(), screen.get(), xShift); }
    int Changed() {
        int count = 0;
        for (int y = 0; y < 210; ++y)
            for (int x = 0; x < 340; ++x)
                count += Pixel32(screen.get(), x, y) != Untouched;
        return count;
    }
    SurfacePtr mask = MakeSurface32(330, 210), texture = MakeSurface32(270, 260),
               screen = MakeSurface32(340, 210);
};

// Each face shows texture columns (u >> 8) & 255 of its row, u stepping by
// (65535 / width) / 4 from where a cut at the left edge leaves it.
TEST_F(Twister, FacesStretchTheTextureRow) {
    const struct {
        int row, from, to, from2, to2; // the second run, if any, is ignored
        int32_t time, shift;
        struct {
            int x0, x1;
            uint32_t u, step;
        } faces[2];
        int changed;
    } cases[] = {
        {77, 100, 149, 0, -1, 0, 0, {{50, 100, 0, 327}, {100, 150, 0, 327}}, 100}, // upright
        {5, 100, 109, 0, -1, 314, 0, {{170, 184, 0, 1170}, {}}, 14}, // a tie: the front face only
        {30, 20, 69, 0, -1, 0, -40, {{0, 30, 6540, 327}, {}}, 30},
        {199, 250, 299, 0, -1, 0, 50, {{250, 300, 0, 327}, {300, 320, 0, 327}}, 70},
        {60, 10, 19, 40, 49, 0, 0, {{0, 10, 0, 1638}, {10, 20, 0, 1638}}, 20},
        {100, 100, 149, 0, -1, 1885, 0, {}, 0}, // swung off the left edge
        {10, 0, 319, 0, -1, 0, 0, {}, 0},       // runs that reach x = 319 never end
        {11, 300, 319, 0, -1, 0, 0, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        SDL_FillRect(mask.get(), nullptr, 0);
        SDL_FillRect(screen.get(), nullptr, Untouched);
        SetRun(c.row, c.from, c.to);
        SetRun(c.row, c.from2, c.to2);
        FrameTime = c.time;
        Draw(c.shift);
        for (const auto& f : c.faces) {
            uint32_t u = f.u;
            for (int x = f.x0; x < f.x1; ++x, u += f.step)
                ASSERT_EQ(Pixel32(screen.get(), x, c.row), Texel(int(u >> 8 & 0xFF), c.row)) << x;
        }
        EXPECT_EQ(Changed(), c.changed);
    }
}

// A letter's rows, some with a second run, at any angle and shift.
TEST_F(Twister, LetterFramesAreExact) {
    for (int y = 20; y < 180; ++y) {
        SetRun(y, 100 + y / 4, 140 + y / 4 - y % 7);
        if (y % 5 == 0) SetRun(y, 200, 210);
    }
    const struct {
        int32_t time, shift;
        uint64_t hash;
    } cases[] = {{0, 0, 8369351824798496829u},         {777, 7, 13610447360023982610u},
                 {123456, -30, 16104705846722503528u}, {-99999, 3, 15245086056743566872u},
                 {0, INT32_MIN, 6789558720515624459u}, {0, INT32_MAX, 6789558720515624459u}};
    for (const auto& c : cases) {
        SDL_FillRect(screen.get(), nullptr, Untouched);
        FrameTime = c.time;
        Draw(c.shift);
        EXPECT_EQ(FrameHash(screen.get()), c.hash) << c.time << " " << c.shift;
    }
}

TEST_F(Twister, SurfacesOfTheWrongSizeOrDepthAreLeftAlone) {
    for (int y = 0; y < 200; ++y)
        SetRun(y, 100, 149);
    SurfacePtr narrowMask = MakeSurface32(319, 200), lowMask = MakeSurface32(320, 199),
               smallTexture = MakeSurface32(255, 256), shallow = MakeSurface8(320, 200);
    SDL_Rect run = {100, 0, 50, 200};
    SDL_FillRect(narrowMask.get(), &run, 0x00FFFFFF);
    SDL_FillRect(lowMask.get(), &run, 0x00FFFFFF);
    DrawTwister(narrowMask.get(), texture.get(), screen.get(), 0);
    DrawTwister(lowMask.get(), texture.get(), screen.get(), 0);
    DrawTwister(mask.get(), smallTexture.get(), screen.get(), 0);
    DrawTwister(mask.get(), texture.get(), shallow.get(), 0);
    DrawTwister(nullptr, texture.get(), screen.get(), 0);
    EXPECT_EQ(Changed(), 0);
}

} // namespace

// The twister: each mask row's first run turned into the two front faces of
// a swaying square, textured from the same texture row.
#include "effects/Twister.h"

#include "driver/Demo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t Untouched = 0x00ABCDEF;

// Surfaces larger than the effect needs, so that rows are addressed at each
// surface's own pitch; nothing beyond 320x200 may change.
class Twister : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int y = 0; y < 260; ++y)
            for (int x = 0; x < 270; ++x)
                Pixel32(texture.get(), x, y) = x < 256 && y < 256 ? 0x800000u | y << 8 | x : 0xBAD;
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

// A letter's rows, some with a second run, at any angle (at 314 two corners
// tie: the front face alone) and shift, swung off either edge or cut by it.
TEST_F(Twister, LetterFramesAreExact) {
    for (int y = 20; y < 180; ++y) {
        SetRun(y, 100 + y / 4, 140 + y / 4 - y % 7);
        if (y % 5 == 0) SetRun(y, 200, 210); // ignored
    }
    SetRun(10, 0, 319); // runs that reach x = 319 never end
    SetRun(11, 300, 319);
    const struct {
        int32_t time, shift;
        uint64_t hash;
    } cases[] = {{0, 0, 8369351824798496829u},         {777, 7, 13610447360023982610u},
                 {123456, -30, 16104705846722503528u}, {-99999, 3, 15245086056743566872u},
                 {314, 0, 6052897340501376593u},       {1885, 0, 6789558720515624459u},
                 {0, -40, 9099738434137964014u},       {0, 50, 244423179356152427u},
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

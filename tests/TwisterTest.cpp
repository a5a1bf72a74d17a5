#include "effects/Twister.h"
#include "driver/Demo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t Untouched = 0x00ABCDEF;

// Every texel tells its row and column apart.
uint32_t Texel(int column, int row) {
    return 0x00800000u | uint32_t(row) << 8 | uint32_t(column);
}

class Twister : public ::testing::Test {
  protected:
    void SetUp() override {
        mask = MakeSurface32(320, 200);
        texture = MakeSurface32(256, 256);
        screen = MakeSurface32(320, 200);
        ASSERT_TRUE(mask && texture && screen);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                Pixel32(texture.get(), x, y) = Texel(x, y);
        SDL_FillRect(screen.get(), nullptr, Untouched);
        FrameTime = 0;
    }

    void SetRun(int row, int from, int toInclusive) {
        for (int x = from; x <= toInclusive; ++x)
            Pixel32(mask.get(), x, row) = 0x00FFFFFF;
    }

    void Draw(int32_t xShift) { DrawTwister(mask.get(), texture.get(), screen.get(), xShift); }

    uint32_t At(int x, int y) { return Pixel32(screen.get(), x, y); }

    // The texture columns a face shows, pixel by pixel, from its first value
    // of u and its step.
    void ExpectFace(int row, int x0, int x1, uint32_t u, uint32_t step) {
        for (int x = x0; x < x1; ++x, u += step)
            ASSERT_EQ(At(x, row), Texel(int((u >> 8) & 0xFF), row)) << "x = " << x;
    }

    // Pixels of the screen that differ from the fill.
    int Changed() {
        int count = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                count += At(x, y) != Untouched;
        return count;
    }

    SurfacePtr mask, texture, screen;
};

TEST_F(Twister, Upright50PixelRunMakesTwoFacesMeetingAtTheRunStart) {
    SetRun(77, 100, 149);
    Draw(0);
    ExpectFace(77, 50, 100, 0, 327);
    ExpectFace(77, 100, 150, 0, 327);
    EXPECT_EQ(At(50, 77), Texel(0, 77));
    EXPECT_EQ(At(99, 77), Texel(62, 77));
    EXPECT_EQ(At(149, 77), Texel(62, 77));
    EXPECT_EQ(Changed(), 100);
}

TEST_F(Twister, QuarterTurnTieDrawsOnlyTheFrontFace) {
    FrameTime = 314;
    SetRun(5, 100, 109);
    Draw(0);
    ExpectFace(5, 170, 184, 0, 1170);
    EXPECT_EQ(Changed(), 14);
}

TEST_F(Twister, LeftCutStartsTheTexturePartWay) {
    SetRun(30, 20, 69);
    Draw(-40);
    ExpectFace(30, 0, 30, 6540, 327);
    EXPECT_EQ(At(0, 30), Texel(25, 30));
    EXPECT_EQ(At(29, 30), Texel(62, 30));
    EXPECT_EQ(Changed(), 30);
}

TEST_F(Twister, RightCutStopsAtTheLastColumn) {
    SetRun(199, 250, 299);
    Draw(50);
    ExpectFace(199, 250, 300, 0, 327);
    ExpectFace(199, 300, 320, 0, 327);
    EXPECT_EQ(At(319, 199), Texel(24, 199));
    EXPECT_EQ(Changed(), 70);
}

TEST_F(Twister, SwingOffTheLeftEdgeDrawsNothing) {
    FrameTime = 1885;
    SetRun(100, 100, 149);
    Draw(0);
    EXPECT_EQ(Changed(), 0);
}

TEST_F(Twister, RowsWithoutARunOrWithARunToTheEdgeDrawNothing) {
    SetRun(10, 0, 319);   // the whole row
    SetRun(11, 300, 319); // first run reaches x = 319
    Draw(0);
    EXPECT_EQ(Changed(), 0);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            Pixel32(mask.get(), x, y) = 0;
    Draw(0);
    EXPECT_EQ(Changed(), 0);
}

TEST_F(Twister, OnlyTheFirstRunCounts) {
    SetRun(60, 10, 19);
    SetRun(60, 40, 49);
    Draw(0);
    // s = 10, e = 20: faces 0..9 and 10..19, step (65535 / 10) / 4.
    ExpectFace(60, 0, 10, 0, 1638);
    ExpectFace(60, 10, 20, 0, 1638);
    EXPECT_EQ(Changed(), 20);
}

TEST_F(Twister, FullLetterKeepsTheLockCountsAndTheDrawnRowsOnly) {
    for (int y = 20; y < 180; ++y)
        SetRun(y, 100 + y / 4, 140 + y / 4);
    FrameTime = 123456;
    SDL_LockSurface(mask.get()); // already held by someone else
    const Uint32 before[3] = {mask->locked, texture->locked, screen->locked};
    Draw(-30);
    Draw(-30);
    EXPECT_EQ(mask->locked, before[0]);
    EXPECT_EQ(texture->locked, before[1]);
    EXPECT_EQ(screen->locked, before[2]);
    SDL_UnlockSurface(mask.get());
    for (int y : {0, 19, 180, 199})
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(At(x, y), Untouched);
    // Each drawn pixel comes from the texture row of its own screen row,
    // within its first 64 columns.
    for (int y = 20; y < 180; ++y)
        for (int x = 0; x < 320; ++x)
            if (At(x, y) != Untouched) {
                ASSERT_EQ(At(x, y) & 0xFFFFFF00u, Texel(0, y)) << x << "," << y;
                ASSERT_LT(At(x, y) & 0xFF, 64u);
            }
    EXPECT_GT(Changed(), 160 * 40);
}

// Padded rows give the same frame as packed ones.
TEST_F(Twister, RowsAreAddressedAtEachSurfacesPitch) {
    for (int y = 0; y < 200; ++y)
        SetRun(y, 60 + y / 2, 90 + y / 3);
    FrameTime = 777;
    Draw(7);

    auto padded = [](SDL_Surface* packed, std::vector<uint32_t>& store) {
        const int pitchWords = packed->w + 13;
        store.assign(size_t(pitchWords) * size_t(packed->h), 0x00123456);
        for (int y = 0; y < packed->h; ++y)
            for (int x = 0; x < packed->w; ++x)
                store[size_t(y * pitchWords + x)] = Pixel32(packed, x, y);
        return SurfacePtr(SDL_CreateRGBSurfaceFrom(store.data(), packed->w, packed->h, 32,
                                                   pitchWords * 4, 0, 0, 0, 0));
    };
    std::vector<uint32_t> maskStore, textureStore, screenStore;
    SurfacePtr wideMask = padded(mask.get(), maskStore);
    SurfacePtr wideTexture = padded(texture.get(), textureStore);
    SurfacePtr fresh = MakeSurface32(320, 200);
    SDL_FillRect(fresh.get(), nullptr, Untouched);
    SurfacePtr wideScreen = padded(fresh.get(), screenStore);
    DrawTwister(wideMask.get(), wideTexture.get(), wideScreen.get(), 7);

    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(Pixel32(wideScreen.get(), x, y), At(x, y));
    EXPECT_GT(Changed(), 0);
}

TEST_F(Twister, SurfacesOfTheWrongSizeOrDepthAreLeftAlone) {
    for (int y = 0; y < 200; ++y)
        SetRun(y, 100, 149);
    SurfacePtr smallMask = MakeSurface32(100, 100);
    SurfacePtr smallTexture = MakeSurface32(64, 64);
    SurfacePtr shallow = MakeSurface8(320, 200);
    DrawTwister(smallMask.get(), texture.get(), screen.get(), 0);
    DrawTwister(mask.get(), smallTexture.get(), screen.get(), 0);
    DrawTwister(mask.get(), texture.get(), shallow.get(), 0);
    DrawTwister(nullptr, texture.get(), screen.get(), 0);
    EXPECT_EQ(Changed(), 0);
}

TEST_F(Twister, ExtremeShiftsStayOffScreen) {
    for (int y = 0; y < 200; ++y)
        SetRun(y, 100, 149);
    Draw(INT32_MIN);
    Draw(INT32_MAX);
    EXPECT_EQ(Changed(), 0);
}

} // namespace

// The tunnel: its depth and angle tables, and the frame drawn from them
// through the overlay's window.
#include "effects/unscheduled/Tunnel.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

uint8_t Depth(int x, int y) {
    return TunnelDepth[y * 640 + x];
}
uint8_t Angle(int x, int y) {
    return TunnelAngle[y * 640 + x];
}

TEST(TunnelTables, HoldTheKnownCellsExactly) {
    BuildTunnelTables();
    BuildTunnelTables(); // the leak checker sees the first tables go
    // Depths wrap near the centre (4000 at the middle, 2828 beside it, 800
    // two cells out); the top corners lie exactly 400 away: 10, not 9.
    const struct {
        int x, y, depth, angle;
    } cells[] = {{320, 240, 160, 0}, {319, 240, 160, 128}, {639, 240, 12, 0},  {0, 240, 12, 128},
                 {320, 241, 12, 32}, {320, 239, 12, 224},  {320, 0, 16, 193},  {319, 0, 16, 191},
                 {320, 479, 16, 63}, {319, 479, 16, 65},   {639, 0, 10, 230},  {0, 0, 10, 154},
                 {639, 479, 10, 26}, {0, 479, 10, 102},    {322, 244, 32, 37}, {317, 244, 32, 91}};
    for (const auto& c : cells) {
        EXPECT_EQ(Depth(c.x, c.y), c.depth) << c.x << "," << c.y;
        EXPECT_EQ(Angle(c.x, c.y), c.angle) << c.x << "," << c.y;
    }
    // Every other cell, as the exact arithmetic gives it.
    EXPECT_EQ(Hash(TunnelDepth, 640 * 480), 3240952391986639450u);
    EXPECT_EQ(Hash(TunnelAngle, 640 * 480), 4582385226004939588u);
    FreeTunnelTables();
    EXPECT_EQ(TunnelDepth, nullptr);
}

// Larger surfaces than the effect needs, so that every row is addressed at
// its own pitch: a texture whose texel tells its row and column, and an
// overlay of zeros, words with only the fourth byte set and coded words.
class Tunnel : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BuildTunnelTables(); }
    static void TearDownTestSuite() { FreeTunnelTables(); }
    void SetUp() override {
        for (int v = 0; v < 260; ++v)
            for (int u = 0; u < 300; ++u)
                Pixel32(texture.get(), u, v) = u < 256 && v < 256 ? 0xA00000u | v << 8 | u : 0xDEAD;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 650; ++x) {
                const uint32_t words[3] = {0, 0x01000000u, uint32_t(y << 10 | x)};
                Pixel32(overlay.get(), x, y) = x < 640 ? words[(x + y) % 3] : 0xBAD;
            }
    }

    // The frame for these shifts and this window: the overlay where its
    // pixel is not zero, else the texel the tables pick; nothing beyond.
    void ExpectFrame(uint32_t depthShift, uint32_t angleShift, int32_t ox, int32_t oy) {
        for (int r = 0; r < 500; ++r)
            for (int c = 0; c < 700; ++c) {
                const int64_t x = int64_t(c) + ox, y = int64_t(r) + oy;
                const bool on = x >= 0 && x < 640 && y >= 0 && y < 480;
                uint32_t want = on ? Pixel32(overlay.get(), int(x), int(y)) : 0;
                if (c >= 640 || r >= 480) {
                    want = 0x00FFFFFF;
                } else if (!want) {
                    const uint32_t v = (Angle(c, r) + angleShift) & 255,
                                   u = (Depth(c, r) + depthShift) & 255;
                    want = 0xA00000u | v << 8 | u;
                }
                ASSERT_EQ(Pixel32(target.get(), c, r), want)
                    << ox << "," << oy << ": " << c << "," << r;
            }
    }
    SurfacePtr texture = MakeSurface32(300, 260);
    SurfacePtr target = MakeSurface32(700, 500);
    SurfacePtr overlay = MakeSurface32(650, 480);
};

// Only the shifts' low bytes count; the blit sees the window's low 16 bits,
// the pass all 32.
TEST_F(Tunnel, ShiftsPickTheTexelAndTheWindowShowsTheOverlay) {
    const struct {
        uint32_t depthShift, angleShift;
        int32_t x, y;
    } cases[] = {{0, 0, 640, 0},       {77, 200, -640, 0},    {256 + 77, 0xFFFFFF00u + 200, 0, 480},
                 {9, 1, 100, 50},      {9, 1, -37, -21},      {3, 4, 0, 0},
                 {3, 4, 0, -480},      {3, 4, 5000, -7000},   {3, 4, INT32_MAX, INT32_MIN},
                 {3, 4, INT32_MIN, 0}, {3, 4, 65536 + 640, 0}};
    for (const auto& c : cases) {
        SDL_FillRect(target.get(), nullptr, 0x00FFFFFF);
        DrawTunnel(texture.get(), c.depthShift, c.angleShift, c.x, c.y, target.get(),
                   overlay.get());
        ExpectFrame(c.depthShift, c.angleShift, c.x, c.y);
    }
}

TEST_F(Tunnel, RefusesMissingTablesAndSurfacesTooSmallOrOfAnotherDepth) {
    SurfacePtr narrow = MakeSurface32(255, 256), low = MakeSurface32(256, 255),
               bytes = MakeSurface8(256, 256), smallTarget = MakeSurface32(639, 480),
               shortTarget = MakeSurface32(640, 479), byteOverlay = MakeSurface8(640, 480);
    SDL_Surface *t = texture.get(), *d = target.get(), *o = overlay.get();
    const struct {
        SDL_Surface *texture, *target, *overlay;
    } cases[] = {{narrow.get(), d, o},      {low.get(), d, o},
                 {bytes.get(), d, o},       {t, smallTarget.get(), o},
                 {t, shortTarget.get(), o}, {t, d, shortTarget.get()},
                 {t, d, byteOverlay.get()}, {nullptr, d, o},
                 {t, nullptr, o},           {t, d, nullptr}};
    for (const auto& c : cases) {
        for (SDL_Surface* s : {d, smallTarget.get(), shortTarget.get()})
            SDL_FillRect(s, nullptr, 0x00ABCDEF);
        const uint64_t before = FrameHash(c.target ? c.target : d);
        DrawTunnel(c.texture, 0, 0, 0, 0, c.target, c.overlay);
        EXPECT_EQ(FrameHash(c.target ? c.target : d), before);
    }
    uint8_t* depth = TunnelDepth;
    TunnelDepth = nullptr;
    DrawTunnel(t, 0, 0, 0, 0, d, o);
    TunnelDepth = depth;
    EXPECT_EQ(Pixel32(d, 10, 10), 0x00ABCDEFu);
}

} // namespace

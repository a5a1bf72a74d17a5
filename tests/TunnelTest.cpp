// The tunnel: its depth and angle tables, and the frame drawn from them
// through the overlay's window.
#include "effects/unscheduled/Tunnel.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(TunnelTables, HoldTheKnownCellsExactly) {
    BuildTunnelTables();
    BuildTunnelTables(); // the leak checker sees the first tables go
    // Every cell, as the exact arithmetic gives it.
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
        uint64_t hash;
    } cases[] = {{0, 0, 640, 0, 17201633576799814915u},
                 {77, 200, -640, 0, 14967847797873741205u},
                 {256 + 77, 0xFFFFFF00u + 200, 0, 480, 14967847797873741205u},
                 {9, 1, 100, 50, 16631435857581528166u},
                 {9, 1, -37, -21, 10549153667991285432u},
                 {3, 4, 0, 0, 13267853837424343397u},
                 {3, 4, 0, -480, 15713423549850890309u},
                 {3, 4, 5000, -7000, 15713423549850890309u},
                 {3, 4, INT32_MAX, INT32_MIN, 15713423549850890309u},
                 {3, 4, INT32_MIN, 0, 15713423549850890309u},
                 {3, 4, 65536 + 640, 0, 15713423549850890309u}};
    for (const auto& c : cases) {
        SDL_FillRect(target.get(), nullptr, 0x00FFFFFF);
        DrawTunnel(texture.get(), c.depthShift, c.angleShift, c.x, c.y, target.get(),
                   overlay.get());
        EXPECT_EQ(FrameHash(target.get()), c.hash) << c.x << "," << c.y;
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

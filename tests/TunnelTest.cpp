#include "effects/unscheduled/Tunnel.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

uint8_t Depth(int x, int y) {
    return TunnelDepth[y * 640 + x];
}
uint8_t Angle(int x, int y) {
    return TunnelAngle[y * 640 + x];
}

// A texture whose texel tells its own row and column.
SurfacePtr IndexTexture() {
    SurfacePtr t = MakeSurface32(256, 256);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u)
            Pixel32(t.get(), u, v) = 0x00A00000u | uint32_t(v << 8 | u);
    return t;
}

uint32_t Expected(int c, int r, uint32_t depthShift, uint32_t angleShift) {
    const uint32_t v = (Angle(c, r) + angleShift) & 255, u = (Depth(c, r) + depthShift) & 255;
    return 0x00A00000u | (v << 8 | u);
}

void Fill(SDL_Surface* s, uint32_t value) {
    SDL_FillRect(s, nullptr, value);
}

class Tunnel : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BuildTunnelTables(); }
    static void TearDownTestSuite() { FreeTunnelTables(); }
    SurfacePtr texture = IndexTexture();
    SurfacePtr target = MakeSurface32(640, 480);
    SurfacePtr overlay = MakeSurface32(640, 480);

    // The frame is tunnel only.
    void ExpectTunnelOnly(uint32_t depthShift, uint32_t angleShift) {
        for (int r = 0; r < 480; ++r)
            for (int c = 0; c < 640; ++c)
                ASSERT_EQ(Pixel32(target.get(), c, r), Expected(c, r, depthShift, angleShift))
                    << c << "," << r;
    }
};

TEST_F(Tunnel, CentreRowAndWrappedDepths) {
    for (int x = 320; x < 640; ++x)
        EXPECT_EQ(Angle(x, 240), 0) << x;
    for (int x = 0; x < 320; ++x)
        EXPECT_EQ(Angle(x, 240), 128) << x;
    EXPECT_EQ(Depth(320, 240), 160); // 4000 wraps
    EXPECT_EQ(Depth(319, 240), 160);
    EXPECT_EQ(Depth(639, 240), 12);
    EXPECT_EQ(Depth(0, 240), 12);
    EXPECT_EQ(Angle(320, 241), 32);
    EXPECT_EQ(Angle(320, 239), 224);
    EXPECT_EQ(Depth(320, 241), 12); // 2828 wraps
    EXPECT_EQ(Depth(320, 239), 12);
}

TEST_F(Tunnel, TopBottomRowsAndCorners) {
    EXPECT_EQ(Angle(320, 0), 193);
    EXPECT_EQ(Depth(320, 0), 16);
    EXPECT_EQ(Angle(319, 0), 191);
    EXPECT_EQ(Angle(320, 479), 63);
    EXPECT_EQ(Depth(320, 479), 16);
    EXPECT_EQ(Angle(319, 479), 65);
    EXPECT_EQ(Angle(639, 0), 230);
    EXPECT_EQ(Angle(0, 0), 154);
    EXPECT_EQ(Angle(639, 479), 26);
    EXPECT_EQ(Angle(0, 479), 102);
    // At the top corners the distance is exactly 400: 10, not 9.
    for (auto [x, y] : {std::pair{639, 0}, {0, 0}, {639, 479}, {0, 479}})
        EXPECT_EQ(Depth(x, y), 10) << x << "," << y;
}

TEST_F(Tunnel, DistanceFiveCellsHoldTheWholeNumber) {
    EXPECT_EQ(Depth(322, 244), 32); // 800 wraps; not 31
    EXPECT_EQ(Depth(317, 244), 32);
    EXPECT_EQ(Angle(322, 244), 37);
    EXPECT_EQ(Angle(317, 244), 91);
}

// Every cell against exact arithmetic: the depth is the largest n with
// n^2 (i^2 + j^2) <= 4000^2, the angle from extended precision.
TEST_F(Tunnel, EveryCellMatchesTheExactFormula) {
    int wrapped = 0;
    for (int i = 1; i <= 320; ++i) {
        for (int j = -240; j <= 239; ++j) {
            const int64_t d2 = int64_t(i) * i + int64_t(j) * j;
            int64_t n = int64_t(4000.0L / std::sqrt((long double)d2));
            while ((n + 1) * (n + 1) * d2 <= 16000000)
                ++n;
            while (n * n * d2 > 16000000)
                --n;
            if (n >= 256) ++wrapped;
            const int b =
                int(std::atan2((long double)j, (long double)i) * 13 * 3.14159265358979323846264L);
            const int y = j + 240;
            ASSERT_EQ(Depth(319 + i, y), uint8_t(n)) << i << "," << j;
            ASSERT_EQ(Depth(320 - i, y), uint8_t(n)) << i << "," << j;
            ASSERT_EQ(Angle(319 + i, y), uint8_t(b)) << i << "," << j;
            ASSERT_EQ(Angle(320 - i, y), uint8_t(128 - b)) << i << "," << j;
        }
    }
    EXPECT_EQ(wrapped, 369);
}

TEST_F(Tunnel, AngleHalvesNeverHold64Or192) {
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const int a = Angle(x, y);
            ASSERT_NE(a, 64);
            ASSERT_NE(a, 192);
            if (x >= 320)
                ASSERT_TRUE(a <= 63 || a >= 193) << x << "," << y;
            else
                ASSERT_TRUE(a >= 65 && a <= 191) << x << "," << y;
        }
    }
}

TEST_F(Tunnel, SecondBuildReplacesTheTables) {
    BuildTunnelTables(); // the leak checker sees the first tables go
    ASSERT_NE(TunnelDepth, nullptr);
    ASSERT_NE(TunnelAngle, nullptr);
    EXPECT_EQ(Depth(322, 244), 32);
    EXPECT_EQ(Angle(0, 0), 154);
}

TEST_F(Tunnel, ShiftsPickTextureRowAndColumn) {
    Fill(overlay.get(), 0);
    DrawTunnel(texture.get(), 0, 0, 0, 0, target.get(), overlay.get());
    ExpectTunnelOnly(0, 0);
    DrawTunnel(texture.get(), 77, 200, 0, 0, target.get(), overlay.get());
    ExpectTunnelOnly(77, 200);
    // Only the low 8 bits count: 256 acts as 0.
    DrawTunnel(texture.get(), 256 + 77, 0xFFFFFF00u + 200, 0, 0, target.get(), overlay.get());
    ExpectTunnelOnly(77, 200);
    DrawTunnel(texture.get(), 256, 512, 0, 0, target.get(), overlay.get());
    ExpectTunnelOnly(0, 0);
}

TEST_F(Tunnel, WindowsWhollyOffTheOverlayGiveTunnelOnly) {
    Fill(overlay.get(), 0x00123456);
    for (auto [x, y] : {std::pair{640, 0},
                        {-640, 0},
                        {0, 480},
                        {0, -480},
                        {5000, -7000},
                        {INT32_MAX, INT32_MIN},
                        {INT32_MIN, 0},
                        {65536 + 640, 0}}) {
        Fill(target.get(), 0x00FFFFFF);
        DrawTunnel(texture.get(), 3, 4, x, y, target.get(), overlay.get());
        ExpectTunnelOnly(3, 4);
    }
}

TEST_F(Tunnel, OverlayWindowCoversWhereItIsNonZero) {
    // A window reaching past the overlay's right and bottom edges: the
    // overlay shows where it is non-zero, the tunnel elsewhere.
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            Pixel32(overlay.get(), x, y) = (x + y) % 3 == 0 ? 0 : uint32_t(y << 10 | x);
    for (auto [ox, oy] : {std::pair{100, 50}, {-37, -21}, {0, 0}}) {
        Fill(target.get(), 0x00FFFFFF);
        DrawTunnel(texture.get(), 9, 1, ox, oy, target.get(), overlay.get());
        for (int r = 0; r < 480; ++r) {
            for (int c = 0; c < 640; ++c) {
                const int x = c + ox, y = r + oy;
                const bool on = x >= 0 && x < 640 && y >= 0 && y < 480;
                const uint32_t under = on ? Pixel32(overlay.get(), x, y) : 0;
                const uint32_t want = under ? under : Expected(c, r, 9, 1);
                ASSERT_EQ(Pixel32(target.get(), c, r), want)
                    << ox << "," << oy << ": " << c << "," << r;
            }
        }
    }
}

TEST_F(Tunnel, FourthByteAloneHidesTheTunnel) {
    Fill(overlay.get(), 0);
    Pixel32(overlay.get(), 10, 20) = 0xFF000000u;
    Pixel32(overlay.get(), 11, 20) = 0x01000000u;
    DrawTunnel(texture.get(), 0, 0, 0, 0, target.get(), overlay.get());
    EXPECT_EQ(Pixel32(target.get(), 10, 20), 0xFF000000u);
    EXPECT_EQ(Pixel32(target.get(), 11, 20), 0x01000000u);
    EXPECT_EQ(Pixel32(target.get(), 12, 20), Expected(12, 20, 0, 0));
}

TEST_F(Tunnel, RefusesMissingTablesAndSmallSurfaces) {
    Fill(overlay.get(), 0);
    auto expectUntouched = [&](SDL_Surface* tex, SDL_Surface* dst, SDL_Surface* over) {
        Fill(dst, 0x00ABCDEF);
        DrawTunnel(tex, 0, 0, 0, 0, dst, over);
        for (int r = 0; r < dst->h; ++r)
            for (int c = 0; c < dst->w; ++c)
                ASSERT_EQ(Pixel32(dst, c, r), 0x00ABCDEFu);
    };
    SurfacePtr narrowTexture = MakeSurface32(255, 256), shortTexture = MakeSurface32(256, 255);
    SurfacePtr smallTarget = MakeSurface32(639, 480), shortTarget = MakeSurface32(640, 479);
    SurfacePtr smallOverlay = MakeSurface32(640, 479);
    SurfacePtr byteTexture = MakeSurface8(256, 256), byteOverlay = MakeSurface8(640, 480);
    expectUntouched(narrowTexture.get(), target.get(), overlay.get());
    expectUntouched(shortTexture.get(), target.get(), overlay.get());
    expectUntouched(byteTexture.get(), target.get(), overlay.get());
    expectUntouched(texture.get(), smallTarget.get(), overlay.get());
    expectUntouched(texture.get(), shortTarget.get(), overlay.get());
    expectUntouched(texture.get(), target.get(), smallOverlay.get());
    expectUntouched(texture.get(), target.get(), byteOverlay.get());
    Fill(target.get(), 0x00ABCDEF);
    DrawTunnel(nullptr, 0, 0, 0, 0, target.get(), overlay.get());
    DrawTunnel(texture.get(), 0, 0, 0, 0, nullptr, overlay.get());
    DrawTunnel(texture.get(), 0, 0, 0, 0, target.get(), nullptr);
    EXPECT_EQ(Pixel32(target.get(), 0, 0), 0x00ABCDEFu);

    uint8_t* depth = TunnelDepth;
    TunnelDepth = nullptr;
    expectUntouched(texture.get(), target.get(), overlay.get());
    TunnelDepth = depth;
}

TEST_F(Tunnel, LargerSurfacesAreAddressedRowByRow) {
    SurfacePtr wideTexture = MakeSurface32(300, 260);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u)
            Pixel32(wideTexture.get(), u, v) = Pixel32(texture.get(), u, v);
    SurfacePtr wideTarget = MakeSurface32(700, 500), wideOverlay = MakeSurface32(650, 480);
    Fill(wideOverlay.get(), 0);
    Fill(wideTarget.get(), 0x00FFFFFF);
    DrawTunnel(wideTexture.get(), 5, 6, 0, 0, wideTarget.get(), wideOverlay.get());
    for (int r = 0; r < 480; ++r)
        for (int c = 0; c < 640; ++c)
            ASSERT_EQ(Pixel32(wideTarget.get(), c, r), Expected(c, r, 5, 6)) << c << "," << r;
    EXPECT_EQ(Pixel32(wideTarget.get(), 640, 0), 0x00FFFFFFu); // beyond the frame: untouched
    EXPECT_EQ(Pixel32(wideTarget.get(), 0, 480), 0x00FFFFFFu);
}

} // namespace

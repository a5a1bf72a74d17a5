#include "driver/Gallery.h"

#include "common/Data.h"
#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/Tunnel.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The media library keeps its display surface past SDL_Quit; only that is excused.
const std::vector<std::string> HeadlessExcusingSdlLeaks = {
    "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
    "LSAN_OPTIONS=fast_unwind_on_malloc=0:suppressions=" +
        (SourceDir() / "tests" / "SdlLeaks.supp").string()};

// Synthetic pictures in the slots the gallery borrows.
class GalleryFrames : public ::testing::Test {
  protected:
    void SetUp() override {
        slots.fill(nullptr);
        background = MakeSurface32(320, 200);
        texture = MakeSurface32(256, 256);
        sprite = MakeSurface8(64, 64);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                Pixel32(background.get(), x, y) = uint32_t(x * 3 + y);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                Pixel32(texture.get(), x, y) = 0x00800000u | uint32_t(x ^ y);
        SDL_FillRect(sprite.get(), nullptr, 200);
        slots[SlotBackground] = background.get();
        slots[SlotTexture] = texture.get();
        PrepareGlow();
        std::srand(1);
        FillFlarePoints();
    }
    void TearDown() override {
        FreeGallery();
        FreeGlow();
    }
    SurfaceSlotArray slots;
    SurfacePtr background, texture, sprite;
};

const GalleryEffect& Effect(const char* name) {
    const GalleryEffect* effect = FindGalleryEffect(name);
    if (!effect) throw std::runtime_error(std::string("no effect ") + name);
    return *effect;
}

TEST_F(GalleryFrames, EffectNames) {
    ASSERT_EQ(GalleryEffects.size(), 3u);
    EXPECT_EQ(&Effect("tunnel"), &GalleryEffects[0]);
    EXPECT_EQ(&Effect("flares"), &GalleryEffects[1]);
    EXPECT_EQ(&Effect("wobble"), &GalleryEffects[2]);
    EXPECT_EQ(FindGalleryEffect("Tunnel"), nullptr);
    EXPECT_EQ(FindGalleryEffect(""), nullptr);
    EXPECT_EQ(FindGalleryEffect(nullptr), nullptr);
    EXPECT_EQ(GalleryEffectNames(), "tunnel, flares or wobble");
}

TEST_F(GalleryFrames, EachEffectDrawsTheSameFrameForTheSameTime) {
    ASSERT_TRUE(PrepareGallery(slots, sprite.get()));
    SurfacePtr first = MakeSurface32(320, 200), second = MakeSurface32(320, 200);
    for (const GalleryEffect& effect : GalleryEffects) {
        SDL_FillRect(first.get(), nullptr, 0x00FF00FF);
        SDL_FillRect(second.get(), nullptr, 0);
        DrawGalleryFrame(effect, 4321, first.get());
        DrawGalleryFrame(effect, 4321, second.get());
        int differing = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                ASSERT_EQ(Pixel32(first.get(), x, y), Pixel32(second.get(), x, y)) << effect.name;
                differing += Pixel32(first.get(), x, y) != Pixel32(first.get(), 0, 0);
            }
        EXPECT_GT(differing, 1000) << effect.name; // a picture, not a flat fill
    }
    // The tunnel shows through the porthole in the middle of the screen.
    DrawGalleryFrame(Effect("tunnel"), 0, first.get());
    EXPECT_EQ(Pixel32(first.get(), 160, 100) & 0x00FF0000u, 0x00800000u);
}

TEST_F(GalleryFrames, MissingPicturesAreRefusedAndEverythingIsReleased) {
    slots[SlotTexture] = nullptr;
    EXPECT_FALSE(PrepareGallery(slots, sprite.get()));
    slots[SlotTexture] = texture.get();
    EXPECT_FALSE(PrepareGallery(slots, nullptr));
    SurfacePtr screen = MakeSurface32(320, 200);
    for (const GalleryEffect& effect : GalleryEffects)
        DrawGalleryFrame(effect, 0, screen.get()); // nothing prepared: nothing drawn
    ASSERT_TRUE(PrepareGallery(slots, sprite.get()));
    ASSERT_TRUE(PrepareGallery(slots, sprite.get())); // again: the first goes
    EXPECT_NE(TunnelDepth, nullptr);
    FreeGallery();
    EXPECT_EQ(TunnelDepth, nullptr);
    EXPECT_EQ(TunnelAngle, nullptr);
}

TEST(GalleryCapture, UnknownEffectOrMissingTimeIsRefused) {
    TempDir dir;
    RunResult r = RunProgram({ProgramPath("ekudemo-capture").string(), "--effect", "plasma",
                              "--time", "0", (dir / "x.png").string()},
                             {dir.Path(), HeadlessExcusingSdlLeaks});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unknown effect \"plasma\""), std::string::npos) << r.err;
    r = RunProgram(
        {ProgramPath("ekudemo-capture").string(), "--effect", "tunnel", (dir / "x.png").string()},
        {dir.Path(), HeadlessExcusingSdlLeaks});
    EXPECT_EQ(r.status, 2); // a usage error
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

TEST(GalleryCapture, RawFramesRepeatExactly) {
    if (!std::filesystem::exists(SourceDir() / ModuleFile)) GTEST_SKIP() << "no dat/";
    TempDir dir;
    CopyData(dir.Path());
    for (const char* effect : {"tunnel", "flares", "wobble"}) {
        for (const char* name : {"a.raw", "b.raw"}) {
            RunResult r =
                RunProgram({ProgramPath("ekudemo-capture").string(), "--effect", effect, "--time",
                            "2500", "--seed", "7", "--raw", (dir / name).string()},
                           {dir.Path(), HeadlessExcusingSdlLeaks});
            ASSERT_EQ(r.status, 0) << effect << ": " << r.err;
        }
        const std::vector<uint8_t> a = ReadBytes(dir / "a.raw"), b = ReadBytes(dir / "b.raw");
        EXPECT_EQ(a.size(), 320u * 200 * 4) << effect;
        EXPECT_EQ(a, b) << effect;
    }
}

TEST(GalleryProgram, EndsQuietlyWhenTheMusicEndsOrOnAQuitRequest) {
    if (!std::filesystem::exists(SourceDir() / ModuleFile)) GTEST_SKIP() << "no dat/";
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    RunOptions options{dir.Path(), HeadlessExcusingSdlLeaks};
    options.timeoutSeconds = 30;
    RunResult r = RunProgram({ProgramPath("ekudemo-gallery").string()}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.out, "");

    CopyData(dir.Path()); // the full module again: only the request ends it
    options.interruptAfterSeconds = 1.5;
    r = RunProgram({ProgramPath("ekudemo-gallery").string()}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.out, "");
}

} // namespace

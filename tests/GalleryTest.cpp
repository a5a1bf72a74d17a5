// The gallery: its table of effects, what preparing them needs, and the
// program's ways to end. (Its frames are checked through the capture, in
// StillTest.)
#include "driver/Gallery.h"

#include "common/Data.h"
#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/Tunnel.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(Gallery, EffectsAreFoundByTheirOwnNamesOnly) {
    ASSERT_EQ(GalleryEffects.size(), 3u);
    const char* names[] = {"tunnel", "flares", "wobble"};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(FindGalleryEffect(names[i]), &GalleryEffects[i]);
    for (const char* other : {"Tunnel", "", "tunnels", static_cast<const char*>(nullptr)})
        EXPECT_EQ(FindGalleryEffect(other), nullptr);
    EXPECT_EQ(GalleryEffectNames(), "tunnel, flares or wobble");
}

TEST(Gallery, MissingPicturesAreRefusedAndEverythingIsReleased) {
    SurfaceSlotArray slots{};
    SurfacePtr background = MakeSurface32(320, 200), texture = MakeSurface32(256, 256),
               sprite = MakeSurface8(64, 64), screen = MakeSurface32(320, 200);
    slots[SlotBackground] = background.get();
    PrepareGlow();
    EXPECT_FALSE(PrepareGallery(slots, sprite.get())); // no texture
    slots[SlotTexture] = texture.get();
    EXPECT_FALSE(PrepareGallery(slots, nullptr));
    EXPECT_EQ(TunnelDepth, nullptr);
    SDL_FillRect(screen.get(), nullptr, 0x00123456);
    for (const GalleryEffect& effect : GalleryEffects)
        DrawGalleryFrame(effect, 0, screen.get()); // nothing prepared: nothing drawn
    EXPECT_EQ(Pixel32(screen.get(), 160, 100), 0x00123456u);
    ASSERT_TRUE(PrepareGallery(slots, sprite.get()));
    ASSERT_TRUE(PrepareGallery(slots, sprite.get())); // again: the first goes
    EXPECT_NE(TunnelDepth, nullptr);
    FreeGallery();
    EXPECT_EQ(TunnelDepth, nullptr);
    EXPECT_EQ(TunnelAngle, nullptr);
    FreeGlow();
}

// The media library keeps its display surface past SDL_Quit; only that is
// excused from the leak check. The tour and one chosen effect end with the
// music; --list names the effects, an unknown one is a usage error.
TEST(Gallery, ProgramEndsQuietlyWhenTheMusicEndsOrOnAQuitRequest) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    std::vector<std::string> env = Headless;
    env.push_back("LSAN_OPTIONS=fast_unwind_on_malloc=0:print_suppressions=0:suppressions=" +
                  (SourceDir() / "tests" / "SdlLeaks.supp").string());
    RunOptions options{dir.Path(), env, 30};
    const std::pair<const char*, std::string> cases[] = {
        // an option, what is said
        {"", ""},
        {"--effect=wobble", ""},
        {"--list", "tunnel\nflares\nwobble\n"},
        {"--effect=spiral",
         "ekudemo-gallery: --effect: unknown effect \"spiral\": use tunnel, flares or wobble\n"
         "usage: ekudemo-gallery [--window [K]] [--data DIR] [--list] [--effect NAME] [--help] "
         "[--version]\n"}};
    for (const auto& [option, said] : cases) {
        std::vector<std::string> argv = {ProgramPath("ekudemo-gallery").string()};
        if (*option) argv.emplace_back(option);
        const RunResult r = RunProgram(argv, options);
        EXPECT_EQ(r.status, said.starts_with("ekudemo-") ? 2 : 0) << r.err;
        EXPECT_EQ(r.out + r.err, said);
    }
    CopyData(dir.Path()); // the full module again: only the request ends it
    options.interruptAfterSeconds = 1.5;
    const RunResult r = RunProgram({ProgramPath("ekudemo-gallery").string()}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.out, "");
}

} // namespace

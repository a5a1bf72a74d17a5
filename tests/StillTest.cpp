// The greeting's frames and the gallery's effects as the capture draws them
// from the real data, whole frames against known hashes: each scene of the
// timeline with its pictures, letters, captions and the crab's jitter, and
// each effect. Also the timeline's own ends, in process.
#include "common/Data.h"
#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "music/Music.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

RunResult Capture(const TempDir& dir, const std::string& args) {
    std::vector<std::string> argv = {ProgramPath("ekudemo-capture").string()};
    for (size_t at = 0, space; at < args.size(); at = space + 1) {
        space = std::min(args.find(' ', at), args.size());
        argv.push_back(args.substr(at, space - at));
    }
    return RunProgram(argv, {dir.Path(), Headless});
}

// Stills at ORDER ROW TIME_MS with a seed, and each effect at two times.
TEST(Frames, StillsAndEffectFramesAreExact) {
    TempDir dir;
    CopyData(dir.Path());
    const struct {
        const char* args;
        uint64_t hash;
    } cases[] = {
        {"--still 0 0 0 --seed 1", 11204406986247104948u},
        {"--still 0 16 40 --seed 1", 18175288841893537442u},
        {"--still 0 32 314 --seed 1", 11934224056486816259u},
        {"--still 0 48 0 --seed 1", 2412007525319337099u},
        {"--still 1 0 1885 --seed 1", 14417394381442343957u},
        {"--still 1 16 0 --seed 1", 4496733881779993266u},
        {"--still 1 32 0 --seed 1", 8611657388682802498u},
        {"--still 1 48 0 --seed 1", 9220764620108718861u},
        {"--still 2 0 0 --seed 1", 8624463774649721393u},
        {"--still 2 40 1234 --seed 1", 12209157599405366023u},
        {"--still 3 0 0 --seed 1", 16539545243052446408u},
        {"--still 3 0 0 --seed 2", 8412691908876178085u},
        {"--still 4 10 99 --seed 7", 17866179827654447984u},
        {"--still 4 37 0 --seed 3", 1438727864157762082u},
        {"--still 5 63 5 --seed 12345", 13517173124568755184u},
        {"--still 5 20 0 --seed 4", 8750642570601710907u},
        {"--still 6 16 0 --seed 1", 6305405786456126169u},
        {"--still 7 40 0 --seed 1", 794153722556086132u},
        {"--still 8 40 0 --seed 1", 3057593309394352954u},
        {"--still 9 63 0 --seed 1", 5387687404812097810u},
        {"--still 10 0 0 --seed 1", 9710009647913451865u},
        {"--effect tunnel --time 0 --seed 1", 9949393904108126901u},
        {"--effect tunnel --time 2500 --seed 7", 9988729271983626427u},
        {"--effect flares --time 0 --seed 1", 17874446126464003882u},
        {"--effect flares --time 2500 --seed 7", 14821689908694390414u},
        {"--effect wobble --time 0 --seed 1", 3934735413987873446u},
        {"--effect wobble --time 2500 --seed 7", 16159499480989519019u},
    };
    for (const auto& c : cases) {
        const RunResult run = Capture(dir, std::string(c.args) + " --raw f.raw");
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<uint8_t> frame = ReadBytes(dir / "f.raw");
        ASSERT_EQ(frame.size(), 320u * 200 * 4);
        EXPECT_EQ(Hash(frame.data(), frame.size()), c.hash) << c.args;
    }
    // A PNG: 8-bit RGB (colour type 2) of 320x200.
    ASSERT_EQ(Capture(dir, "--still 3 20 0 out.png").status, 0);
    const std::vector<uint8_t> png = ReadBytes(dir / "out.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin() + 12, png.begin() + 26),
              (std::vector<uint8_t>{'I', 'H', 'D', 'R', 0, 0, 1, 64, 0, 0, 0, 200, 8, 2}));
}

// From order 11 on nothing is drawn and the greeting ends; missing pictures
// and a missing screen are left out; past the heads' last line the line shown
// before stays (a still shows none there).
TEST(Frames, TheTimelineEndsAtOrder11AndLeavesOutWhatIsMissing) {
    SurfaceSlotArray none{};
    SurfacePtr screen = MakeSurface32(320, 200);
    const uint64_t black = FrameHash(screen.get());
    for (int32_t order : {11, 12, INT32_MAX}) {
        CurrentOrder = order;
        EXPECT_TRUE(DrawScene(screen.get(), none, 0));
    }
    for (int32_t order : {INT32_MIN, -1, 0, 2, 3, 4, 5, 6, 9, 10}) {
        CurrentOrder = order;
        EXPECT_FALSE(DrawScene(screen.get(), none, 33));
        EXPECT_FALSE(DrawScene(nullptr, none, 33));
    }
    EXPECT_EQ(FrameHash(screen.get()), black);
    ASSERT_EQ(TTF_Init(), 0);
    CaptionFont = TTF_OpenFont((SourceDir() / FontFile).c_str(), FontPoints);
    CurrentOrder = 8;
    DrawScene(screen.get(), none, 32);
    ASSERT_NE(CaptionSurface, nullptr);
    const int width = CaptionSurface->w;
    CurrentOrder = 9;
    DrawScene(screen.get(), none, 70);
    EXPECT_EQ(CaptionSurface->w, width);
    FreeCaption();
    TTF_CloseFont(CaptionFont);
    CaptionFont = nullptr;
    CurrentOrder = 0;
}

} // namespace

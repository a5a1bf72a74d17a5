// The scene timeline: what each order and row draws from the picture slots,
// with the captions, checked as whole frames against known hashes. The
// pictures are made here: each word tells the picture and its own (x, y).
#include "driver/Timeline.h"

#include "common/Data.h"
#include "effects/Caption.h"
#include "music/Music.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

uint32_t Word(uint32_t tag, int x, int y) {
    return tag << 20 | uint32_t(y) << 9 | uint32_t(x);
}

class Timeline : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<TempDir>();
        WriteBytes(*dir / "song.s3m", MakeTestModule(12, 6, 125));
        FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
        FSOUND_Init(44100, 32, 0);
        SongHandle = FMUSIC_LoadSong((*dir / "song.s3m").c_str());
        TTF_Init();
        CaptionFont = TTF_OpenFont((SourceDir() / FontFile).c_str(), FontPoints);
    }
    static void TearDownTestSuite() {
        FreeCaption();
        TTF_CloseFont(CaptionFont);
        CaptionFont = nullptr;
        TTF_Quit();
        FMUSIC_FreeSong(SongHandle);
        SongHandle = nullptr;
        FSOUND_Close();
        CurrentOrder = 0;
        dir.reset();
    }
    void SetUp() override {
        ASSERT_NE(SongHandle, nullptr);
        ASSERT_NE(CaptionFont, nullptr);
        for (int s = 0; s < 9; ++s) {
            const int size = s == SlotTexture ? 256 : 0;
            slots[size_t(s)] =
                SDL_CreateRGBSurface(0, size ? 256 : 320, size ? 256 : 200, 32, 0, 0, 0, 0);
        }
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 320; ++x) {
                // The heads are transparent but for a block, in a different
                // place in each; each letter mask has one run, in a row of its own.
                for (int s : {SlotBackground, SlotCrab, SlotEnd, SlotTexture})
                    if (y < slots[size_t(s)]->h && x < slots[size_t(s)]->w)
                        Pixel32(slots[size_t(s)], x, y) = Word(uint32_t(s + 1), x, y);
                for (int head : {0, 1})
                    if (y >= 40 && y < 80 && x >= 10 + 90 * head && x < 50 + 90 * head)
                        Pixel32(slots[size_t(SlotHead1 + head)], x, y) = Word(9 + head, x, y);
                for (int m : {0, 1, 2})
                    if (y == 100 + 20 * m && x >= 100 && x < 150)
                        Pixel32(slots[size_t(SlotLetterE + m)], x, y) = 1;
            }
        for (Slot s : {SlotHead1, SlotHead2, SlotCrab})
            SDL_SetColorKey(slots[size_t(s)], SDL_SRCCOLORKEY, 0);
    }
    void TearDown() override {
        for (SDL_Surface* s : slots)
            SDL_FreeSurface(s);
    }
    // The frame for (order, row) on black, the song reporting the row too.
    bool Draw(int32_t order, int32_t row) {
        FMUSIC_SetPosition(SongHandle, order < 0 ? 0 : order, row);
        CurrentOrder = order;
        SDL_FillRect(screen.get(), nullptr, 0);
        return DrawScene(screen.get(), slots, row);
    }

    inline static std::unique_ptr<TempDir> dir;
    SurfaceSlotArray slots{};
    SurfacePtr screen = MakeSurface32(320, 200);
};

// In turn, as the greeting plays: the letters with their step captions, the
// background sliding in over order 2, the crab with its jitter under a
// head, the heads' lines (the last one shown again past the end), the cake.
TEST_F(Timeline, EveryScenesFramesAreExact) {
    const struct {
        int32_t order, row;
        unsigned seed;
        uint64_t hash;
    } cases[] = {
        {0, 0, 1, 14054398550820818653u},         {0, 16, 1, 10328646491269339186u},
        {0, 32, 1, 1108660737840840534u},         {0, 48, 1, 522979405312041676u},
        {1, 0, 1, 5588432584487876550u},          {1, 16, 1, 16480401770478865780u},
        {1, 32, 1, 8116640686347364687u},         {1, 48, 1, 12011926954454911617u},
        {2, 0, 1, 14627229590691769737u},         {2, 40, 1, 5699088817993483017u},
        {-1, 40, 1, 4931054886862359458u},        {-1, 0, 1, 14051512911148944986u},
        {3, 0, 1, 14566083594620859408u},         {3, 0, 2, 9331473180808495039u},
        {4, 10, 1, 2832789529885698770u},         {4, 37, 3, 4742405923373388278u},
        {5, 63, 1, 5959699852133359413u},         {5, 63, 4, 9047822679870416721u},
        {6, 16, 1, 17138817481013913853u},        {7, 40, 1, 8737295040112594667u},
        {8, 32, 1, 2296159450349659943u},         {9, 70, 1, 7711850778073341437u},
        {9, 63, 1, 5437507003743697022u},         {10, 20, 1, 3813097977621510814u},
        {INT32_MIN, 63, 1, 8739984539937152523u},
    };
    for (const auto& c : cases) {
        std::srand(c.seed);
        EXPECT_FALSE(Draw(c.order, c.row));
        EXPECT_EQ(FrameHash(screen.get()), c.hash) << c.order << " " << c.row << " " << c.seed;
    }
}

TEST_F(Timeline, Order11EndsAndMissingPicturesAreLeftOut) {
    for (int32_t order : {11, 12, INT32_MAX}) {
        EXPECT_TRUE(Draw(order, 0));
        EXPECT_EQ(FrameHash(screen.get()), FrameHash(MakeSurface32(320, 200).get()));
    }
    CurrentOrder = 0;
    EXPECT_FALSE(DrawScene(nullptr, slots, 0));
    for (SDL_Surface*& s : slots) {
        SDL_FreeSurface(s);
        s = nullptr;
    }
    for (int32_t order : {INT32_MIN, -1, 0, 2, 3, 4, 5, 6, 9, 10})
        EXPECT_FALSE(Draw(order, 33));
}

} // namespace

#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "music/Music.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>

namespace {

constexpr const char* FontFile = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";
constexpr uint32_t Red = 0x00FF0000;

// Picture words that tell the picture and the picture's own (x, y) apart.
uint32_t Word(uint32_t tag, int x, int y) {
    return tag << 20 | uint32_t(y) << 9 | uint32_t(x);
}
constexpr uint32_t BackgroundTag = 1, Head1Tag = 2, Head2Tag = 3, CrabTag = 4, EndTag = 5;
uint32_t Texel(int x, int y) {
    return 0x00F00000u | uint32_t(y) << 8 | uint32_t(x);
}
// Each letter mask has one run, x = 100..149, in a row of its own.
constexpr int LetterRow[3] = {100, 120, 140};
// Head frames are transparent but for a block, at a different place in each.
constexpr int HeadBlockLeft[2] = {10, 100};
constexpr int HeadBlockTop = 40, HeadBlockSize = 40;

std::unique_ptr<TempDir> SongDir;

class Timeline : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        SongDir = std::make_unique<TempDir>();
        WriteBytes(*SongDir / "song.s3m", MakeTestModule(12, 6, 125));
        FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
        FSOUND_Init(44100, 32, 0);
        SongHandle = FMUSIC_LoadSong((*SongDir / "song.s3m").c_str());
    }
    static void TearDownTestSuite() {
        if (SongHandle) FMUSIC_FreeSong(SongHandle);
        SongHandle = nullptr;
        FSOUND_Close();
        SongDir.reset();
    }

    void SetUp() override {
        ASSERT_EQ(TTF_Init(), 0);
        CaptionFont = TTF_OpenFont(FontFile, 12);
        ASSERT_NE(CaptionFont, nullptr);
        FreeCaption();
        FrameTime = 0;
        slots.fill(nullptr);
        Fill(0, 320, 200, [](int x, int y) { return Word(BackgroundTag, x, y); });
        for (int f = 0; f < 2; ++f)
            Fill(1 + f, 320, 200, [f](int x, int y) {
                const bool block = x >= HeadBlockLeft[f] && x < HeadBlockLeft[f] + HeadBlockSize &&
                                   y >= HeadBlockTop && y < HeadBlockTop + HeadBlockSize;
                return block ? Word(f ? Head2Tag : Head1Tag, x, y) : 0u;
            });
        Fill(3, 320, 200, [](int x, int y) { return Word(CrabTag, x, y); });
        for (int m = 0; m < 3; ++m)
            Fill(4 + m, 320, 200,
                 [m](int x, int y) { return y == LetterRow[m] && x >= 100 && x < 150 ? 1u : 0u; });
        Fill(7, 256, 256, Texel);
        Fill(8, 320, 200, [](int x, int y) { return Word(EndTag, x, y); });
        for (int s : {1, 2, 3})
            SDL_SetColorKey(slots[size_t(s)], SDL_SRCCOLORKEY, 0);
        screen = MakeSurface32(320, 200);
    }

    void TearDown() override {
        for (SDL_Surface* s : slots)
            SDL_FreeSurface(s);
        FreeCaption();
        TTF_CloseFont(CaptionFont);
        CaptionFont = nullptr;
        TTF_Quit();
        CurrentOrder = 0;
    }

    template <typename F> void Fill(int slot, int w, int h, F word) {
        SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0, 0, 0, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Pixel32(s, x, y) = word(x, y);
        slots[size_t(slot)] = s;
    }

    // Draws the frame for (order, row) on black; the song reports the row
    // too, as it does while playing.
    bool Draw(int32_t order, int32_t row) {
        if (SongHandle) FMUSIC_SetPosition(SongHandle, order < 0 ? 0 : order, row);
        CurrentOrder = order;
        SDL_FillRect(screen.get(), nullptr, 0);
        return DrawScene(screen.get(), slots, row);
    }

    void ExpectSecondRow(int row) {
        ASSERT_NE(SongHandle, nullptr) << "the test module did not load";
        ASSERT_EQ(FMUSIC_GetRow(SongHandle), row);
    }

    uint32_t At(int x, int y) { return Pixel32(screen.get(), x, y); }

    // The current caption holds `text`, and its glyphs are red on screen
    // with its top-left corner at (left, top), where nothing covers them.
    void ExpectCaption(const char* text, int left, int top, bool covered = false) {
        ASSERT_NE(CaptionSurface, nullptr);
        SurfacePtr owner(TTF_RenderText_Solid(CaptionFont, text, SDL_Color{255, 0, 0, 0}));
        SDL_Surface* want = owner.get();
        ASSERT_NE(want, nullptr);
        ASSERT_EQ(CaptionSurface->w, want->w) << text;
        ASSERT_EQ(CaptionSurface->h, want->h);
        int shown = 0;
        for (int y = 0; y < want->h; ++y)
            for (int x = 0; x < want->w; ++x) {
                const bool glyph = static_cast<uint8_t*>(want->pixels)[y * want->pitch + x] != 0;
                ASSERT_EQ(glyph, static_cast<uint8_t*>(
                                     CaptionSurface->pixels)[y * CaptionSurface->pitch + x] != 0);
                const int sx = left + x, sy = top + y;
                if (!glyph || sx < 0 || sy < 0 || sx >= 320 || sy >= 200) continue;
                if (!covered) {
                    ASSERT_EQ(At(sx, sy), Red) << sx << "," << sy;
                }
                shown += At(sx, sy) == Red;
            }
        if (!covered && left > -want->w && left < 320 && top > -want->h + 2 && top < 200) {
            EXPECT_GT(shown, 0);
        }
    }

    // The letter of mask slot 4 + m was drawn at `shift`, and no other.
    void ExpectLetter(int m, int shift) {
        for (int other = 0; other < 3; ++other) {
            const int y = LetterRow[other];
            const bool drawn =
                At(100 + shift, y) == Texel(0, y) && At(50 + shift, y) == Texel(0, y);
            EXPECT_EQ(drawn, other == m) << "mask slot " << 4 + other;
        }
    }

    // The crab's top-left corner, read back from the first pixel showing it.
    bool FindCrab(int& left, int& top) {
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                if (At(x, y) >> 20 == CrabTag) {
                    left = x - int(At(x, y) & 0x1FF);
                    top = y - int(At(x, y) >> 9 & 0x7FF);
                    return true;
                }
        return false;
    }

    void ExpectPicture(uint32_t tag, int left, int top, int x, int y) {
        EXPECT_EQ(At(x, y), Word(tag, x - left, y - top)) << x << "," << y;
    }

    SurfaceSlotArray slots{};
    SurfacePtr screen;
};

TEST_F(Timeline, Order0Row0IsTheFirstLetterOnBlack) {
    EXPECT_FALSE(Draw(0, 0));
    ExpectLetter(0, 0);
    ExpectCaption("pirvel", 10, 0);
    EXPECT_EQ(At(300, 190), 0u);
    EXPECT_EQ(At(49, 100), 0u);
    EXPECT_EQ(At(150, 100), 0u);
}

TEST_F(Timeline, Order2Row40SlidesTheBackgroundInAndTheLetterOut) {
    EXPECT_FALSE(Draw(2, 40));
    ExpectSecondRow(40);
    ExpectPicture(BackgroundTag, 120, 24, 120, 24);
    ExpectPicture(BackgroundTag, 120, 24, 319, 199);
    EXPECT_EQ(At(119, 150), 0u);
    EXPECT_EQ(At(250, 23), 0u);
    ExpectLetter(1, -40); // k = 10
    ExpectCaption("uvo onnitelee", 100, 40);
}

TEST_F(Timeline, StepCaptionsMoveNineRightAndFourDown) {
    const char* const texts[] = {
        "pirvel",         "ekuppu",          "t\xE4ytt\xE4nee",       "l23 vuotta",
        "uvo onnittelee", "vanhaa tyyppii ", "saat jo tulla toimeen", "omilla viinoillas ",
        "uvo onnitelee"};
    for (int k = 0; k < 9; ++k) {
        Draw(k / 4, k % 4 * 16);
        ExpectSecondRow(k % 4 * 16);
        ExpectCaption(texts[k], 9 * k + 10, 4 * k);
        if (k < 8) ExpectLetter(k % 3, 0);
    }
}

TEST_F(Timeline, NegativeOrderIsTheTwisterWithoutBackground) {
    EXPECT_FALSE(Draw(-1, 40)); // k = (-64 + 40) / 16 = -1
    ExpectSecondRow(40);
    ExpectLetter(0, 0);
    ExpectCaption("uvo onnitelee", 1, -4);
    EXPECT_EQ(At(300, 190), 0u);
    EXPECT_FALSE(Draw(-1, 0)); // k = -4: wholly above the screen
    ExpectLetter(0, 0);
    EXPECT_FALSE(Draw(INT32_MIN, 63));
}

TEST_F(Timeline, CrabWalksWithAJitterOfFiveByFour) {
    struct Case {
        int order, row, baseX, baseY;
    } cases[] = {{3, 0, -128, -32}, {4, 37, -27, -14}, {5, 63, 63, 188}};
    for (const Case& c : cases) {
        std::set<int> jitterX, jitterY;
        for (unsigned seed = 1; seed <= 100; ++seed) {
            std::srand(seed);
            EXPECT_FALSE(Draw(c.order, c.row));
            int cx = 0, cy = 0;
            ASSERT_TRUE(FindCrab(cx, cy)) << "order " << c.order << " seed " << seed;
            const int x = cx < 0 ? 0 : cx, y = cy < 0 ? 0 : cy;
            ExpectPicture(CrabTag, cx, cy, x + 1, y + 1);
            if (cx > 0 && c.order == 5) ExpectPicture(BackgroundTag, 0, 0, cx - 1, y); // left of it
            jitterX.insert(cx - c.baseX);
            jitterY.insert(cy - c.baseY);
        }
        EXPECT_EQ(jitterX, (std::set<int>{0, 1, 2, 3, 4})) << "order " << c.order;
        EXPECT_EQ(jitterY, (std::set<int>{0, 1, 2, 3})) << "order " << c.order;
        ExpectCaption("ravut tuo zumiselta paketin!", 0, 59581 * c.row % 190, true);
    }
}

TEST_F(Timeline, CrabSceneCaptionAndHeads) {
    std::srand(1);
    Draw(3, 0);
    // No head in order 3: the crab covers where its blocks would be.
    EXPECT_EQ(At(HeadBlockLeft[1] + 64, HeadBlockTop) >> 20, CrabTag);

    std::srand(1);
    Draw(4, 10);
    // The head slides in from the right, over the crab.
    ExpectPicture(Head2Tag, 54, 0, HeadBlockLeft[1] + 54, HeadBlockTop);
    ExpectPicture(Head2Tag, 54, 0, HeadBlockLeft[1] + 54 + 39, HeadBlockTop + 39);

    std::srand(1);
    Draw(5, 63);
    ExpectPicture(Head2Tag, 0, 0, HeadBlockLeft[1], HeadBlockTop);
    // The caption at the left edge, at its row's height, uncovered here.
    ExpectCaption("ravut tuo zumiselta paketin!", 0, 59581 * 63 % 190);
}

TEST_F(Timeline, HeadSceneLinePhaseAndFrames) {
    EXPECT_FALSE(Draw(7, 40)); // line 3, phase 8
    ExpectCaption("meinasin hakee vodkaa mut s-martket oli auki", 80, 110);
    ExpectPicture(Head1Tag, 0, 0, HeadBlockLeft[0], HeadBlockTop);
    ExpectPicture(BackgroundTag, 0, 0, HeadBlockLeft[1], HeadBlockTop);

    Draw(6, 16); // line 0, phase 16: the second frame, entering from the right
    ExpectCaption("t\xE4ytti 18 vauotta armon tesolan vuonna, das ekufx", -40, 110);
    ExpectPicture(Head2Tag, 0, 0, HeadBlockLeft[1], HeadBlockTop);
    ExpectPicture(BackgroundTag, 0, 0, HeadBlockLeft[0], HeadBlockTop);

    Draw(9, 63);
    ExpectCaption("k\xE4y hakee mulle ruokaa?", 200 - 15 * 31, 110);
    Draw(8, 32);
    ExpectCaption("mut ovinaka on kyll\xE4 semmone veitikka ", 200, 110);
    // Past the last line the caption rendered last is shown again.
    Draw(9, 70);
    ExpectCaption("mut ovinaka on kyll\xE4 semmone veitikka ", 200 - 15 * 6, 110);
}

TEST_F(Timeline, Order10IsTheEndPictureAloneAnd11Ends) {
    SetCaption("ekuppu");
    EXPECT_FALSE(Draw(10, 20));
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(At(x, y), Word(EndTag, x, y));

    for (int32_t order : {11, 12, INT32_MAX}) {
        SDL_FillRect(screen.get(), nullptr, 0);
        EXPECT_TRUE(Draw(order, 0));
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                ASSERT_EQ(At(x, y), 0u);
    }
}

TEST_F(Timeline, MissingPicturesAreLeftOut) {
    for (SDL_Surface*& s : slots) {
        SDL_FreeSurface(s);
        s = nullptr;
    }
    for (int order = -1; order <= 10; ++order)
        EXPECT_FALSE(Draw(order, 33));
}

} // namespace

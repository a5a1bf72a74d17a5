#include "effects/Caption.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* FontFile = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";
constexpr uint32_t Backdrop = 0x00123456;
constexpr uint32_t Red = 0x00FF0000;

class Caption : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(TTF_Init(), 0);
        CaptionFont = TTF_OpenFont(FontFile, 12);
        ASSERT_NE(CaptionFont, nullptr) << TTF_GetError();
        FreeCaption();
        screen = MakeSurface32(320, 200);
        SDL_FillRect(screen.get(), nullptr, Backdrop);
    }
    void TearDown() override {
        FreeCaption();
        if (CaptionFont) TTF_CloseFont(CaptionFont);
        CaptionFont = nullptr;
        TTF_Quit();
    }

    // Glyph pixel (x, y) of the current caption.
    bool Glyph(int x, int y) {
        return static_cast<uint8_t*>(CaptionSurface->pixels)[y * CaptionSurface->pitch + x] != 0;
    }

    // The screen shows the caption with its top-left corner at (left, top),
    // clipped to the screen, and the backdrop everywhere else.
    void ExpectCaptionAt(int left, int top) {
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const int cx = x - left, cy = y - top;
                const bool inside =
                    cx >= 0 && cy >= 0 && cx < CaptionSurface->w && cy < CaptionSurface->h;
                const uint32_t want = inside && Glyph(cx, cy) ? Red : Backdrop;
                ASSERT_EQ(Pixel32(screen.get(), x, y), want) << x << "," << y;
            }
    }

    int Count(uint32_t colour) {
        int n = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                n += Pixel32(screen.get(), x, y) == colour;
        return n;
    }

    SurfacePtr screen;
};

TEST_F(Caption, NothingIsDrawnBeforeTheFirstCaption) {
    DrawCaption(10, 10, screen.get());
    EXPECT_EQ(Count(Backdrop), 320 * 200);
}

TEST_F(Caption, GlyphsArePureRedOverTheBackdrop) {
    SetCaption("ekuppu");
    ASSERT_NE(CaptionSurface, nullptr);
    EXPECT_TRUE(CaptionSurface->flags & SDL_SRCCOLORKEY);
    EXPECT_EQ(CaptionSurface->format->colorkey, 0u);
    DrawCaption(19, 4, screen.get());
    ExpectCaptionAt(19, 4);
    EXPECT_GT(Count(Red), 20);
    EXPECT_EQ(Count(Red) + Count(Backdrop), 320 * 200);
}

TEST_F(Caption, ClippedAtTheEdgesAndGoneWhollyOff) {
    SetCaption("vanhaa tyyppii ");
    const int width = CaptionSurface->w;
    DrawCaption(-7, -3, screen.get());
    ExpectCaptionAt(-7, -3);
    SDL_FillRect(screen.get(), nullptr, Backdrop);
    DrawCaption(320 - width / 2, 195, screen.get());
    ExpectCaptionAt(320 - width / 2, 195);

    SDL_FillRect(screen.get(), nullptr, Backdrop);
    DrawCaption(-width, 10, screen.get());
    DrawCaption(320, 10, screen.get());
    DrawCaption(10, 200, screen.get());
    EXPECT_EQ(Count(Backdrop), 320 * 200);
}

// Positions keep their low 16 bits, as the blit rectangle does.
TEST_F(Caption, PositionsAreCutTo16Bits) {
    SetCaption("pirvel");
    DrawCaption(65536 + 10, -65536 + 20, screen.get());
    ExpectCaptionAt(10, 20);
    SDL_FillRect(screen.get(), nullptr, Backdrop);
    DrawCaption(65535, 5, screen.get()); // -1
    ExpectCaptionAt(-1, 5);
}

TEST_F(Caption, TwoCallsLeaveOneSurfaceHoldingTheSecondText) {
    SetCaption("pirvel");
    SDL_Surface* first = CaptionSurface;
    ++first->refcount; // keep it, to see it released
    SetCaption("l23 vuotta");
    EXPECT_NE(CaptionSurface, first);
    EXPECT_EQ(first->refcount, 1); // the caption's own reference was dropped
    SDL_FreeSurface(first);
    int w = 0, h = 0;
    ASSERT_EQ(TTF_SizeText(CaptionFont, "l23 vuotta", &w, &h), 0);
    EXPECT_EQ(CaptionSurface->w, w);
    EXPECT_EQ(CaptionSurface->refcount, 1);
}

TEST_F(Caption, Latin1ByteE4IsTheFontsAUmlaut) {
    SetCaption("t\xE4"
               "ytt\xE4"
               "nee");
    SDL_Surface* utf8 =
        TTF_RenderUTF8_Solid(CaptionFont, "t\xC3\xA4ytt\xC3\xA4nee", {255, 0, 0, 0});
    ASSERT_NE(utf8, nullptr);
    ASSERT_EQ(CaptionSurface->w, utf8->w);
    ASSERT_EQ(CaptionSurface->h, utf8->h);
    for (int y = 0; y < utf8->h; ++y)
        for (int x = 0; x < utf8->w; ++x)
            ASSERT_EQ(Glyph(x, y), static_cast<uint8_t*>(utf8->pixels)[y * utf8->pitch + x] != 0);
    SDL_FreeSurface(utf8);
}

TEST_F(Caption, NoFontOrEmptyTextLeavesNoCaption) {
    SetCaption("");
    EXPECT_EQ(CaptionSurface, nullptr);
    DrawCaption(10, 10, screen.get());

    SetCaption("ekuppu");
    TTF_CloseFont(CaptionFont);
    CaptionFont = nullptr;
    SetCaption("ekuppu"); // releases the old caption, renders nothing
    EXPECT_EQ(CaptionSurface, nullptr);
    DrawCaption(10, 10, screen.get());
    EXPECT_EQ(Count(Backdrop), 320 * 200);
}

} // namespace

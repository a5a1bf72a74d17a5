// The captions: red Latin-1 text rendered once, copied where asked without
// its background, clipped at the screen's edges.
#include "effects/Caption.h"

#include "common/Data.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t Backdrop = 0x00123456;

class Caption : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(TTF_Init(), 0);
        CaptionFont = TTF_OpenFont((SourceDir() / FontFile).c_str(), FontPoints);
        ASSERT_NE(CaptionFont, nullptr) << TTF_GetError();
        SDL_FillRect(screen.get(), nullptr, Backdrop);
    }
    void TearDown() override {
        FreeCaption();
        if (CaptionFont) TTF_CloseFont(CaptionFont);
        CaptionFont = nullptr;
        TTF_Quit();
    }
    // The screen shows the caption's glyphs in pure red with its top-left
    // corner at (left, top), clipped, and the backdrop everywhere else.
    void ExpectCaptionAt(int left, int top) {
        const auto* glyphs = static_cast<uint8_t*>(CaptionSurface->pixels);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const int cx = x - left, cy = y - top;
                const bool inside =
                    cx >= 0 && cy >= 0 && cx < CaptionSurface->w && cy < CaptionSurface->h;
                const bool glyph = inside && glyphs[cy * CaptionSurface->pitch + cx] != 0;
                ASSERT_EQ(Pixel32(screen.get(), x, y), glyph ? 0x00FF0000u : Backdrop)
                    << x << "," << y;
            }
    }
    SurfacePtr screen = MakeSurface32(320, 200);
};

// Positions keep their low 16 bits, as the blit rectangle does.
TEST_F(Caption, GlyphsArePureRedWhereverTheCaptionIsPlaced) {
    const uint64_t blank = FrameHash(screen.get());
    DrawCaption(10, 10, screen.get()); // nothing before the first caption
    EXPECT_EQ(FrameHash(screen.get()), blank);
    SetCaption("vanhaa tyyppii ");
    ASSERT_NE(CaptionSurface, nullptr);
    const int width = CaptionSurface->w;
    const struct {
        int32_t x, y;
        int left, top;
    } cases[] = {{19, 4, 19, 4},
                 {-7, -3, -7, -3},
                 {320 - width / 2, 195, 320 - width / 2, 195},
                 {65536 + 10, -65536 + 20, 10, 20},
                 {65535, 5, -1, 5},
                 {-width, 10, -width, 10},
                 {320, 10, 320, 10},
                 {10, 200, 10, 200}};
    for (const auto& c : cases) {
        SDL_FillRect(screen.get(), nullptr, Backdrop);
        DrawCaption(c.x, c.y, screen.get());
        ExpectCaptionAt(c.left, c.top);
    }
    EXPECT_GT(width, 50);
}

// The caption's own reference to the previous text is dropped; Latin-1 byte
// E4 is the font's a-umlaut.
TEST_F(Caption, EachTextReplacesTheLastAndIsReadAsLatin1) {
    SetCaption("pirvel");
    SDL_Surface* first = CaptionSurface;
    ++first->refcount; // kept, to see it released
    SetCaption("t\xE4ytt\xE4"
               "nee");
    EXPECT_EQ(first->refcount, 1);
    SDL_FreeSurface(first);
    SurfacePtr utf8(TTF_RenderUTF8_Solid(CaptionFont, "t\xC3\xA4ytt\xC3\xA4nee", {255, 0, 0, 0}));
    ASSERT_EQ(CaptionSurface->w, utf8->w);
    ASSERT_EQ(CaptionSurface->h, utf8->h);
    for (int y = 0; y < utf8->h; ++y)
        for (int x = 0; x < utf8->w; ++x)
            ASSERT_EQ(static_cast<uint8_t*>(CaptionSurface->pixels)[y * CaptionSurface->pitch + x],
                      static_cast<uint8_t*>(utf8->pixels)[y * utf8->pitch + x]);
    EXPECT_EQ(CaptionSurface->refcount, 1);

    SetCaption(""); // nothing to render: no caption, nothing drawn
    EXPECT_EQ(CaptionSurface, nullptr);
    SetCaption("ekuppu");
    TTF_CloseFont(CaptionFont);
    CaptionFont = nullptr;
    SetCaption("ekuppu"); // no font: the old caption goes, nothing is rendered
    EXPECT_EQ(CaptionSurface, nullptr);
    DrawCaption(10, 10, screen.get());
    EXPECT_EQ(Pixel32(screen.get(), 10, 10), Backdrop);
}

} // namespace

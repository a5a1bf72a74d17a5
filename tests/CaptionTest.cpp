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
    SurfacePtr screen = MakeSurface32(320, 200);
};

TEST_F(Caption, GlyphsArePureRedWhereverTheCaptionIsPlaced) {
    const uint64_t blank = FrameHash(screen.get());
    DrawCaption(10, 10, screen.get()); // nothing before the first caption
    EXPECT_EQ(FrameHash(screen.get()), blank);
    SetCaption("vanhaa tyyppii ");
    ASSERT_NE(CaptionSurface, nullptr);
    const int width = CaptionSurface->w;
    // Pure red glyphs with the caption's top left at (x, y) (the same place
    // for the same low 16 bits), clipped, on the untouched backdrop.
    const struct {
        int32_t x, y;
        uint64_t hash;
    } cases[] = {{19, 4, 9499771639080968197u},
                 {-7, -3, 8132211324983439007u},
                 {320 - width / 2, 195, 13192665725374350022u},
                 {65536 + 10, -65536 + 20, 14367880544716198716u},
                 {65535, 5, 13047366567032570581u},
                 {-width, 10, blank},
                 {320, 10, blank},
                 {10, 200, blank}};
    for (const auto& c : cases) {
        SDL_FillRect(screen.get(), nullptr, Backdrop);
        DrawCaption(c.x, c.y, screen.get());
        EXPECT_EQ(FrameHash(screen.get()), c.hash) << c.x << "," << c.y;
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

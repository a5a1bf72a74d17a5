// The twister's letter masks for any name, drawn from the caption font: white
// on black, the name's letters all at one size, as large as the box that
// Eku's hand-drawn letters fill allows (ink from x = 50, at most 120 wide and
// 150 high, centred on row 100).
#include "Pictures.h"

#include "common/Error.h"
#include "common/Greeting.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr int Left = 50, MaxWidth = 120, MaxHeight = 150;
constexpr int TrialPoints = 200; // the size the name is measured at first

std::vector<uint8_t> FontBytes; // the font reads from these while it is open
TTF_Font* MaskFont = nullptr;   // at the name's size once MaskSize has run
int Baseline = 0;               // the row the letters stand on

TTF_Font* OpenAt(int points) {
    SDL_RWops* source = SDL_RWFromConstMem(FontBytes.data(), int(FontBytes.size()));
    return source ? TTF_OpenFontRW(source, 1, points) : nullptr;
}

void CloseFont() {
    if (MaskFont) TTF_CloseFont(MaskFont);
    MaskFont = nullptr;
}

// The ink box of the name's capitals above (top) and below (bottom) the
// baseline and its widest letter, at the open size.
struct InkBox {
    int top = 0, bottom = 0, width = 0;
};
InkBox Measure(std::string_view name) {
    InkBox ink;
    for (const char letter : name) {
        int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
        TTF_GlyphMetrics(MaskFont, MaskLetter(uint8_t(letter)), &minX, &maxX, &minY, &maxY,
                         &advance);
        ink.top = std::max(ink.top, maxY);
        ink.bottom = std::min(ink.bottom, minY);
        ink.width = std::max(ink.width, maxX - minX);
    }
    return ink;
}

} // namespace

bool OpenLetterFont(const std::vector<uint8_t>& font) {
    if (!TTF_WasInit()) {
        if (TTF_Init() < 0) return SetError("cannot start the font library: %s", TTF_GetError());
        std::atexit(TTF_Quit);
    }
    CloseFont();
    FontBytes = font;
    MaskFont = OpenAt(TrialPoints);
    if (!MaskFont) return SetError("cannot open the caption font: %s", TTF_GetError());
    return true;
}

bool LetterFontHas(uint8_t letter) {
    // A glyph that draws nothing (a no-break space) would leave no mask.
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    return MaskFont && TTF_GlyphIsProvided(MaskFont, letter) &&
           TTF_GlyphMetrics(MaskFont, letter, &minX, &maxX, &minY, &maxY, &advance) == 0 &&
           maxX > minX && maxY > minY;
}

bool SizeLetters(std::string_view name) {
    const InkBox trial = Measure(name);
    const int height = std::max(1, trial.top - trial.bottom), width = std::max(1, trial.width);
    int points = std::min(TrialPoints * MaxHeight / height, TrialPoints * MaxWidth / width) + 1;
    InkBox ink;
    do { // rounding at the new size may add a pixel
        CloseFont();
        MaskFont = OpenAt(--points);
        if (!MaskFont) return SetError("cannot open the caption font: %s", TTF_GetError());
        ink = Measure(name);
    } while (points > 1 && (ink.top - ink.bottom > MaxHeight || ink.width > MaxWidth));
    Baseline = 100 + (ink.top + ink.bottom) / 2;
    return true;
}

Canvas DrawFontLetter(uint8_t letter) {
    Canvas c = MakeCanvas(320, 200);
    const uint8_t white = Ink(c, Rgb{255, 255, 255});
    const uint8_t capital = MaskLetter(letter);
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    TTF_GlyphMetrics(MaskFont, capital, &minX, &maxX, &minY, &maxY, &advance);
    // Solid rendering: no smoothing, glyph pixels non-zero.
    SDL_Surface* glyph = TTF_RenderGlyph_Solid(MaskFont, capital, SDL_Color{255, 255, 255, 0});
    if (!glyph) return c;
    const int top = Baseline - maxY;
    SDL_LockSurface(glyph);
    for (int y = 0; y < glyph->h; ++y) {
        const auto* row = static_cast<const uint8_t*>(glyph->pixels) + y * glyph->pitch;
        for (int x = 0; x < glyph->w; ++x)
            if (row[x]) Plot(c, Left + x, top + y, white);
    }
    SDL_UnlockSurface(glyph);
    SDL_FreeSurface(glyph);
    return c;
}

void CloseLetterFont() {
    CloseFont();
    FontBytes = {};
}

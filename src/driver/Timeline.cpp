#include "driver/Timeline.h"

#include "common/Data.h"
#include "effects/Caption.h"
#include "effects/Twister.h"
#include "music/Music.h"

#include <array>
#include <cstdlib>

namespace {

// Captions in ISO 8859-1 ("\xE4" is a-umlaut); the strings are split after
// each escape so that no following letter is read as a hex digit.
constexpr std::array<const char*, 8> StepCaptions = {
    "pirvel",
    "ekuppu",
    "t\xE4"
    "ytt\xE4"
    "nee",
    "l23 vuotta",
    "uvo onnittelee",
    "vanhaa tyyppii ",
    "saat jo tulla toimeen",
    "omilla viinoillas ",
};
constexpr const char* OtherStepCaption = "uvo onnitelee";

constexpr const char* CrabCaption = "ravut tuo zumiselta paketin!";

constexpr std::array<const char*, 8> HeadLines = {
    "t\xE4"
    "ytti 18 vauotta armon tesolan vuonna, das ekufx",
    "keltainen muuttuu ruskeaksi ja eku pupuksi",
    "pidet\xE4\xE4"
    "n ne kekkerit kun on karkkeja + pullaa?",
    "meinasin hakee vodkaa mut s-martket oli auki",
    "et olis kyl saanu antibioottien kanssa",
    "mut ovinaka on kyll\xE4"
    " semmone veitikka ",
    "ett\xE4"
    " olis viel\xE4"
    " menny naapurienki biootit ja makrot",
    "k\xE4"
    "y hakee mulle ruokaa?",
};

// The music thread may move the order at any time: every use reads it anew.
int64_t Order() {
    return CurrentOrder.load(std::memory_order_relaxed);
}

// Positions are worked out in 64 bits (any order and row are accepted) and
// handed to the blit as the low 16 bits the rectangle holds.
void DrawPicture(SDL_Surface* picture, SDL_Surface* screen, int64_t x, int64_t y) {
    if (!picture) return;
    SDL_Rect place = {Sint16(x), Sint16(y), 0, 0};
    SDL_UpperBlit(picture, nullptr, screen, &place);
}

void PlaceCaption(int64_t x, int64_t y, SDL_Surface* screen) {
    DrawCaption(int32_t(x), int32_t(y), screen);
}

void DrawTwisterScene(SDL_Surface* screen, const SurfaceSlotArray& slots, int64_t row) {
    // In order 2 the background slides in diagonally from (320, 64).
    if (Order() == 2) DrawPicture(slots[SlotBackground], screen, 5 * (64 - row), 64 - row);

    const int64_t k = (64 * Order() + FMUSIC_GetRow(SongHandle)) / 16;
    const int64_t letter = k % 3 > 0 ? k % 3 : 0; // a negative remainder gives the first letter
    int64_t shift = Order() == 2 && row > 32 ? 5 * (32 - row) : 0;
    if (shift < -(int64_t(1) << 30)) shift = -(int64_t(1) << 30); // off screen long before
    DrawTwister(slots[size_t(SlotLetterE + letter)], slots[SlotTexture], screen, int32_t(shift));

    SetCaption(k >= 0 && k < int64_t(StepCaptions.size()) ? StepCaptions[size_t(k)]
                                                          : OtherStepCaption);
    PlaceCaption(9 * k + 10, 4 * k, screen);
}

void DrawCrabScene(SDL_Surface* screen, const SurfaceSlotArray& slots, int64_t row) {
    DrawPicture(slots[SlotBackground], screen, 0, 0);

    // Two rand() calls, x first: the crab's jitter.
    const int64_t crabX = 64 * (Order() - 5) + row + std::rand() % 5;
    int64_t crabY = std::rand() % 4 + ((row - 64) >> 1);
    if (Order() == 5) crabY += 3 * row; // the last crab order drops it off screen

    SetCaption(CrabCaption);
    PlaceCaption(0, (59581 * row) % 190, screen);

    DrawPicture(slots[SlotCrab], screen, crabX, crabY);

    const int64_t order = Order();
    if (order == 4)
        DrawPicture(slots[SlotHead2], screen, 64 - row, 0);
    else if (order == 5)
        DrawPicture(slots[SlotHead2], screen, 0, 0);
}

void DrawHeadScene(SDL_Surface* screen, const SurfaceSlotArray& slots, int64_t row) {
    DrawPicture(slots[SlotBackground], screen, 0, 0);

    const int64_t phase = row % 32;
    SDL_Surface* head = phase < 16 ? slots[SlotHead1] : slots[SlotHead2];

    // Past the last line the previous caption is shown again.
    const int64_t line = (64 * (Order() - 6) + row) / 32;
    if (line >= 0 && line < int64_t(HeadLines.size())) SetCaption(HeadLines[size_t(line)]);
    PlaceCaption(200 - 15 * phase, 110, screen);

    DrawPicture(head, screen, 0, 0);
}

} // namespace

bool DrawScene(SDL_Surface* screen, const SurfaceSlotArray& slots, int32_t row) {
    const int64_t order = Order();
    if (order >= EndOrder) return true;
    if (!screen) return false;
    if (order <= 2)
        DrawTwisterScene(screen, slots, row);
    else if (order <= 5)
        DrawCrabScene(screen, slots, row);
    else if (order <= 9)
        DrawHeadScene(screen, slots, row);
    else
        DrawPicture(slots[SlotEnd], screen, 0, 0);
    return false;
}

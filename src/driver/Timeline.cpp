#include "driver/Timeline.h"

#include "common/Data.h"
#include "common/Greeting.h"
#include "effects/Caption.h"
#include "effects/Twister.h"
#include "music/Music.h"

#include <algorithm>
#include <cstdlib>

namespace {

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

    // The name's letters in turn, one per 16 rows.
    const Greeting& greeting = CurrentGreeting;
    const auto letters = int64_t(std::clamp<size_t>(greeting.name.size(), 1, LetterSlots.size()));
    const int64_t k = (64 * Order() + FMUSIC_GetRow(SongHandle)) / 16;
    const int64_t letter = k % letters > 0 ? k % letters : 0; // a negative remainder: the first
    int64_t shift = Order() == 2 && row > 32 ? 5 * (32 - row) : 0;
    if (shift < -(int64_t(1) << 30)) shift = -(int64_t(1) << 30); // off screen long before
    DrawTwister(slots[size_t(LetterSlots[size_t(letter)])], slots[SlotTexture], screen,
                int32_t(shift));

    const auto steps = int64_t(greeting.steps.size());
    SetCaption(k >= 0 && k < steps ? greeting.steps[size_t(k)].c_str() : greeting.stepsEnd.c_str());
    PlaceCaption(9 * k + 10, 4 * k, screen);
}

void DrawCrabScene(SDL_Surface* screen, const SurfaceSlotArray& slots, int64_t row) {
    DrawPicture(slots[SlotBackground], screen, 0, 0);

    // Two rand() calls, x first: the crab's jitter.
    const int64_t crabX = 64 * (Order() - 5) + row + std::rand() % 5;
    int64_t crabY = std::rand() % 4 + ((row - 64) >> 1);
    if (Order() == 5) crabY += 3 * row; // the last crab order drops it off screen

    SetCaption(CurrentGreeting.crab.c_str());
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
    const auto& lines = CurrentGreeting.head;
    if (line >= 0 && line < int64_t(lines.size())) SetCaption(lines[size_t(line)].c_str());
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

#include "effects/Caption.h"

TTF_Font* CaptionFont = nullptr;
SDL_Surface* CaptionSurface = nullptr;
SDL_Color CaptionColor = {0, 0, 0, 0};
SDL_Rect CaptionRect = {0, 0, 0, 0};

void SetCaption(const char* text) {
    CaptionColor.r = 255;
    FreeCaption();
    // No font or nothing to render (an empty text): no caption until the next.
    if (!CaptionFont || !text) return;
    CaptionSurface = TTF_RenderText_Solid(CaptionFont, text, CaptionColor);
    // Index 0 is the line's background: only the letters are copied.
    if (CaptionSurface) SDL_SetColorKey(CaptionSurface, SDL_SRCCOLORKEY, 0);
}

void DrawCaption(int32_t x, int32_t y, SDL_Surface* destination) {
    if (!CaptionSurface || !destination) return;
    // The rectangle holds 16-bit positions: keep the low 16 bits.
    CaptionRect.x = Sint16(x);
    CaptionRect.y = Sint16(y);
    CaptionRect.w = Uint16(CaptionSurface->w);
    CaptionRect.h = Uint16(CaptionSurface->h);
    SDL_UpperBlit(CaptionSurface, nullptr, destination, &CaptionRect);
}

void FreeCaption() {
    if (CaptionSurface) SDL_FreeSurface(CaptionSurface);
    CaptionSurface = nullptr;
}

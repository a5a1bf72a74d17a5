// The captions: SetCaption renders a one-line Latin-1 text in pure red with
// the caption font into the caption surface, replacing the one rendered
// before; DrawCaption copies the current caption onto a surface at a
// position, its background left out by a colour key. The captions also open
// and check their font.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>

extern TTF_Font* CaptionFont;       // opened at start-up; null when the font is missing
extern SDL_Surface* CaptionSurface; // the caption rendered last; null before the first

// Renders a Latin-1 text in red, replacing the previous caption.
void SetCaption(const char* text);
// Draws the current caption with its top-left corner at (x, y).
void DrawCaption(int32_t x, int32_t y, SDL_Surface* destination);
// Releases the current caption (at shutdown).
void FreeCaption();

// Starts the font library and opens CaptionFont from "dat/arialbd.ttf" (in
// the data folder) at 12 points. False, after SetError saying what is wrong with the font file
// (not there, a folder, not a TrueType font, cut short), when there is no
// font: captions are then left out.
bool OpenCaptionFont();
void CloseCaptionFont();

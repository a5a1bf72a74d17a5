// The greeting's pictures, each drawn from scratch in a file of its own
// (Beach.cpp, Crab.cpp, Head.cpp, Letters.cpp, Texture.cpp, Cake.cpp,
// Flare.cpp, FontLetters.cpp); what several of them paint with is in Paint.h.
#pragma once

#include "Canvas.h"

#include <cstdint>
#include <string_view>
#include <vector>

Canvas DrawBeach();              // ek_taus: the sunset beach behind everything
Canvas DrawCrab();               // ek_rapu: keyed, walks on the sand of the beach
Canvas DrawHead(bool mouthOpen); // ek_pae1 / ek_pae2: keyed, talks towards the left
Canvas DrawLetter(char letter);  // ek__e / ek__k / ek__u: white masks for the twister
Canvas DrawTwisterTexture();     // bit7: 256x256, columns 0-63 and rows 0-199 are seen
Canvas DrawCake();               // kewl: the end picture
Canvas DrawFlare();              // flare: 64x64 glow, the indices are intensities

// Any name's letter masks, from the caption font (FontLetters.cpp): open the
// font from its bytes, check the letters, size them for the name (one size
// for all its letters), then draw each. False after SetError.
bool OpenLetterFont(const std::vector<uint8_t>& font);
bool LetterFontHas(uint8_t letter); // a Latin-1 character with ink
bool SizeLetters(std::string_view name);
Canvas DrawFontLetter(uint8_t letter); // the letter's capital: a white mask for the twister
void CloseLetterFont();

#include "effects/Caption.h"

#include "common/ByteOrder.h"
#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"

#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

TTF_Font* CaptionFont = nullptr;
SDL_Surface* CaptionSurface = nullptr;

namespace {

SDL_Color CaptionColor = {0, 0, 0, 0}; // made pure red by every caption
SDL_Rect CaptionRect = {0, 0, 0, 0};   // where the caption was drawn last

} // namespace

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

namespace {

// Far more than any caption font needs; the font is read whole.
constexpr size_t FontSizeLimit = 32 << 20;

// The font's bytes: the font library reads its glyphs from them for as long
// as the font is open.
std::vector<uint8_t> FontBytes;

bool StartsWith(std::span<const uint8_t> b, std::string_view text) {
    return b.size() >= text.size() && std::memcmp(b.data(), text.data(), text.size()) == 0;
}

// Whether the table directory of the font at `at` and every table it lists
// lie within the file. FreeType opens a font cut short and only fails on the
// glyphs that are missing.
bool TablesAreWhole(std::span<const uint8_t> b, uint64_t at) {
    if (at + 12 > b.size()) return false;
    const uint64_t tables = uint64_t(b[at + 4]) << 8 | b[at + 5];
    if (at + 12 + 16 * tables > b.size()) return false;
    for (uint64_t entry = at + 12; entry < at + 12 + 16 * tables; entry += 16)
        if (uint64_t(GetBe32(b, entry + 8)) + GetBe32(b, entry + 12) > b.size()) return false;
    return true;
}

// What is wrong with a font file for the captions, or null.
const char* FontFault(std::span<const uint8_t> b) {
    if (b.empty()) return "is empty";
    if (StartsWith(b, "\x80\x01") || StartsWith(b, "%!PS-AdobeFont") ||
        StartsWith(b, "%!FontType1"))
        return "is a Type 1 (PostScript) font; the captions need a TrueType font";
    if (StartsWith(b, "wOFF") || StartsWith(b, "wOF2"))
        return "is a web font (WOFF); the captions need a TrueType font";
    const bool single = StartsWith(b, std::string_view("\0\1\0\0", 4)) || StartsWith(b, "true") ||
                        StartsWith(b, "OTTO");
    if (!single && !StartsWith(b, "ttcf")) return "is not a TrueType font";
    if (b.size() < 16) return "is cut short";
    // A collection lists where its fonts start; the first is the one used.
    const uint64_t first = single ? 0 : GetBe32(b, 12);
    if (!TablesAreWhole(b, first)) return "is cut short";
    return nullptr;
}

} // namespace

bool OpenCaptionFont() {
    CloseCaptionFont();
    if (!TTF_WasInit()) {
        if (TTF_Init() < 0) return SetError("cannot start the font library: %s", TTF_GetError());
        std::atexit(TTF_Quit);
    }
    const std::string path = DataFolderPath(FontFile);
    if (!ReadDataFile(path.c_str(), "font", FontSizeLimit, DataLimit::Refuse, FontBytes))
        return false;
    if (const char* fault = FontFault(FontBytes)) {
        FontBytes = {};
        return SetError("font \"%s\" %s", path.c_str(), fault);
    }
    SDL_RWops* source = SDL_RWFromConstMem(FontBytes.data(), int(FontBytes.size()));
    CaptionFont = source ? TTF_OpenFontRW(source, 1, FontPoints) : nullptr;
    if (!CaptionFont) {
        FontBytes = {};
        return SetError("cannot open font \"%s\": %s", path.c_str(), TTF_GetError());
    }
    return true;
}

void CloseCaptionFont() {
    if (CaptionFont) TTF_CloseFont(CaptionFont);
    CaptionFont = nullptr;
    FontBytes = {};
}

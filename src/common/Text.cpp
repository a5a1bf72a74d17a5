#include "common/Text.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace {

// As setlocale(LC_CTYPE, "") would choose, without choosing it.
bool TerminalIsUtf8() {
    const locale_t locale = newlocale(LC_CTYPE_MASK, "", nullptr);
    if (!locale) return false;
    const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
    freelocale(locale);
    return utf8;
}

} // namespace

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else { // Latin-1 is the first 256 code points: two bytes each
            utf8 += char(0xC0 | byte >> 6);
            utf8 += char(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string ForTerminal(std::string_view latin1) {
    return TerminalIsUtf8() ? Latin1ToUtf8(latin1) : std::string(latin1);
}

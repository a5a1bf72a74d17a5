// Text for the user's terminal. The greeting's texts are Latin-1 bytes, as
// its captions are; a terminal in a UTF-8 locale shows them only converted.
#pragma once

#include <string>
#include <string_view>

// Latin-1 text as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

// `latin1` converted to UTF-8 when the locale that the environment names for
// characters (LC_ALL, LC_CTYPE, LANG) is a UTF-8 one; the bytes as they are
// in any other locale, or where none is set or it is not installed. The
// program's own locale stays as it was.
std::string ForTerminal(std::string_view latin1);

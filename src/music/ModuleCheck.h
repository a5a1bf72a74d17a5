// Whether a tracker module's file holds everything its headers point at, and
// whether it has anything to play. libopenmpt loads a module cut short
// without a word and plays what is missing as silence, and one with no
// orders as nothing at all; the sound library and the song report refuse
// both.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// `type` is libopenmpt's name of the format ("s3m", "mod", "xm", "it"). The
// S3M, MOD (31 samples, with a signature that gives its channels), XM 1.04
// and IT layouts are checked; a file of another kind or layout is taken as
// whole.
bool ModuleIsWhole(std::span<const uint8_t> file, std::string_view type);

// Whether some order of the `orders` names a pattern with rows (`rowsAt(order)`:
// the rows of the pattern it names, 0 for none) and the module lasts
// (`seconds`, asked only then).
template <typename RowsAt, typename Seconds>
bool HasSomethingToPlay(int orders, RowsAt rowsAt, Seconds seconds) {
    for (int order = 0; order < orders; ++order)
        if (rowsAt(order) > 0) return seconds() > 0;
    return false;
}

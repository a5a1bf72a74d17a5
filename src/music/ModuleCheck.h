// Whether a tracker module's file holds everything its headers point at.
// libopenmpt loads a module cut short without a word and plays what is
// missing as silence; the sound library refuses such a file as damaged.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// `type` is libopenmpt's name of the format ("s3m", "mod", "xm", "it"). The
// S3M, MOD (31 samples, with a signature that gives its channels), XM 1.04
// and IT layouts are checked; a file of another kind or layout is taken as
// whole.
bool ModuleIsWhole(std::span<const uint8_t> file, std::string_view type);

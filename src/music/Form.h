// The greeting's form as the timeline reads the music: it is over when the
// module reaches EndOrder. Header only and free of the media library, so
// that the song's tools can share it.
#pragma once

#include <cstdint>

inline constexpr int32_t EndOrder = 11;

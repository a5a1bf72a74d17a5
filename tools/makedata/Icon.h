// The program's icon for desktop menus: the cake of the end picture.
#pragma once

#include <cstdint>
#include <vector>

// A 64x64 RGBA PNG: the cake and its candles, shrunk to a third, on a
// transparent square.
std::vector<uint8_t> DrawIcon();

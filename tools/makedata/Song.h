// The greeting's music, composed and synthesized here.
#pragma once

#include <cstdint>
#include <vector>

// The bytes of dat/rimpaaa.s3m.
std::vector<uint8_t> ComposeSong();

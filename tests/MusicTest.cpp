// The greeting's music binding: the library's error texts. Its start-up
// failures are the fault runs' (FaultTest), the order callback keeping
// CurrentOrder fresh the sync test's.
#include "music/Music.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// The library's texts byte for byte ("Not enough memory " keeps its blank),
// one for each code, and "Unknown error" for any other.
TEST(MusicErrorText, GivesTheLibraryTextsByteForByte) {
    std::string all;
    for (int code = 0; code <= 18; ++code)
        all += MusicErrorText(code) + std::string("\n");
    EXPECT_EQ(Hash(all.data(), all.size()), 11744638509035809897u);
    EXPECT_STREQ(MusicErrorText(12), "Not enough memory ");
    for (int code : {19, 20, 255, -1, INT32_MIN, INT32_MAX})
        EXPECT_STREQ(MusicErrorText(code), "Unknown error") << code;
}

} // namespace

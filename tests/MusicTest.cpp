// The greeting's music binding: its error texts and its start-up failures (in
// a child process, since they end the process). The order callback keeping
// CurrentOrder fresh is the sync test's.
#include "music/Music.h"

#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

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

// InitMusic in a child process, standard output going to a file: it ends
// the process with status 1 after printing the library's text.
TEST(InitMusicDeathTest, FailuresPrintTheLibrarysTextAndEndWithStatus1) {
    TempDir dir;
    WriteBytes(dir / "text.s3m", std::vector<uint8_t>(1000, 'x'));
    WriteBytes(dir / "song.s3m", MakeTestModule(1, 1, 255));
    const struct {
        const char *module, *audioDriver, *out;
    } cases[] = {{"missing.s3m", "dummy", "File not found\n"},
                 {"text.s3m", "dummy", "Unknown file format\n"},
                 {"song.s3m", "nonexistent", "Error initializing output device.\n"}};
    for (const auto& c : cases) {
        const std::string module = (dir / c.module).string(), out = (dir / "out.txt").string();
        EXPECT_EXIT(
            {
                if (!std::freopen(out.c_str(), "w", stdout)) std::_Exit(99);
                setenv("SDL_AUDIODRIVER", c.audioDriver, 1);
                InitMusic(module.c_str());
                std::_Exit(98); // InitMusic must not return
            },
            testing::ExitedWithCode(1), "");
        const std::vector<uint8_t> printed = ReadBytes(out);
        EXPECT_EQ(std::string(printed.begin(), printed.end()), c.out);
    }
}

} // namespace

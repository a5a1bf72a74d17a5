// The greeting's music binding: its error texts, its start-up failures (in a
// child process, since they end the process) and the order callback keeping
// CurrentOrder fresh.
#include "music/Music.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

// Each of the library's codes has its own text; what reaches the user is
// checked byte for byte through InitMusic's failures below.
TEST(MusicErrorText, EveryLibraryCodeHasItsOwnText) {
    std::set<std::string> texts;
    for (int code = 0; code <= 18; ++code) {
        const std::string text = MusicErrorText(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_NE(text, "Unknown error") << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 19u);
}

TEST(MusicErrorText, GivesTheLibraryTextsByteForByte) {
    EXPECT_STREQ(MusicErrorText(0), "No errors");
    EXPECT_STREQ(MusicErrorText(1),
                 "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_STREQ(MusicErrorText(3), "Error initializing output device.");
    EXPECT_STREQ(MusicErrorText(9), "File not found");
    EXPECT_STREQ(MusicErrorText(12), "Not enough memory "); // the trailing blank stays
    EXPECT_STREQ(MusicErrorText(18), "Required Mediaplayer codec is not installed");
}

TEST(MusicErrorText, AnyOtherCodeIsUnknown) {
    for (int code : {19, 20, 255, -1, -2147483647 - 1, 2147483647})
        EXPECT_STREQ(MusicErrorText(code), "Unknown error") << code;
}

// Runs InitMusic in a child process with standard output going to a file;
// the parent checks the exit status and, afterwards, the file.
void ExpectInitMusicFails(const std::string& modulePath, const char* audioDriver,
                          const std::string& expectedOut) {
    TempDir dir;
    const std::string outPath = (dir / "stdout.txt").string();
    EXPECT_EXIT(
        {
            if (!std::freopen(outPath.c_str(), "w", stdout)) std::_Exit(99);
            setenv("SDL_AUDIODRIVER", audioDriver, 1);
            InitMusic(modulePath.c_str());
            std::_Exit(98); // InitMusic must not return
        },
        testing::ExitedWithCode(1), "");
    const std::vector<uint8_t> out = ReadBytes(outPath);
    EXPECT_EQ(std::string(out.begin(), out.end()), expectedOut);
}

TEST(InitMusicDeathTest, MissingModulePrintsFileNotFound) {
    TempDir dir;
    ExpectInitMusicFails((dir / "rimpaaa.s3m").string(), "dummy", "File not found\n");
}

TEST(InitMusicDeathTest, NotAModulePrintsUnknownFileFormat) {
    TempDir dir;
    WriteBytes(dir / "rimpaaa.s3m", std::vector<uint8_t>(1000, 'x'));
    ExpectInitMusicFails((dir / "rimpaaa.s3m").string(), "dummy", "Unknown file format\n");
}

TEST(InitMusicDeathTest, UnknownAudioDriverPrintsOutputDeviceError) {
    TempDir dir;
    WriteBytes(dir / "rimpaaa.s3m", MakeTestModule(1, 1, 255));
    ExpectInitMusicFails((dir / "rimpaaa.s3m").string(), "nonexistent",
                         "Error initializing output device.\n");
}

TEST(Music, OrderCallbackKeepsCurrentOrderAndStopReleases) {
    TempDir dir;
    WriteBytes(dir / "song.s3m", MakeTestModule(3, 1, 255));
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
    InitMusic((dir / "song.s3m").c_str());
    ASSERT_NE(SongHandle, nullptr);
    CurrentOrder.store(0);
    PlayMusic();
    std::vector<int16_t> buffer(2 * 1024);
    int lastSeen = 0;
    while (FMUSIC_Render(SongHandle, buffer.data(), 1024) > 0) {
        // Only the callback writes here: it must follow the song's order.
        const int order = CurrentOrder.load();
        EXPECT_EQ(order, FMUSIC_GetOrder(SongHandle));
        EXPECT_GE(order, lastSeen);
        lastSeen = order;
    }
    EXPECT_EQ(lastSeen, 2);
    StopMusic();
    EXPECT_EQ(SongHandle, nullptr);
    FSOUND_SetOutput(FSOUND_OUTPUT_SDL);
}

} // namespace

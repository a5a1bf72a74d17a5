// The sound library layer with small modules of known orders and rows,
// rendered offline on the test's thread, and a song freed while SDL's audio
// thread plays it. Playback in step with the frames is the sync test's.
#include "music/SoundLib.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int RowFrames = 432; // 44100 * 2.5 / 255, one tick per row

// What the order callback saw; the callback may run on another thread.
struct CallbackLog {
    std::mutex lock;
    std::vector<std::pair<FMUSIC_MODULE*, int>> calls; // handle, order reported inside
    std::vector<std::thread::id> threads;
};
CallbackLog Calls;

void RecordOrder(FMUSIC_MODULE* mod, unsigned char) {
    std::lock_guard<std::mutex> lock(Calls.lock);
    Calls.calls.emplace_back(mod, FMUSIC_GetOrder(mod));
    Calls.threads.push_back(std::this_thread::get_id());
}

class SoundLib : public testing::Test {
  protected:
    void SetUp() override {
        // Playback runs on the dummy driver, which paces itself like a sound
        // card, whatever the environment names.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::lock_guard<std::mutex> lock(Calls.lock);
        Calls.calls.clear();
        Calls.threads.clear();
    }
    void TearDown() override {
        if (song) FMUSIC_FreeSong(song);
        FSOUND_Close();
        FSOUND_SetOutput(FSOUND_OUTPUT_SDL);
    }
    std::string WriteModule(int orders) {
        const auto path = dir / "song.s3m";
        WriteBytes(path, MakeTestModule(orders, 1, 255));
        return path.string();
    }
    void StartOffline() {
        ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
        ASSERT_EQ(FSOUND_Init(44100, 32, 2), 1);
    }
    std::vector<std::pair<FMUSIC_MODULE*, int>> CallsSoFar() {
        std::lock_guard<std::mutex> lock(Calls.lock);
        return Calls.calls;
    }

    TempDir dir;
    FMUSIC_MODULE* song = nullptr;
};

TEST_F(SoundLib, OfflineRenderWalksEveryOrderAndRowOnceAndEnds) {
    StartOffline();
    song = FMUSIC_LoadSong(WriteModule(3).c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetOrderCallback(song, RecordOrder, 1);
    ASSERT_EQ(FMUSIC_PlaySong(song), 1);
    EXPECT_EQ(FMUSIC_GetOrder(song), 0);
    EXPECT_EQ(FMUSIC_GetRow(song), 0);

    std::vector<int16_t> buffer(2 * 100);
    std::vector<std::vector<bool>> seen(3, std::vector<bool>(64, false));
    int lastOrder = 0, lastRow = 0;
    long frames = 0;
    uint64_t samples = Hash(nullptr, 0);
    while (int n = FMUSIC_Render(song, buffer.data(), 100)) {
        frames += n;
        samples = Hash(buffer.data(), size_t(n) * 4, samples);
        const int order = FMUSIC_GetOrder(song), row = FMUSIC_GetRow(song);
        ASSERT_GE(order, 0);
        ASSERT_LT(order, 3);
        ASSERT_GE(row, 0);
        ASSERT_LT(row, 64);
        // Forward only: a later order, or a later row of the same one.
        EXPECT_TRUE(order > lastOrder || (order == lastOrder && row >= lastRow))
            << lastOrder << ":" << lastRow << " -> " << order << ":" << row;
        seen[order][row] = true;
        lastOrder = order;
        lastRow = row;
        EXPECT_EQ(FMUSIC_IsFinished(song), n < 100 ? 1 : 0);
        ASSERT_LT(frames, 4 * 64 * RowFrames) << "the song does not end";
    }
    for (int o = 0; o < 3; ++o)
        for (int r = 0; r < 64; ++r)
            EXPECT_TRUE(seen[o][r]) << "order " << o << " row " << r;
    EXPECT_NEAR(frames, 3 * 64 * RowFrames, 64);
    EXPECT_EQ(samples, 7600870970566547323u); // every sample exactly
    EXPECT_EQ(FMUSIC_IsFinished(song), 1);
    EXPECT_EQ(FMUSIC_Render(song, buffer.data(), 100), 0);
    // The last position stays, never a jump back to the start.
    EXPECT_EQ(FMUSIC_GetOrder(song), 2);
    EXPECT_EQ(FMUSIC_GetRow(song), 63);

    const auto calls = CallsSoFar();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(song, 1));
    EXPECT_EQ(calls[1], std::make_pair(song, 2));
    EXPECT_EQ(Calls.threads[0], std::this_thread::get_id());

    // Playing again starts over from the beginning.
    ASSERT_EQ(FMUSIC_PlaySong(song), 1);
    EXPECT_EQ(FMUSIC_IsFinished(song), 0);
    EXPECT_EQ(FMUSIC_Render(song, buffer.data(), 100), 100);
    EXPECT_EQ(FMUSIC_GetOrder(song), 0);
    EXPECT_EQ(FMUSIC_GetRow(song), 0);
    EXPECT_EQ(FMUSIC_Render(song, buffer.data(), 1), 1); // a single frame too
}

TEST_F(SoundLib, SetPositionSeeksAndReportsAnyPosition) {
    StartOffline();
    song = FMUSIC_LoadSong(WriteModule(3).c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetOrderCallback(song, RecordOrder, 1);
    std::vector<int16_t> buffer(2 * 256);

    FMUSIC_SetPosition(song, 2, 10);
    EXPECT_EQ(FMUSIC_GetOrder(song), 2);
    EXPECT_EQ(FMUSIC_GetRow(song), 10);
    ASSERT_EQ(FMUSIC_Render(song, buffer.data(), 256), 256);
    EXPECT_EQ(FMUSIC_GetOrder(song), 2);
    EXPECT_EQ(FMUSIC_GetRow(song), 10);

    // Positions the module does not have are reported as they were set.
    for (auto [order, row] : {std::pair{-1, 0}, {7, 0}, {1, 64}, {0, -5}}) {
        FMUSIC_SetPosition(song, order, row);
        EXPECT_EQ(FMUSIC_GetOrder(song), order);
        EXPECT_EQ(FMUSIC_GetRow(song), row);
    }
    EXPECT_TRUE(CallsSoFar().empty()) << "setting a position calls nothing back";
}

// Rates from 4000 to 192000 Hz and no negative channel count; nothing loads
// before it starts; once started, nothing changes until it is closed. (What
// each fault of a module file gives is the fault runs'.)
TEST_F(SoundLib, SettingsCannotChangeOnceStarted) {
    EXPECT_GE(FSOUND_GetVersion(), 3.5f); // the interface it serves
    EXPECT_EQ(FMUSIC_LoadSong(WriteModule(1).c_str()), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    for (auto [rate, channels] : {std::pair{3999, 32}, {192001, 32}, {44100, -1}}) {
        EXPECT_EQ(FSOUND_Init(rate, channels, 2), 0) << rate << " " << channels;
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    }
    StartOffline();
    EXPECT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_SDL), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    EXPECT_EQ(FSOUND_Init(44100, 32, 2), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    FSOUND_Close();
    EXPECT_EQ(FSOUND_SetOutput(42), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
}

TEST_F(SoundLib, FreeingAPlayingSongStopsItAtOnce) {
    ASSERT_EQ(FSOUND_Init(44100, 32, 2), 1) << SDL_GetError();
    song = FMUSIC_LoadSong(WriteModule(3).c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetOrderCallback(song, RecordOrder, 1);
    FMUSIC_PlaySong(song);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    song = nullptr;
    // The audio thread keeps running on silence without the song.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    FSOUND_Close();
}

} // namespace

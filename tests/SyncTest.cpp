// The music as the clock: the order callback and the greeting's own frame
// loop agree on every order change. The run over the greeting's real music is
// long (about a minute and a half) and runs only when EKUDEMO_WHOLE_RUN=1 (the
// sanitizer build of CI).
#include "driver/Demo.h"
#include "music/Music.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The music as the clock. The order callback is replaced by one that records
// each order it reports (and keeps CurrentOrder as the greeting's does); the
// greeting's own frame loop runs in this thread.

std::mutex ReportLock;
std::vector<int32_t> Reported; // guarded by ReportLock
std::atomic<int32_t> LastReported{-1};

void RecordOrderChange(FMUSIC_MODULE* module, unsigned char param) {
    OnOrderChange(module, param);
    const int32_t order = FMUSIC_GetOrder(module);
    {
        std::lock_guard<std::mutex> lock(ReportLock);
        Reported.push_back(order);
    }
    LastReported.store(order, std::memory_order_release);
}

struct OrderChange {
    int32_t reported;   // by the callback
    int32_t frameOrder; // what the next frame left in CurrentOrder
    int32_t frameRow;   // and the row right after it
};

void CheckSyncOverWholeRun(const fs::path& dir, double limitSeconds) {
    fs::path previous = fs::current_path();
    fs::current_path(dir);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Reported.clear();
    LastReported = -1;

    SurfaceSlotArray slots{};
    SDL_Surface* flareSprite = nullptr;
    ASSERT_EQ(StartUp(StartOptions{}, slots, flareSprite), 0);
    // Playback has just begun: the first change is most of a second away.
    FMUSIC_SetOrderCallback(SongHandle, RecordOrderChange, 1);

    std::vector<OrderChange> changes;
    std::vector<int32_t> frameOrders;
    size_t stale = 0, seen = 0;
    const auto start = Clock::now();
    bool quit = false;
    do {
        const int32_t before = LastReported.load(std::memory_order_acquire);
        size_t reportedBefore;
        {
            std::lock_guard<std::mutex> lock(ReportLock);
            reportedBefore = Reported.size();
        }
        quit = RunFrame(slots);
        const int32_t order = CurrentOrder.load(std::memory_order_relaxed);
        const int32_t row = FMUSIC_GetRow(SongHandle);
        if (frameOrders.empty() || frameOrders.back() != order) frameOrders.push_back(order);
        if (order < before) ++stale;
        std::lock_guard<std::mutex> lock(ReportLock);
        for (; seen < reportedBefore; ++seen)
            changes.push_back({Reported[seen], order, row});
    } while (!quit && Clock::now() - start < std::chrono::duration<double>(limitSeconds));
    ShutDown(slots, flareSprite);
    fs::current_path(previous);

    ASSERT_TRUE(quit) << "the greeting did not end in " << limitSeconds << " s";
    std::vector<int32_t> expected;
    for (int32_t order = 0; order <= 11; ++order)
        expected.push_back(order);
    // Orders 0 to 11 one after another, each once: the first frame shows 0,
    // the callback reports every later one.
    EXPECT_EQ(frameOrders, expected);
    std::vector<int32_t> reported(expected.begin() + 1, expected.end());
    ASSERT_EQ(Reported, reported);
    ASSERT_EQ(changes.size(), reported.size());
    for (const OrderChange& change : changes) {
        EXPECT_EQ(change.frameOrder, change.reported) << "order " << change.reported;
        EXPECT_LT(change.frameRow, 16) << "order " << change.reported;
    }
    EXPECT_EQ(stale, 0u) << "frames that showed an order older than the one reported before them";
}

TEST(Sync, OrdersArriveInSequenceAndNoFrameLagsBehindTheCallback) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 14);
    CheckSyncOverWholeRun(dir.Path(), 60);
}

TEST(WholeRun, SyncOverTheRealMusic) {
    if (!WholeRunsWanted()) GTEST_SKIP() << "set EKUDEMO_WHOLE_RUN=1 for the run of 1.5 minutes";
    TempDir dir;
    CopyData(dir.Path());
    CheckSyncOverWholeRun(dir.Path(), 240);
}

} // namespace

// The greeting under faults it must survive: every data file missing, empty or
// cut in half, a module that is not one, no sound output, no display. Then the
// music as the clock: the order callback and the frame loop agree on every
// order change. Then a real X window (on Xvfb), ended by Escape and by a
// close request. Runs with the greeting's real music are long (about a minute
// and a half) and run only when EKUDEMO_WHOLE_RUN=1 (the sanitizer build of CI).
#include "driver/Demo.h"
#include "music/Music.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// In WindowClose.cpp, away from the X headers' macros.
bool SendCloseRequest(const std::string& display, unsigned long window);

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const std::string Farewell = "mik\xE5 kaislaten tulevi se kukkuen menevi\n";
const std::vector<std::string> Headless = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};

RunResult RunGreeting(const fs::path& dir, std::vector<std::string> env = Headless,
                      double timeout = 60) {
    RunOptions options;
    options.workDir = dir;
    options.env = std::move(env);
    options.timeoutSeconds = timeout;
    return RunProgram({ProgramPath("ekudemo")}, options);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool WholeRunsWanted() {
    const char* wanted = std::getenv("EKUDEMO_WHOLE_RUN");
    return wanted && std::string(wanted) == "1";
}

// ---------------------------------------------------------------------------
// Fault runs: each data file in turn missing, empty or cut in half.

enum class Fault { Missing, Empty, CutInHalf };

struct FaultCase {
    std::string file; // under dat/
    Fault fault;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    const char* fault[] = {"missing", "empty", "cut in half"};
    *os << "dat/" << c.file << " " << fault[int(c.fault)];
}

std::string FaultName(const testing::TestParamInfo<FaultCase>& info) {
    std::string name = info.param.file;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(uint8_t(c)); }, '_');
    const char* fault[] = {"Missing", "Empty", "CutInHalf"};
    return name + "_" + fault[int(info.param.fault)];
}

std::vector<FaultCase> AllFaults() {
    const char* files[] = {"ek_taus.pcx", "ek_pae1.pcx", "ek_pae2.pcx", "ek_rapu.pcx",
                           "ek__e.pcx",   "ek__k.pcx",   "ek__u.pcx",   "bit7.pcx",
                           "kewl.pcx",    "flare.pcx",   "arialbd.ttf", "rimpaaa.s3m"};
    std::vector<FaultCase> cases;
    for (const char* file : files)
        for (Fault fault : {Fault::Missing, Fault::Empty, Fault::CutInHalf})
            cases.push_back({file, fault});
    return cases;
}

void Damage(const fs::path& path, Fault fault) {
    switch (fault) {
    case Fault::Missing:
        fs::remove(path);
        break;
    case Fault::Empty:
        WriteBytes(path, {});
        break;
    case Fault::CutInHalf: {
        std::vector<uint8_t> bytes = ReadBytes(path);
        bytes.resize(bytes.size() / 2);
        WriteBytes(path, bytes);
        break;
    }
    }
}

class FaultRun : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultRun, EndsWithAClearMessage) {
    const FaultCase& c = GetParam();
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    Damage(dir / ("dat/" + c.file), c.fault);
    RunResult run = RunGreeting(dir.Path());
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.signal, 0) << run.err;
    const std::string quoted = "\"dat/" + c.file + "\"";

    if (c.file.ends_with(".pcx")) {
        // Before any frame: the picture named, nothing on standard output.
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(Contains(run.err, "ekudemo: ")) << run.err;
        EXPECT_TRUE(Contains(run.err, quoted)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    } else if (c.file.ends_with(".ttf")) {
        // One warning naming the font; the greeting plays to its end.
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, Farewell);
        EXPECT_TRUE(Contains(run.err, quoted)) << run.err;
        EXPECT_TRUE(Contains(run.err, "no captions")) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    } else {
        // The library's own text on standard output, the file and the reason
        // on standard error.
        const char* text[] = {"File not found\n", "Unknown file format\n", "Error loading file\n"};
        const std::string reason[] = {"cannot open music " + quoted + ": No such file or directory",
                                      "music " + quoted + " is empty",
                                      "music " + quoted + " is cut short"};
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, text[int(c.fault)]);
        EXPECT_EQ(run.err.rfind("ekudemo: " + reason[int(c.fault)], 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDataFile, FaultRun, testing::ValuesIn(AllFaults()), FaultName);

TEST(FaultRuns, AModuleCutAnywhereIsADamagedFile) {
    // The module the greeting really plays when it is there, else a test one.
    std::vector<uint8_t> module = fs::exists(SourceDir() / "dat/rimpaaa.s3m")
                                      ? ReadBytes(SourceDir() / "dat/rimpaaa.s3m")
                                      : MakeTestModule(12, 6, 125);
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    // From inside the header to the last byte of the last sample.
    for (size_t length :
         {size_t(300), module.size() / 4, module.size() * 3 / 4, module.size() - 1}) {
        std::vector<uint8_t> cut(module.begin(), module.begin() + ptrdiff_t(length));
        WriteBytes(dir / "dat/rimpaaa.s3m", cut);
        RunResult run = RunGreeting(dir.Path());
        EXPECT_EQ(run.status, 1) << length;
        EXPECT_EQ(run.out, "Error loading file\n") << length;
        EXPECT_EQ(run.err.rfind("ekudemo: music \"dat/rimpaaa.s3m\" is cut short", 0), 0u)
            << length << run.err;
    }
}

TEST(FaultRuns, APictureInPlaceOfTheModuleIsNotAModule) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    fs::copy_file(dir / "dat/kewl.pcx", dir / "dat/rimpaaa.s3m",
                  fs::copy_options::overwrite_existing);
    RunResult run = RunGreeting(dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Unknown file format\n");
    EXPECT_TRUE(Contains(run.err, "\"dat/rimpaaa.s3m\"")) << run.err;
}

TEST(FaultRuns, NoSoundOutputEndsBeforeAnyWindow) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    RunResult run =
        RunGreeting(dir.Path(), {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=nonexistent"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error initializing output device.\n");
}

TEST(FaultRuns, NoDisplayIsReportedWithStatus1) {
    // No driver asked for and nothing to reach: SDL would quietly fall back to
    // drawing off screen.
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    RunResult run = RunGreeting(
        dir.Path(), {"SDL_VIDEODRIVER=", "DISPLAY=", "WAYLAND_DISPLAY=", "SDL_AUDIODRIVER=dummy"});
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "ekudemo: no display available\n")) << run.err;

    // An X display that is not there.
    run =
        RunGreeting(dir.Path(), {"SDL_VIDEODRIVER=x11", "DISPLAY=:4999", "SDL_AUDIODRIVER=dummy"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "ekudemo: cannot start the video subsystem")) << run.err;
}

// ---------------------------------------------------------------------------
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
    ASSERT_EQ(StartDemo(slots, flareSprite), 0);
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
    StopDemo(slots, flareSprite);
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

TEST(WholeRun, TheRealGreetingPlaysToItsEnd) {
    if (!WholeRunsWanted()) GTEST_SKIP() << "set EKUDEMO_WHOLE_RUN=1 for the run of 1.5 minutes";
    TempDir dir;
    CopyData(dir.Path());
    const auto start = Clock::now();
    RunResult run = RunGreeting(dir.Path(), Headless, 300);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Farewell);
    EXPECT_EQ(run.err, "");
    EXPECT_GT(seconds, 30.0); // it played, not merely started
    std::printf("the whole greeting took %.1f s\n", seconds);
}

// ---------------------------------------------------------------------------
// A real window on an X server of its own (Xvfb), its screen the size of the
// greeting's display mode, so that the full-screen window covers it exactly.

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command, returning its standard output.
std::optional<std::string> Capture(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return out;
}

class VirtualDisplay {
  public:
    VirtualDisplay() {
        for (int attempt = 0; attempt < 40 && pid_ < 0; ++attempt) {
            const int number = 100 + (int(getpid()) + attempt * 7) % 400;
            if (fs::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
                fs::exists("/tmp/.X11-unix/X" + std::to_string(number)))
                continue;
            name_ = ":" + std::to_string(number);
            std::vector<std::string> args = {"Xvfb",       name_,       "-screen", "0",
                                             "320x200x24", "-nolisten", "tcp"};
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            pid_t pid;
            const int failed = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
            posix_spawn_file_actions_destroy(&actions);
            if (failed) return;
            // Ready once it answers; gone if the number was taken after all.
            for (int wait = 0; wait < 100; ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (waitpid(pid, nullptr, WNOHANG) == pid) break;
                if (Capture("xwininfo -root -display " + name_ + " >/dev/null 2>&1")) {
                    pid_ = pid;
                    break;
                }
            }
            if (pid_ < 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    bool Running() const { return pid_ > 0; }
    const std::string& Name() const { return name_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
};

struct ScreenCounts {
    size_t lit = 0; // not black
    size_t red = 0; // the captions' pure red
};

// A screenshot of the whole display as binary PPM, counted.
std::optional<ScreenCounts> Screenshot(const std::string& display) {
    std::optional<std::string> ppm =
        Capture("import -display " + display + " -window root -depth 8 ppm:-");
    if (!ppm) return std::nullopt;
    int width = 0, height = 0, maximum = 0, offset = 0;
    if (std::sscanf(ppm->c_str(), "P6 %d %d %d%n", &width, &height, &maximum, &offset) != 3 ||
        maximum != 255)
        return std::nullopt;
    const size_t start = size_t(offset) + 1, count = size_t(width) * size_t(height);
    if (ppm->size() < start + 3 * count) return std::nullopt;
    ScreenCounts counts;
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(ppm->data() + start + 3 * i);
        if (p[0] || p[1] || p[2]) ++counts.lit;
        if (p[0] >= 0xF0 && p[1] <= 0x10 && p[2] <= 0x10) ++counts.red;
    }
    return counts;
}

enum class Ending { Escape, CloseRequest };

void RunInAWindow(Ending ending) {
    if (!OnPath("Xvfb") || !OnPath("xdotool") || !OnPath("import") || !OnPath("xwininfo"))
        GTEST_SKIP() << "Xvfb, xdotool, xwininfo or ImageMagick's import is missing";
    VirtualDisplay display;
    ASSERT_TRUE(display.Running()) << "Xvfb did not start";

    TempDir dir;
    CopyData(dir.Path());
    // Ordinary speed: the first order, twister and captions, lasts 7.7 s.
    WriteBytes(dir / "dat/rimpaaa.s3m", MakeTestModule(12, 6, 125));
    RunResult run;
    Clock::time_point ended;
    std::thread greeting([&] {
        RunOptions options;
        options.workDir = dir.Path();
        // On X the media library draws through Mesa, whose code generator
        // deadlocks the sanitizer's exact unwinding of every allocation; the
        // leak check of the greeting belongs to the headless runs.
        options.env = {"SDL_VIDEODRIVER=x11", "DISPLAY=" + display.Name(), "SDL_AUDIODRIVER=dummy",
                       "LSAN_OPTIONS=", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"};
        options.timeoutSeconds = 60;
        run = RunProgram({ProgramPath("ekudemo")}, options);
        ended = Clock::now();
    });

    // xdotool takes the display from the environment.
    std::optional<std::string> found =
        Capture("DISPLAY=" + display.Name() +
                " timeout 20 xdotool search --sync --class ekudemo 2>/dev/null");
    unsigned long window = found ? std::strtoul(found->c_str(), nullptr, 10) : 0;
    EXPECT_NE(window, 0u) << "no window appeared";

    // The first scene: a turning twister and a red caption. A shot may fall
    // between two presented frames, so a few are taken.
    ScreenCounts best;
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    for (int shot = 0; shot < 8 && window; ++shot) {
        if (std::optional<ScreenCounts> counts = Screenshot(display.Name())) {
            if (counts->red > best.red || counts->lit > best.lit) best = *counts;
            if (best.red >= 20 && best.lit >= 2000) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    EXPECT_GE(best.lit, 2000u) << "no twister on the screen";
    EXPECT_GE(best.red, 20u) << "no caption on the screen";

    const auto asked = Clock::now();
    if (window && ending == Ending::Escape) {
        EXPECT_TRUE(Capture("DISPLAY=" + display.Name() + " xdotool key --window " +
                            std::to_string(window) + " Escape"));
    } else if (window) {
        EXPECT_TRUE(SendCloseRequest(display.Name(), window));
    }
    greeting.join();
    const double seconds = std::chrono::duration<double>(ended - asked).count();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Farewell);
    EXPECT_LT(seconds, 1.0) << "the greeting took that long to end";
}

TEST(RealWindow, EscapeEndsTheGreeting) {
    RunInAWindow(Ending::Escape);
}

TEST(RealWindow, CloseRequestEndsTheGreeting) {
    RunInAWindow(Ending::CloseRequest);
}

} // namespace

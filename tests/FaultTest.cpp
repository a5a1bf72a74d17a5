// The greeting under faults it must survive: every data file missing, empty or
// cut in half, no sound output, no display; each run ends with the message
// and exit status a user can act on. (What the loaders say about each kind of
// damage is InputTest's and PcxTest's.)
#include "common/Data.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

namespace fs = std::filesystem;

namespace {

const char* const FaultNames[] = {"Missing", "Empty", "CutInHalf"};

struct FaultCase {
    std::string file; // under dat/
    int fault;        // into FaultNames
};

void PrintTo(const FaultCase& c, std::ostream* os) { // in the test's name
    const char* fault[] = {"missing", "empty", "cut in half"};
    *os << "dat/" << c.file << " " << fault[c.fault];
}

std::vector<FaultCase> AllFaults() {
    std::vector<FaultCase> cases;
    for (const char* path : DataFiles)
        for (int fault = 0; fault < 3; ++fault)
            cases.push_back({std::string(DataFileName(path)), fault});
    return cases;
}

class FaultRun : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultRun, EndsWithAClearMessage) {
    const FaultCase& c = GetParam();
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    const fs::path path = dir / "dat" / c.file;
    std::vector<uint8_t> bytes = ReadBytes(path);
    bytes.resize(c.fault == 1 ? 0 : bytes.size() / 2);
    if (c.fault == 0)
        fs::remove(path);
    else
        WriteBytes(path, bytes);
    RunResult run = RunGreeting(dir.Path());
    ASSERT_FALSE(run.timedOut);
    // One line on standard error, naming the file.
    EXPECT_TRUE(Contains(run.err, "ekudemo: ")) << run.err;
    EXPECT_TRUE(Contains(run.err, "\"dat/" + c.file + "\"")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    const std::string music = "music \"dat/" + c.file + "\"";
    if (c.file.ends_with(".pcx")) {
        // Before any frame: nothing on standard output.
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, "");
    } else if (c.file.ends_with(".ttf")) {
        // A warning; the greeting plays to its end without captions.
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, Farewell);
        EXPECT_TRUE(Contains(run.err, "no captions")) << run.err;
    } else {
        // The library's own text on standard output, the reason on standard error.
        const char* text[] = {"File not found\n", "Unknown file format\n", "Error loading file\n"};
        const std::string reason[] = {"cannot open " + music + ": No such file or directory",
                                      music + " is empty", music + " is cut short"};
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, text[c.fault]);
        EXPECT_EQ(run.err.rfind("ekudemo: " + reason[c.fault], 0), 0u) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDataFile, FaultRun, testing::ValuesIn(AllFaults()),
                         [](const testing::TestParamInfo<FaultCase>& p) {
                             std::string name = p.param.file;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name + "_" + FaultNames[p.param.fault];
                         });

// No sound output ends it before any window; no display asked for and
// nothing to reach (SDL would quietly draw off screen), or an X display that
// is not there, is reported; so is a working folder without dat/, by the
// folders looked in and how to make the data.
TEST(FaultRuns, MissingDevicesAreReportedWithStatus1) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    const struct {
        std::vector<std::string> env;
        std::string out, err;
    } cases[] = {
        {{"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=nonexistent"},
         "Error initializing output device.\n",
         ""},
        {{"SDL_VIDEODRIVER=", "DISPLAY=", "WAYLAND_DISPLAY=", "SDL_AUDIODRIVER=dummy"},
         "",
         "ekudemo: no display available\n"},
        {{"SDL_VIDEODRIVER=x11", "DISPLAY=:4999", "SDL_AUDIODRIVER=dummy"},
         "",
         "ekudemo: cannot start the video subsystem"},
        {Headless, "",
         "ekudemo: the data is missing: there is no dat/ in \"" + dir.Path().string() +
             "\" (the working directory) nor in \""},
    };
    for (const auto& c : cases) {
        if (c.env == Headless) fs::remove_all(dir / "dat");
        RunResult run = RunGreeting(dir.Path(), c.env);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_TRUE(Contains(run.err, c.err)) << run.err;
    }
}

// Started with descriptors 0, 1 and 2 closed, the capture warns of its
// missing font into the void, not into the still it writes.
TEST(FaultRuns, ClosedStandardDescriptorsReceiveNoFile) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    fs::remove(dir / FontFile);
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "exec \"$0\" --still 0 0 0 f.png <&- >&- 2>&-",
                          ProgramPath("ekudemo-capture")},
                         {dir.Path(), Headless, 30})
                  .status,
              0);
    EXPECT_EQ(ReadBytes(dir / "f.png").at(1), 'P'); // "\x89PNG", not "ekudemo-capture: ..."
}

} // namespace

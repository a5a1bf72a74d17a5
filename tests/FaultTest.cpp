// The greeting under faults it must survive: every data file missing, empty or
// cut in half, a module that is not one, no sound output, no display; each
// run ends with the message and exit status a user can act on.
#include "common/Data.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

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
    std::vector<FaultCase> cases;
    for (const char* path : DataFiles) {
        const std::string file(DataFileName(path));
        for (Fault fault : {Fault::Missing, Fault::Empty, Fault::CutInHalf})
            cases.push_back({file, fault});
    }
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
    Damage(dir / "dat" / c.file, c.fault);
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
    std::vector<uint8_t> module = fs::exists(SourceDir() / ModuleFile)
                                      ? ReadBytes(SourceDir() / ModuleFile)
                                      : MakeTestModule(12, 6, 125);
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    // From inside the header to the last byte of the last sample.
    for (size_t length :
         {size_t(300), module.size() / 4, module.size() * 3 / 4, module.size() - 1}) {
        std::vector<uint8_t> cut(module.begin(), module.begin() + ptrdiff_t(length));
        WriteBytes(dir / ModuleFile, cut);
        RunResult run = RunGreeting(dir.Path());
        EXPECT_EQ(run.status, 1) << length;
        EXPECT_EQ(run.out, "Error loading file\n") << length;
        EXPECT_EQ(
            run.err.rfind(std::string("ekudemo: music \"") + ModuleFile + "\" is cut short", 0), 0u)
            << length << run.err;
    }
}

TEST(FaultRuns, APictureInPlaceOfTheModuleIsNotAModule) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 2);
    fs::copy_file(dir / SlotPicture(SlotEnd).path, dir / ModuleFile,
                  fs::copy_options::overwrite_existing);
    RunResult run = RunGreeting(dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Unknown file format\n");
    EXPECT_TRUE(Contains(run.err, std::string("\"") + ModuleFile + "\"")) << run.err;
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

} // namespace

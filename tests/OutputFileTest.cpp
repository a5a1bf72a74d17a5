// Output files written completely or not at all: what may be replaced, what
// is visible before the commit, and the permissions. (A full file system is
// CaptureVideoTest's, through each of the capture's writers.)
#include "output/OutputFile.h"

#include "common/Error.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// What OpenOutput records when it refuses `path`, as a program named "test"
// prints it; "opened" when it does not refuse.
std::string TryOpen(const fs::path& path, std::span<const char* const> inputs = {}) {
    OutputFile file;
    if (OpenOutput(file, path.c_str(), inputs)) return "opened";
    return std::string("test: ") + ErrorText() + "\n";
}

const std::vector<uint8_t> Old = {'o', 'l', 'd'};

// Each refusal names the path and says why, and leaves what is there alone.
TEST(OutputFile, RefusesAllButNewOrWritableRegularFilesAndWhatTheProgramReads) {
    TempDir dir;
    const std::string d = dir.Path().string();
    const bool haveNode = mknod((dir / "node").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0666), 0);
    fs::create_directories(dir / "dat/folder");
    WriteBytes(dir / "target", Old);
    WriteBytes(dir / "dat/song", Old);
    fs::create_hard_link(dir / "target", dir / "hardlink");
    fs::create_symlink("target", dir / "link");
    fs::create_symlink("nowhere", dir / "dangling");
    WriteBytes(dir / "ro", Old);
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::group_read);
    // Append-only (where the file system has it): the file, and a file in such a folder.
    fs::create_directories(dir / "kept");
    WriteBytes(dir / "kept/old", Old);
    WriteBytes(dir / "appends", Old);
    const std::string appendOnly = " " + d + "/appends " + d + "/kept 2>/dev/null";
    const bool haveAppendOnly = std::system(("chattr +a" + appendOnly).c_str()) == 0;
    const std::string data = d + "/dat", song = d + "/dat/song", target = d + "/target";
    const char* const inputs[] = {data.c_str(), song.c_str(), target.c_str()};
    const std::string link = "a symbolic link (name its target instead): only a regular file is "
                             "replaced\n",
                      reads = "\", which the program reads: it is not replaced\n",
                      readsIn =
                          "is in \"" + data +
                          "\", which holds what the program reads: nothing is written there\n";
    const struct {
        std::string path, message; // after "test: \"PATH\" "
    } cases[] = {
        {"/fifo", "is a FIFO: only a regular file is replaced\n"},
        {"/node", haveNode ? "is a device node: only a regular file is replaced\n" : ""},
        {"/dat/folder", "is a folder: only a regular file is replaced\n"},
        {"/link", "is " + link},
        {"/dangling", "is " + link},
        {"/ro", "is read-only: it is not replaced\n"},
        {"/appends", haveAppendOnly ? "is append-only: it is not replaced\n" : ""},
        {"/kept/old",
         haveAppendOnly ? "is in an append-only or immutable folder: it is not replaced\n" : ""},
        {"/dat/folder/", "is not a file name\n"},
        {"/dat/folder/..", "is not a file name\n"},
        {"/dat/song", "is \"" + song + reads},
        {"/hardlink", "is \"" + target + reads},
        {"/dat/new", readsIn},
        {"/dat/../dat/new", readsIn},
    };
    for (const auto& c : cases) {
        if (c.message.empty()) continue;
        EXPECT_EQ(TryOpen(d + c.path, inputs), "test: \"" + d + c.path + "\" " + c.message);
    }
    EXPECT_EQ(TryOpen(dir / "missing/x"),
              "test: cannot write \"" + d + "/missing/x\": No such file or directory\n");
    EXPECT_EQ(TryOpen(dir / "target/x"),
              "test: cannot write \"" + d + "/target/x\": Not a directory\n");
    EXPECT_EQ(TryOpen(dir / "new", inputs), "opened");
    EXPECT_EQ(std::system(("chattr -a" + appendOnly).c_str()) == 0, haveAppendOnly);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadBytes(dir / "target"), Old);
    EXPECT_EQ(ReadBytes(dir / "ro"), Old);
    EXPECT_EQ(Names(dir / "dat"), (std::vector<std::string>{"folder", "song"}));
    EXPECT_TRUE(fs::is_empty(dir / "dat/folder"));
}

// Both ways: unnamed files, and the hidden name where there are none.
class Output : public ::testing::TestWithParam<bool> {
  protected:
    // Opens `file` the way this instance tests.
    bool Open(OutputFile& file, const fs::path& path) {
        file.hiddenName = GetParam();
        return OpenOutput(file, path.c_str());
    }
    TempDir dir;
};
INSTANTIATE_TEST_SUITE_P(OutputFile, Output, ::testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) {
                             return p.param ? "HiddenName" : "Unnamed";
                         });

TEST_P(Output, NothingIsLeftUnlessCommitted) {
    WriteBytes(dir / "old", Old);
    {
        OutputFile file, second;
        ASSERT_TRUE(Open(file, dir / "new"));
        ASSERT_TRUE(WriteOutput(file, "abc", 3));
        ASSERT_TRUE(Open(second, dir / "old"));
        ASSERT_TRUE(WriteOutput(second, "new", 3));
        // Only the hidden names are visible while the files grow, if any.
        size_t hidden = 0;
        for (const std::string& name : Names(dir.Path()))
            hidden += name.rfind(".ekudemo-", 0) == 0;
        EXPECT_EQ(hidden, GetParam() ? 2u : 0u);
        // Neither is committed: both vanish.
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"old"});
    EXPECT_EQ(ReadBytes(dir / "old"), Old);

    OutputFile file;
    ASSERT_TRUE(Open(file, dir / "new"));
    ASSERT_TRUE(WriteOutput(file, "abc", 3));
    ASSERT_TRUE(CommitOutput(file));
    EXPECT_EQ(ReadBytes(dir / "new"), (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"new", "old"}));
}

TEST_P(Output, ReplacingKeepsThePermissionsAndANewFileFollowsTheMask) {
    WriteBytes(dir / "old", Old);
    ASSERT_EQ(chmod((dir / "old").c_str(), 0640), 0);
    OutputFile file;
    ASSERT_TRUE(Open(file, dir / "old"));
    ASSERT_TRUE(WriteOutput(file, "new!", 4));
    ASSERT_TRUE(CommitOutput(file));
    EXPECT_EQ(fs::status(dir / "old").permissions(), fs::perms(0640));
    EXPECT_EQ(fs::file_size(dir / "old"), 4u);

    const mode_t mask = umask(022);
    OutputFile fresh;
    ASSERT_TRUE(Open(fresh, dir / "fresh"));
    ASSERT_TRUE(CommitOutput(fresh));
    umask(mask);
    EXPECT_EQ(fs::status(dir / "fresh").permissions(), fs::perms(0644));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"fresh", "old"}));
}

// A replacement too, which needs a moment's name of its own.
TEST_P(Output, LongestNamesWork) {
    for (size_t length : {248u, 255u}) {
        const fs::path path = dir / std::string(length, 'n');
        for (int round = 0; round < 2; ++round) {
            OutputFile file;
            ASSERT_TRUE(Open(file, path)) << length;
            ASSERT_TRUE(WriteOutput(file, "xy", size_t(2 - round)));
            ASSERT_TRUE(CommitOutput(file)) << length;
            EXPECT_EQ(fs::file_size(path), size_t(2 - round));
        }
    }
}

} // namespace

// Output files written completely or not at all: what may be replaced, what
// is visible before the commit, permissions, and a full file system.
#include "output/OutputFile.h"
#include "common/Error.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// OpenOutput's result and the reason it recorded.
struct Refusal {
    bool opened;
    std::string message;
};

Refusal TryOpen(const fs::path& path, std::span<const char* const> inputs = {}) {
    SetError("%s", "");
    OutputFile file;
    const bool opened = OpenOutput(file, path.c_str(), inputs);
    return {opened, ErrorText()};
}

const std::vector<uint8_t> Old = {'o', 'l', 'd'};

TEST(OutputFile, RefusesAllButRegularFilesAndLeavesThemAlone) {
    TempDir dir;
    const fs::path node = dir / "node", fifo = dir / "fifo", folder = dir / "folder",
                   link = dir / "link", dangling = dir / "dangling", readOnly = dir / "ro";
    const bool haveNode = mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    fs::create_directory(folder);
    WriteBytes(dir / "target", Old);
    fs::create_symlink("target", link);
    fs::create_symlink("nowhere", dangling);
    WriteBytes(readOnly, Old);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);

    struct Case {
        fs::path path;
        const char* reason;
    } cases[] = {
        {fifo, "is a FIFO"},
        {folder, "is a folder"},
        {link, "is a symbolic link"},
        {dangling, "is a symbolic link"},
        {readOnly, "is read-only"},
        {dir / "missing" / "x", "No such file or directory"},
        {dir / "target" / "x", "Not a directory"},
        {folder.string() + "/", "is not a file name"},
        {folder / "..", "is not a file name"},
    };
    for (const Case& c : cases) {
        const Refusal r = TryOpen(c.path);
        EXPECT_FALSE(r.opened) << c.path;
        EXPECT_NE(r.message.find(c.reason), std::string::npos) << r.message;
        EXPECT_NE(r.message.find(c.path.string()), std::string::npos) << r.message;
    }
    if (haveNode) {
        const Refusal r = TryOpen(node);
        EXPECT_FALSE(r.opened);
        EXPECT_NE(r.message.find("is a device node"), std::string::npos) << r.message;
        EXPECT_TRUE(fs::is_character_file(node));
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(dir / "target"), Old);
    EXPECT_EQ(ReadBytes(readOnly), Old);
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST(OutputFile, RefusesWhatTheProgramReads) {
    TempDir dir;
    fs::create_directory(dir / "dat");
    WriteBytes(dir / "dat" / "song", Old);
    WriteBytes(dir / "elsewhere", Old);
    fs::create_hard_link(dir / "elsewhere", dir / "hardlink");
    const std::string data = (dir / "dat").string(), song = (dir / "dat" / "song").string(),
                      elsewhere = (dir / "elsewhere").string();
    const char* const inputs[] = {data.c_str(), song.c_str(), elsewhere.c_str()};

    for (const fs::path& path : {dir / "dat" / "song", dir / "dat" / ".." / "dat" / "new",
                                 dir / "dat" / "new", dir / "hardlink"}) {
        const Refusal r = TryOpen(path, inputs);
        EXPECT_FALSE(r.opened) << path;
        EXPECT_NE(r.message.find("the program reads"), std::string::npos) << r.message;
    }
    EXPECT_EQ(Names(dir / "dat"), std::vector<std::string>{"song"});
    EXPECT_EQ(ReadBytes(dir / "hardlink"), Old);
    EXPECT_TRUE(TryOpen(dir / "other", inputs).opened);
}

// Both ways: unnamed files, and the hidden name where there are none.
class Output : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { OutputWithoutUnnamedFiles = GetParam(); }
    void TearDown() override { OutputWithoutUnnamedFiles = false; }
};
INSTANTIATE_TEST_SUITE_P(OutputFile, Output, ::testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) {
                             return p.param ? "HiddenName" : "Unnamed";
                         });

TEST_P(Output, NothingIsLeftUnlessCommitted) {
    TempDir dir;
    WriteBytes(dir / "old", Old);
    {
        OutputFile file;
        ASSERT_TRUE(OpenOutput(file, (dir / "new").c_str()));
        ASSERT_TRUE(WriteOutput(file, "abc", 3));
        OutputFile second;
        ASSERT_TRUE(OpenOutput(second, (dir / "old").c_str()));
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
    ASSERT_TRUE(OpenOutput(file, (dir / "new").c_str()));
    ASSERT_TRUE(WriteOutput(file, "abc", 3));
    ASSERT_TRUE(CommitOutput(file));
    EXPECT_EQ(ReadBytes(dir / "new"), (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"new", "old"}));
}

TEST_P(Output, ReplacingKeepsThePermissionsAndANewFileFollowsTheMask) {
    TempDir dir;
    WriteBytes(dir / "old", Old);
    ASSERT_EQ(chmod((dir / "old").c_str(), 0640), 0);
    OutputFile file;
    ASSERT_TRUE(OpenOutput(file, (dir / "old").c_str()));
    ASSERT_TRUE(WriteOutput(file, "new!", 4));
    ASSERT_TRUE(CommitOutput(file));
    struct stat st {};
    ASSERT_EQ(stat((dir / "old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_size, 4);

    const mode_t mask = umask(022);
    OutputFile fresh;
    ASSERT_TRUE(OpenOutput(fresh, (dir / "fresh").c_str()));
    ASSERT_TRUE(CommitOutput(fresh));
    umask(mask);
    ASSERT_EQ(stat((dir / "fresh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"fresh", "old"}));
}

TEST_P(Output, LongestNamesWork) {
    TempDir dir;
    for (size_t length : {248u, 255u}) {
        const fs::path path = dir / std::string(length, 'n');
        OutputFile file;
        ASSERT_TRUE(OpenOutput(file, path.c_str())) << length;
        ASSERT_TRUE(WriteOutput(file, "x", 1));
        ASSERT_TRUE(CommitOutput(file)) << length;
        EXPECT_TRUE(fs::is_regular_file(path));
        // A replacement too, which needs a moment's name of its own.
        OutputFile again;
        ASSERT_TRUE(OpenOutput(again, path.c_str()));
        ASSERT_TRUE(CommitOutput(again)) << length;
        EXPECT_EQ(fs::file_size(path), 0u);
    }
}

// A small file system of the test's own, where it may mount one (as root).
TEST_P(Output, FullFileSystemKeepsTheOldFileAndLeavesNothing) {
    TempDir dir;
    const fs::path small = dir / "small";
    fs::create_directory(small);
    if (mount("ekudemo-test", small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        const fs::path& at;
        ~Unmount() { umount(at.c_str()); }
    } unmount{small};
    WriteBytes(small / "old", Old);
    const std::vector<char> block(1 << 20, 'x');
    for (const char* name : {"old", "new"}) {
        OutputFile file;
        ASSERT_TRUE(OpenOutput(file, (small / name).c_str()));
        const bool written = WriteOutput(file, block.data(), block.size());
        const std::string message = ErrorText();
        EXPECT_FALSE(written);
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
    }
    EXPECT_EQ(Names(small), std::vector<std::string>{"old"});
    EXPECT_EQ(ReadBytes(small / "old"), Old);
}

} // namespace

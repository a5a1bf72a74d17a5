// Every input a program reads, under the faults a careless or hostile user can
// arrange: special files in place of data files (made here, in a temporary
// folder), a link to a huge file, modules of every format cut short or with
// nothing to play, fonts that are not fonts. The reading routine and
// the loaders refuse each with a message that names the file and says what is
// wrong; each program, tried once, passes that on with its status; nothing
// hangs.
#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"
#include "effects/Caption.h"
#include "music/SoundLib.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace fs = std::filesystem;

namespace {

// The kinds of file that are not regular files, each with why it is refused.
enum Special { Folder, Fifo, CharDevice, Socket };
const char* const Reasons[] = {
    "is a folder, not a file", "is a FIFO (named pipe), not a regular file",
    "is a character device, not a regular file", "is a socket, not a regular file"};

// Makes `path` a file of that kind; false when this system does not let the
// test (a device node needs root).
bool MakeSpecial(const fs::path& path, Special kind) {
    fs::remove(path);
    if (kind == Folder) return fs::create_directory(path);
    if (kind == Fifo) return mkfifo(path.c_str(), 0644) == 0;
    // A node of the memory device that reads zeros, as /dev/zero, but our own.
    if (kind == CharDevice) return mknod(path.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.string().size() >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, path.c_str());
    const bool made = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return made;
}

TEST(DataFile, OnlyRegularFilesAreReadAndNothingBlocks) {
    TempDir dir;
    const fs::path path = dir / "data";
    for (Special kind : {Folder, Fifo, CharDevice, Socket}) {
        if (!MakeSpecial(path, kind)) continue; // no device nodes here
        std::vector<uint8_t> bytes = {1};
        EXPECT_FALSE(ReadDataFile(path.c_str(), "picture", 100, DataLimit::FirstBytes, bytes));
        EXPECT_TRUE(bytes.empty());
        // A socket cannot even be opened; every other kind is opened and refused.
        const std::string quoted = "picture \"" + path.string() + "\"";
        if (kind == Socket)
            EXPECT_EQ(ErrorText(), "cannot open " + quoted + ": No such device or address");
        else
            EXPECT_EQ(ErrorText(), quoted + " " + Reasons[kind]);
    }
}

TEST(DataFile, ReadsUpToItsLimit) {
    TempDir dir;
    std::vector<uint8_t> file(1000), bytes;
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = uint8_t(i * 7);
    WriteBytes(dir / "f", file);
    const std::string f = (dir / "f").string();
    ASSERT_TRUE(ReadDataFile(f.c_str(), "picture", 300, DataLimit::FirstBytes, bytes));
    EXPECT_EQ(bytes, std::vector<uint8_t>(file.begin(), file.begin() + 300));
    ASSERT_TRUE(ReadDataFile(f.c_str(), "music", 1000, DataLimit::Refuse, bytes));
    EXPECT_EQ(bytes, file);
    EXPECT_FALSE(ReadDataFile(f.c_str(), "music", 999, DataLimit::Refuse, bytes));
    EXPECT_EQ(ErrorText(), "music \"" + f + "\" is larger than the 999 bytes it may have");
    EXPECT_TRUE(bytes.empty());
    // A link to a file of 64 GB, which takes no room, is refused unread.
    fs::resize_file(dir / "f", uint64_t(64) << 30);
    fs::create_symlink(dir / "f", dir / "link");
    EXPECT_FALSE(ReadDataFile((dir / "link").c_str(), "music", 999, DataLimit::Refuse, bytes));
    EXPECT_EQ(ErrorText(),
              "music \"" + (dir / "link").string() + "\" is larger than the 999 bytes it may have");
}

// ---------------------------------------------------------------------------
// Modules: small ones of the other formats the library plays (fuzz/seeds/, two
// patterns and a square-wave sample each), cut short or with nothing to play.
class Modules : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND), 1);
        ASSERT_EQ(FSOUND_Init(44100, 32, 2), 1);
    }
    void TearDown() override {
        FSOUND_Close();
        FSOUND_SetOutput(FSOUND_OUTPUT_SDL);
    }
    // Loads `bytes` as a module: the library's code (0 when it loaded), and
    // SetError's text.
    std::pair<int, std::string> Load(const std::vector<uint8_t>& bytes) {
        WriteBytes(dir / "song", bytes);
        FMUSIC_MODULE* song = FMUSIC_LoadSong((dir / "song").c_str());
        if (song) FMUSIC_FreeSong(song);
        return {song ? 0 : FSOUND_GetError(), song ? "" : ErrorText()};
    }
    TempDir dir;
};

// From inside the header to the last byte of the sample; the greeting's own
// module stands for S3M.
TEST_F(Modules, EveryFormatCutShortIsDamaged) {
    for (const fs::path& file :
         {SourceDir() / "fuzz/seeds/square.mod", SourceDir() / "fuzz/seeds/square.xm",
          SourceDir() / "fuzz/seeds/square.it", SourceDir() / ModuleFile}) {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = ReadBytes(file);
        ASSERT_EQ(Load(bytes).first, 0) << Load(bytes).second;
        for (size_t cut = 1; cut <= bytes.size(); cut += std::max<size_t>(1, cut / 8)) {
            const size_t length = bytes.size() - cut;
            const auto [code, text] = Load({bytes.begin(), bytes.begin() + std::ptrdiff_t(length)});
            if (code == FMOD_ERR_FILE_BAD)
                EXPECT_TRUE(Contains(text, "\" is cut short")) << text;
            else
                EXPECT_EQ(code, FMOD_ERR_FILE_FORMAT) << length;
        }
    }
}

TEST_F(Modules, NothingToPlayIsAnError) {
    S3mModule skipping = MakeTestModuleDescription(2, 6, 125);
    skipping.orders.assign(3, 254); // orders that only skip
    S3mModule none = MakeTestModuleDescription(2, 6, 125);
    none.orders.clear();
    for (const S3mModule& m : {skipping, none}) {
        const auto [code, text] = Load(WriteS3m(m));
        EXPECT_EQ(code, FMOD_ERR_FILE_BAD);
        EXPECT_TRUE(Contains(text, "has nothing to play")) << text;
    }
}

// The caption font, read from dat/ under the working folder.
TEST(Font, EachFaultIsNamed) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::create_directory(dir / "dat");
    fs::current_path(dir.Path());
    auto open = [] { return OpenCaptionFont() ? std::string("opened") : std::string(ErrorText()); };
    const std::vector<uint8_t> real = ReadBytes(SourceDir() / FontFile);
    std::vector<uint8_t> type1 = {0x80, 0x01, 0x10, 0x00, 0x00, 0x00}, random(5000);
    const std::string ps = "%!PS-AdobeFont-1.0: Ekudemo 001.000\n";
    type1.insert(type1.end(), ps.begin(), ps.end());
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = uint8_t(i * 2654435761u >> 13);
    const std::string type1Fault =
        "is a Type 1 (PostScript) font; the captions need a TrueType font";
    const struct {
        std::vector<uint8_t> bytes;
        std::string fault;
    } cases[] = {
        {real, ""},
        {{}, "is empty"},
        {type1, type1Fault},
        {random, "is not a TrueType font"},
        {{real.begin(), real.begin() + std::ptrdiff_t(real.size() / 2)}, "is cut short"},
        {{real.begin(), real.begin() + 40}, "is cut short"}, // inside its table directory
    };
    for (const auto& c : cases) {
        WriteBytes(FontFile, c.bytes);
        EXPECT_EQ(open(), c.fault.empty() ? "opened" : "font \"dat/arialbd.ttf\" " + c.fault);
        EXPECT_EQ(CaptionFont != nullptr, c.fault.empty());
    }
    fs::remove(FontFile);
    EXPECT_EQ(open(), "cannot open font \"dat/arialbd.ttf\": No such file or directory");
    MakeSpecial(FontFile, Fifo);
    EXPECT_EQ(open(), "font \"dat/arialbd.ttf\" " + std::string(Reasons[Fifo]));
    CloseCaptionFont();
    fs::current_path(previous);
}

// ---------------------------------------------------------------------------
// The programs, each tried once with a data file a special file. A picture or
// the module ends the program with status 1, the font costs only the
// captions; the message starts with the program's own name.
TEST(ProgramInputs, EachProgramNamesTheFileAndWhatIsWrong) {
    const struct {
        std::vector<std::string> argv;
        const char* file;
        Special kind;
        std::string out;
    } cases[] = {
        {{"ekudemo"}, "ek_taus.pcx", Fifo, ""},
        {{"ekudemo"}, "arialbd.ttf", Folder, Farewell},
        {{"ekudemo"}, "rimpaaa.s3m", CharDevice, "Error loading file\n"},
        {{"ekudemo-gallery"}, "flare.pcx", Fifo, ""},
        {{"ekudemo-capture", "--effect", "flares", "--time", "0", "out.png"}, "bit7.pcx", Fifo, ""},
        {{"ekudemo-capture", "--still", "0", "0", "0", "out.png"}, "kewl.pcx", CharDevice, ""},
        {{"ekudemo-capture", "--still", "0", "0", "0", "out.png"}, "arialbd.ttf", Fifo, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv[0] + " with dat/" + c.file);
        TempDir dir;
        CopyDataWithFastMusic(dir.Path(), 1);
        if (!MakeSpecial(dir / "dat" / c.file, c.kind)) continue;
        std::vector<std::string> argv = c.argv;
        argv[0] = ProgramPath(argv[0]);
        const RunResult run = RunProgram(argv, {dir.Path(), Headless, 30});
        ASSERT_FALSE(run.timedOut) << "hung";
        const bool font = std::string(c.file) == "arialbd.ttf";
        EXPECT_EQ(run.status, font ? 0 : 1) << run.err;
        EXPECT_TRUE(Contains(run.err, c.argv[0] + ": ")) << run.err;
        EXPECT_TRUE(Contains(run.err, "\"dat/" + std::string(c.file) + "\" " + Reasons[c.kind]))
            << run.err;
        EXPECT_EQ(Contains(run.err, "; no captions\n"), font) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
}

TEST(ProgramInputs, AnEightBitDisplayIsNamedAsTheFault) {
    if (!OnPath("Xvfb")) GTEST_SKIP() << "no Xvfb";
    XvfbDisplay display("640x480x8"); // 8 bits per pixel
    ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start";
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 1);
    const RunResult run = RunGreeting(
        dir.Path(), {"SDL_VIDEODRIVER=x11", "DISPLAY=" + display.Name(), "SDL_AUDIODRIVER=dummy"},
        30);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("ekudemo: error setting 320x200 32bpp indexed mode: ", 0), 0u)
        << run.err;
    EXPECT_TRUE(Contains(run.err, "; the display does not show the 24- or 32-bit colour the "
                                  "pictures need\n"))
        << run.err;
}

} // namespace

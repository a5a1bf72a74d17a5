// Every input a program reads, under the faults a careless or hostile user can
// arrange: special files in place of data files (made here, in a temporary
// folder), a module linked to a huge file, modules of every format cut short
// or with nothing to play, fonts that are not fonts. Each is refused with a
// message that names the file and says what is wrong, and a status; nothing
// hangs.
#include "common/DataFile.h"
#include "common/Error.h"
#include "effects/Caption.h"
#include "music/SoundLib.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The kinds of file that are not regular files, made in `dir`.
enum class Special { Folder, Fifo, CharDevice, Socket };

const char* SpecialName(Special kind) {
    const char* names[] = {"a folder", "a FIFO", "a character device", "a socket"};
    return names[int(kind)];
}

// Makes `path` a file of that kind; false when this system does not let the
// test (a device node needs root).
bool MakeSpecial(const fs::path& path, Special kind) {
    fs::remove(path);
    switch (kind) {
    case Special::Folder:
        return fs::create_directory(path);
    case Special::Fifo:
        return mkfifo(path.c_str(), 0644) == 0;
    case Special::CharDevice:
        // A node of the memory device that reads zeros, as /dev/zero, but our own.
        return mknod(path.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;
    case Special::Socket: {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (fd < 0 || path.string().size() >= sizeof address.sun_path) return false;
        std::strcpy(address.sun_path, path.c_str());
        const bool made = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        return made;
    }
    }
    return false;
}

const char* SpecialReason(Special kind) {
    const char* reasons[] = {
        "is a folder, not a file", "is a FIFO (named pipe), not a regular file",
        "is a character device, not a regular file", "is a socket, not a regular file"};
    return reasons[int(kind)];
}

constexpr Special AllSpecials[] = {Special::Folder, Special::Fifo, Special::CharDevice,
                                   Special::Socket};

// ---------------------------------------------------------------------------
// The reading routine.

TEST(DataFile, OnlyRegularFilesAreReadAndNothingBlocks) {
    TempDir dir;
    for (Special kind : AllSpecials) {
        SCOPED_TRACE(SpecialName(kind));
        const fs::path path = dir / "data";
        if (!MakeSpecial(path, kind)) {
            std::printf("cannot make %s here; skipped\n", SpecialName(kind));
            continue;
        }
        std::vector<uint8_t> bytes = {1};
        EXPECT_FALSE(ReadDataFile(path.c_str(), "picture", 100, DataLimit::FirstBytes, bytes));
        EXPECT_TRUE(bytes.empty());
        const std::string expected = "picture \"" + path.string() + "\" " + SpecialReason(kind);
        const std::string opened = "cannot open picture \"" + path.string() + "\"";
        // A socket cannot even be opened; every other kind is opened and refused.
        if (kind == Special::Socket)
            EXPECT_TRUE(Contains(ErrorText(), opened)) << ErrorText();
        else
            EXPECT_EQ(ErrorText(), expected);
    }
}

TEST(DataFile, ReadsUpToItsLimit) {
    TempDir dir;
    std::vector<uint8_t> file(1000);
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = uint8_t(i * 7);
    WriteBytes(dir / "f", file);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadDataFile((dir / "f").c_str(), "picture", 300, DataLimit::FirstBytes, bytes));
    EXPECT_EQ(bytes, std::vector<uint8_t>(file.begin(), file.begin() + 300));
    ASSERT_TRUE(ReadDataFile((dir / "f").c_str(), "music", 1000, DataLimit::Refuse, bytes));
    EXPECT_EQ(bytes, file);
    EXPECT_FALSE(ReadDataFile((dir / "f").c_str(), "music", 999, DataLimit::Refuse, bytes));
    EXPECT_EQ(ErrorText(),
              "music \"" + (dir / "f").string() + "\" is larger than the 999 bytes it may have");

    // A huge sparse file behind a link is refused before a byte is read.
    {
        std::FILE* huge = std::fopen((dir / "huge").c_str(), "wb");
        ASSERT_NE(huge, nullptr);
        ASSERT_EQ(ftruncate(fileno(huge), off_t(64) << 30), 0); // 64 GB of nothing
        std::fclose(huge);
    }
    fs::create_symlink(dir / "huge", dir / "link");
    EXPECT_FALSE(
        ReadDataFile((dir / "link").c_str(), "music", ModuleSizeLimit, DataLimit::Refuse, bytes));
    EXPECT_TRUE(Contains(ErrorText(), "is larger than the 8388608 bytes")) << ErrorText();
    EXPECT_TRUE(bytes.empty());
}

// ---------------------------------------------------------------------------
// Modules of every format the library plays, written here byte by byte: two
// patterns, one square-wave sample of 2000 bytes at the end of the file.

void PutBe16(std::vector<uint8_t>& b, uint32_t v) {
    b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
}
void PutLe16(std::vector<uint8_t>& b, uint32_t v) {
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
}
void PutLe32(std::vector<uint8_t>& b, uint32_t v) {
    PutLe16(b, v & 0xFFFF);
    PutLe16(b, v >> 16);
}
void PutText(std::vector<uint8_t>& b, const std::string& text, size_t field) {
    std::string padded = text;
    padded.resize(field, '\0');
    b.insert(b.end(), padded.begin(), padded.end());
}

constexpr size_t SampleLength = 2000;

uint8_t Square(size_t i) {
    return i % 32 < 16 ? 40 : uint8_t(-40);
}

std::vector<uint8_t> MakeMod() {
    std::vector<uint8_t> b;
    PutText(b, "test mod", 20);
    for (int s = 0; s < 31; ++s) {
        PutText(b, s == 0 ? "square" : "", 22);
        PutBe16(b, s == 0 ? SampleLength / 2 : 0); // in words
        b.insert(b.end(), {0, uint8_t(s == 0 ? 64 : 0)});
        PutBe16(b, 0);
        PutBe16(b, 1);
    }
    b.insert(b.end(), {2, 127});
    std::vector<uint8_t> orders(128, 0);
    orders[1] = 1;
    b.insert(b.end(), orders.begin(), orders.end());
    PutText(b, "M.K.", 4);
    constexpr uint32_t MiddleC = 428; // Amiga period
    for (int p = 0; p < 2; ++p)
        for (int row = 0; row < 64; ++row)
            for (int channel = 0; channel < 4; ++channel) {
                if (channel == 0 && row % 4 == 0)
                    b.insert(b.end(), {uint8_t(MiddleC >> 8), uint8_t(MiddleC), 0x10, 0});
                else
                    b.insert(b.end(), {0, 0, 0, 0});
            }
    for (size_t i = 0; i < SampleLength; ++i)
        b.push_back(Square(i));
    return b;
}

std::vector<uint8_t> MakeXm() {
    std::vector<uint8_t> b;
    PutText(b, "Extended Module: test xm", 37);
    b.push_back(0x1A);
    PutText(b, "ekudemo", 20);
    PutLe16(b, 0x0104);
    PutLe32(b, 276);
    for (uint32_t v : {2, 0, 4, 2, 1, 1, 6, 125}) // orders, restart, channels, patterns,
        PutLe16(b, v);                            // instruments, flags, speed, tempo
    std::vector<uint8_t> orders(256, 0);
    orders[1] = 1;
    b.insert(b.end(), orders.begin(), orders.end());
    for (int p = 0; p < 2; ++p) {
        std::vector<uint8_t> data;
        for (int row = 0; row < 64; ++row)
            for (int channel = 0; channel < 4; ++channel) {
                if (channel == 0 && row % 4 == 0)
                    data.insert(data.end(), {0x83, 49, 1}); // note C-4, instrument 1
                else
                    data.push_back(0x80);
            }
        PutLe32(b, 9);
        b.push_back(0);
        PutLe16(b, 64);
        PutLe16(b, uint32_t(data.size()));
        b.insert(b.end(), data.begin(), data.end());
    }
    const size_t instrument = b.size();
    PutLe32(b, 263);
    PutText(b, "square", 22);
    b.push_back(0);
    PutLe16(b, 1);  // one sample
    PutLe32(b, 40); // sample header size
    b.resize(instrument + 263, 0);
    PutLe32(b, SampleLength);
    PutLe32(b, 0);
    PutLe32(b, 0);
    b.insert(b.end(), {64, 0, 0, 128, 0, 0});
    PutText(b, "square", 22);
    uint8_t previous = 0;
    for (size_t i = 0; i < SampleLength; ++i) { // stored as differences
        b.push_back(uint8_t(Square(i) - previous));
        previous = Square(i);
    }
    return b;
}

std::vector<uint8_t> MakeIt() {
    std::vector<uint8_t> b;
    PutText(b, "IMPM", 4);
    PutText(b, "test it", 26);
    PutLe16(b, 0x1004);
    for (uint32_t v : {3, 0, 1, 2, 0x0214, 0x0214, 0x0009, 0}) // orders, instruments, samples,
        PutLe16(b, v); // patterns, made with, compatible, flags, special
    b.insert(b.end(), {128, 48, 6, 125, 128, 0});
    PutLe16(b, 0);
    PutLe32(b, 0);
    PutLe32(b, 0);
    b.resize(b.size() + 64, 32);    // channel pan: the middle
    b.resize(b.size() + 64, 64);    // channel volume
    b.insert(b.end(), {0, 1, 255}); // orders
    const size_t offsets = b.size();
    b.resize(b.size() + 4 * 3, 0);
    const size_t sample = b.size();
    b.resize(b.size() + 0x50, 0);
    std::vector<uint32_t> patterns;
    for (int p = 0; p < 2; ++p) {
        patterns.push_back(uint32_t(b.size()));
        std::vector<uint8_t> data;
        for (int row = 0; row < 64; ++row) {
            if (row % 4 == 0) data.insert(data.end(), {0x81, 3, 60, 1}); // C-5, sample 1
            data.push_back(0);
        }
        PutLe16(b, uint32_t(data.size()));
        PutLe16(b, 64);
        PutLe32(b, 0);
        b.insert(b.end(), data.begin(), data.end());
    }
    const uint32_t data = uint32_t(b.size());
    for (size_t i = 0; i < SampleLength; ++i)
        b.push_back(Square(i));
    std::vector<uint8_t> header;
    PutText(header, "IMPS", 4);
    header.resize(16, 0);
    header.insert(header.end(), {0, 64, 1, 64}); // global volume, has data, volume
    PutText(header, "square", 26);
    header.insert(header.end(), {1, 32}); // signed, pan
    for (uint32_t v : {uint32_t(SampleLength), 0u, 0u, 8363u, 0u, 0u, data, 0u})
        PutLe32(header, v);
    std::copy(header.begin(), header.end(), b.begin() + std::ptrdiff_t(sample));
    std::vector<uint8_t> pointers;
    for (uint32_t v : {uint32_t(sample), patterns[0], patterns[1]})
        PutLe32(pointers, v);
    std::copy(pointers.begin(), pointers.end(), b.begin() + std::ptrdiff_t(offsets));
    return b;
}

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
        if (song) {
            FMUSIC_FreeSong(song);
            return {0, ""};
        }
        return {FSOUND_GetError(), ErrorText()};
    }
    TempDir dir;
};

TEST_F(Modules, EveryFormatCutShortIsDamaged) {
    struct Format {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Format formats[] = {
        {"MOD", MakeMod()}, {"XM", MakeXm()}, {"IT", MakeIt()}, {"S3M", MakeTestModule(2, 6, 125)}};
    for (const Format& format : formats) {
        SCOPED_TRACE(format.name);
        ASSERT_EQ(Load(format.bytes).first, 0) << Load(format.bytes).second;
        // From inside the header to the last byte of the sample.
        for (size_t cut = 1; cut <= format.bytes.size(); cut += std::max<size_t>(1, cut / 8)) {
            const size_t length = format.bytes.size() - cut;
            const auto [code, text] =
                Load({format.bytes.begin(), format.bytes.begin() + std::ptrdiff_t(length)});
            EXPECT_NE(code, 0) << "cut to " << length << " bytes";
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

// ---------------------------------------------------------------------------
// The caption font, read from dat/ under the working folder.

class Font : public testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        fs::create_directory(dir / "dat");
        fs::current_path(dir.Path());
    }
    void TearDown() override {
        CloseCaptionFont();
        fs::current_path(previous);
    }
    // OpenCaptionFont's result and what it says.
    std::string Open() {
        if (OpenCaptionFont()) return "opened";
        return ErrorText();
    }
    TempDir dir;
    fs::path previous;
};

TEST_F(Font, EachFaultIsNamed) {
    const std::vector<uint8_t> real = ReadBytes(SourceDir() / "dat/arialbd.ttf");
    const fs::path font = dir / "dat/arialbd.ttf";
    WriteBytes(font, real);
    EXPECT_EQ(Open(), "opened");
    EXPECT_NE(CaptionFont, nullptr);

    const std::string quoted = "font \"dat/arialbd.ttf\" ";
    std::vector<uint8_t> type1 = {0x80, 0x01, 0x10, 0x00, 0x00, 0x00};
    const std::string ps = "%!PS-AdobeFont-1.0: Ekudemo 001.000\n";
    type1.insert(type1.end(), ps.begin(), ps.end());
    std::vector<uint8_t> random(5000);
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = uint8_t(i * 2654435761u >> 13);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string message;
    };
    const Case cases[] = {
        {"empty", {}, quoted + "is empty"},
        {"a Type 1 font", type1,
         quoted + "is a Type 1 (PostScript) font; the captions need a TrueType font"},
        {"random bytes", random, quoted + "is not a TrueType font"},
        {"cut in half",
         {real.begin(), real.begin() + std::ptrdiff_t(real.size() / 2)},
         quoted + "is cut short"},
        {"cut in its directory", {real.begin(), real.begin() + 40}, quoted + "is cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(font, c.bytes);
        EXPECT_EQ(Open(), c.message);
        EXPECT_EQ(CaptionFont, nullptr);
    }
    fs::remove(font);
    EXPECT_EQ(Open(), "cannot open font \"dat/arialbd.ttf\": No such file or directory");
    for (Special kind : AllSpecials) {
        SCOPED_TRACE(SpecialName(kind));
        if (kind == Special::Socket || !MakeSpecial(font, kind)) continue;
        EXPECT_EQ(Open(), quoted + SpecialReason(kind));
    }
}

// ---------------------------------------------------------------------------
// The programs: each data file in turn a special file. Nothing hangs; a
// picture or the module ends the program with status 1, the font costs only
// the captions; every message starts with the program's own name.

struct ProgramRun {
    std::string program;
    std::vector<std::string> args;
};

RunResult RunIn(const fs::path& dir, const ProgramRun& run) {
    RunOptions options;
    options.workDir = dir;
    options.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
    options.timeoutSeconds = 30;
    std::vector<std::string> argv = {ProgramPath(run.program).string()};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    return RunProgram(argv, options);
}

// Whether `run` reads dat/`name` at all: the capture's effect frames read
// neither the font nor the module, its stills no flare; the gallery shows no
// captions.
bool ReadsDataFile(const ProgramRun& run, const std::string& name) {
    const std::string mode = run.args.empty() ? "" : run.args[0];
    const bool effect = mode == "--effect", still = mode == "--still";
    const bool font = name == "arialbd.ttf";
    return !((effect && (font || name == "rimpaaa.s3m")) || (still && name == "flare.pcx") ||
             (run.program == "ekudemo-gallery" && font));
}

// Runs `run` with dat/`file` made a special file of `kind`: the program names
// the file and why, and fails unless the file is the font (then it goes on
// without captions).
void CheckSpecialDataFile(const ProgramRun& run, const char* file, Special kind) {
    SCOPED_TRACE(run.program + " with dat/" + file + " " + SpecialName(kind));
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 1);
    if (!MakeSpecial(dir / ("dat/" + std::string(file)), kind)) return;
    const RunResult result = RunIn(dir.Path(), run);
    ASSERT_FALSE(result.timedOut) << "hung";
    EXPECT_EQ(result.signal, 0);
    const std::string named = "\"dat/" + std::string(file) + "\" " + SpecialReason(kind);
    EXPECT_TRUE(Contains(result.err, run.program + ": ")) << result.err;
    EXPECT_TRUE(Contains(result.err, named)) << result.err;
    if (std::string(file) == "arialbd.ttf") {
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(Contains(result.err, "; no captions\n")) << result.err;
    } else {
        EXPECT_EQ(result.status, 1) << result.err;
    }
    if (std::string(file) == "rimpaaa.s3m") {
        // Only the greeting adds the sound library's own text.
        EXPECT_EQ(result.out, run.program == "ekudemo" ? "Error loading file\n" : "");
    }
}

TEST(ProgramInputs, SpecialFilesInPlaceOfDataFiles) {
    const ProgramRun runs[] = {
        {"ekudemo", {}},
        {"ekudemo-gallery", {}},
        {"ekudemo-capture", {"--effect", "flares", "--time", "0", "out.png"}},
        {"ekudemo-capture", {"--still", "0", "0", "0", "out.png"}},
    };
    const char* files[] = {"ek_taus.pcx", "flare.pcx", "arialbd.ttf", "rimpaaa.s3m"};
    for (const ProgramRun& run : runs) {
        for (const char* file : files) {
            if (!ReadsDataFile(run, file)) continue;
            // A hung run ends the test, as an assertion in its body would.
            for (Special kind : {Special::Fifo, Special::CharDevice, Special::Folder})
                ASSERT_NO_FATAL_FAILURE(CheckSpecialDataFile(run, file, kind));
        }
    }
}

TEST(ProgramInputs, WrongPicturesAndModulesAreRefusedByName) {
    struct Case {
        const char* what;
        const char* file;
        std::vector<uint8_t> bytes;
        std::string out, err;
    };
    const std::vector<uint8_t> beach = ReadBytes(SourceDir() / "dat/ek_taus.pcx");
    std::vector<uint8_t> deep = beach;
    deep[65] = 3; // 24 bits in three planes
    S3mModule silent = MakeTestModuleDescription(2, 1, 255);
    silent.orders.assign(2, 254);
    std::vector<uint8_t> xm = MakeXm();
    xm.erase(xm.end() - 100, xm.end()); // inside the sample
    const Case cases[] = {
        {"the beach as the flare", "flare.pcx", beach, "",
         "ekudemo: picture \"dat/flare.pcx\" is 320x200, not 64x64\n"},
        {"a 24-bit picture", "ek_taus.pcx", deep, "",
         "ekudemo: picture \"dat/ek_taus.pcx\" has 3 plane(s) of 8 bits, not one plane of 8 "
         "bits\n"},
        {"a module with nothing to play", "rimpaaa.s3m", WriteS3m(silent), "Error loading file\n",
         "ekudemo: music \"dat/rimpaaa.s3m\" has nothing to play: no order names a pattern with "
         "rows\n"},
        {"an XM cut short", "rimpaaa.s3m", xm, "Error loading file\n",
         "ekudemo: music \"dat/rimpaaa.s3m\" is cut short: parts of it that its headers point at "
         "are missing\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        CopyDataWithFastMusic(dir.Path(), 1);
        WriteBytes(dir / ("dat/" + std::string(c.file)), c.bytes);
        const RunResult result = RunIn(dir.Path(), {"ekudemo", {}});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

TEST(ProgramInputs, AModuleLinkedToAHugeFileIsRefusedUnread) {
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 1);
    std::FILE* huge = std::fopen((dir / "huge").c_str(), "wb");
    ASSERT_NE(huge, nullptr);
    ASSERT_EQ(ftruncate(fileno(huge), off_t(64) << 30), 0); // sparse: takes no room
    std::fclose(huge);
    fs::remove(dir / "dat/rimpaaa.s3m");
    fs::create_symlink(dir / "huge", dir / "dat/rimpaaa.s3m");
    const RunResult result = RunIn(dir.Path(), {"ekudemo", {}});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Error loading file\n");
    EXPECT_EQ(result.err,
              "ekudemo: music \"dat/rimpaaa.s3m\" is larger than the 8388608 bytes it may have\n");
}

TEST(ProgramInputs, AnEightBitDisplayIsNamedAsTheFault) {
    if (!OnPath("Xvfb")) GTEST_SKIP() << "no Xvfb";
    XvfbDisplay display("640x480x8"); // 8 bits per pixel
    ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start";
    TempDir dir;
    CopyDataWithFastMusic(dir.Path(), 1);
    RunOptions options;
    options.workDir = dir.Path();
    options.env = {"SDL_VIDEODRIVER=x11", "DISPLAY=" + display.Name(), "SDL_AUDIODRIVER=dummy"};
    options.timeoutSeconds = 30;
    const RunResult result = RunProgram({ProgramPath("ekudemo").string()}, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("ekudemo: error setting 320x200 32bpp indexed mode: ", 0), 0u)
        << result.err;
    EXPECT_TRUE(Contains(result.err, "; the display does not show the 24- or 32-bit colour the "
                                     "pictures need\n"))
        << result.err;
}

} // namespace

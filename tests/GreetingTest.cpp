// Greetings for other people: a greeting file that cannot be shown is refused
// with the file and the line before anything is written or played, and
// another name with other lines plays to its end with its letters, captions
// and farewell.
#include "common/Greeting.h"
#include "common/Data.h"
#include "common/Error.h"
#include "common/Frame.h"
#include "effects/Caption.h"
#include "effects/Twister.h"
#include "image/Pcx.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The committed greeting file with some lines (counted from 1) replaced, or
// taken out where the new text is empty.
std::vector<uint8_t> Edited(const std::map<int, std::string>& lines) {
    const std::vector<uint8_t> bytes = ReadBytes(SourceDir() / GreetingFile);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string out, each;
    for (int n = 1; std::getline(in, each); ++n)
        if (!lines.contains(n))
            out += each + "\n";
        else if (!lines.at(n).empty())
            out += lines.at(n) + "\n";
    return {out.begin(), out.end()};
}

// Eku's file as the generator writes it reads back as the greeting's own
// texts, in Latin-1.
TEST(GreetingFile, EkusFileReadsBackAsEkusGreeting) {
    Greeting read;
    ASSERT_TRUE(ParseGreeting(ReadBytes(SourceDir() / GreetingFile), "greeting.toml", read))
        << ErrorText();
    EXPECT_EQ(read, DefaultGreeting());
    EXPECT_EQ(read.head[7], "k\xE4y hakee mulle ruokaa?");
}

// (Special files in its place are the data reader's, as for every data file;
// its own limit is 64 KiB.)
TEST(GreetingFile, EachFaultIsNamedWithTheFileAndLineAndNothingIsWritten) {
    const struct {
        int line;
        std::string text, said;
    } cases[] = {
        {28, "", "has no entry \"crab\""},
        {28, "crab = \"x\"\ncolour = \"red\"", "line 29: unknown entry \"colour\""},
        {16, "name = \"\"", "line 16: the name is empty"},
        {16, "name = \"Annamaria\"", "line 16: the name has 9 letters; at most 8"},
        {16, "name = \"E\xC2\xA0u\"",
         "line 16: the caption font has no glyph for \"\xC2\xA0\" (U+00A0)"},
        {18, "\"5 \xE2\x82\xAC\",", "line 18: twister holds U+20AC, which is not in Latin-1"},
        {28, "crab = \"a\xFF\"", "line 28: Encountered invalid utf-8 sequence"},
        {28, "crab = \"a\\u0007\"", "line 28: crab holds the control character U+0007"},
        {28, "crab = \"" + std::string(81, 'x') + "\"",
         "line 28: crab is 81 characters long; at most 80"},
        {18, "", "line 17: twister must be a list of 8 texts in quotes"},
        {1, std::string(65536, '#'), "is larger than the 65536 bytes it may have"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        TempDir dir;
        const fs::path file = dir / "greeting.toml";
        WriteBytes(file, Edited({{c.line, c.text}}));
        const RunResult run = RunProgram(
            {ProgramPath("ekudemo-makedata"), "--greeting", file.string(), (dir / "out").string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "ekudemo-makedata: greeting \"" + file.string() + "\" " + c.said + "\n");
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    // The programs read it from the data folder the same way, before anything plays.
    TempDir dir;
    CopyData(dir.Path());
    WriteBytes(dir / GreetingFile, Edited({{16, "name = \"\""}}));
    const RunResult run = RunGreeting(dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "ekudemo: greeting \"dat/greeting.toml\" line 16: the name is empty\n");
}

// Väinö's greeting: five letters from the font, the fifth (Ö) in the fifth
// letter slot; captions in Latin-1; the farewell on standard output.
TEST(GreetingFile, AnotherGreetingPlaysToItsEndWithItsLettersAndLines) {
    TempDir dir;
    WriteBytes(dir / "vaino.toml",
               Edited({{16, "name = \"V\xC3\xA4in\xC3\xB6\""},
                       {18, "\"hyv\xC3\xA4\xC3\xA4 p\xC3\xA4iv\xC3\xA4\xC3\xA4\","},
                       {22, "\"\xC3\x85sa onnittelee\","},
                       {39, "farewell = \"n\xC3\xA4kemiin, V\xC3\xA4in\xC3\xB6\""}}));
    const RunResult made = RunProgram({ProgramPath("ekudemo-makedata"), "--greeting",
                                       (dir / "vaino.toml").string(), (dir / "vaino").string()});
    ASSERT_EQ(made.status, 0) << made.err;
    WriteBytes(dir / "vaino" / DataFileName(ModuleFile), MakeTestModule(14, 1, 255));

    const RunResult run =
        RunProgram({ProgramPath("ekudemo"), "--data", "vaino"}, {dir.Path(), Headless, 60});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "n\xE4kemiin, V\xE4in\xF6\n");
    EXPECT_EQ(run.err, "");

    ASSERT_EQ(TTF_Init(), 0);
    CaptionFont = TTF_OpenFont((SourceDir() / FontFile).c_str(), FontPoints);
    SurfacePtr texture = MakeSurface32(256, 256), mask = MakeSurface32(320, 200);
    ASSERT_TRUE(LoadPcx((dir / "vaino/bit7.pcx").c_str(), texture.get(), 256, 256));
    const struct {
        int order;
        const char* mask;
        const char* caption; // k = 0 and k = 4
    } stills[] = {{0, "ek__v.pcx", "hyv\xE4\xE4 p\xE4iv\xE4\xE4"},
                  {1, "ek__d6.pcx", "\xC5sa onnittelee"}};
    for (const auto& s : stills) {
        const fs::path out = dir / "still.raw";
        const RunResult still =
            RunProgram({ProgramPath("ekudemo-capture"), "--data", (dir / "vaino").string(),
                        "--still", std::to_string(s.order), "0", "0", "--raw", out.string()});
        ASSERT_EQ(still.status, 0) << still.err;
        ASSERT_TRUE(LoadPcx((dir / "vaino" / s.mask).c_str(), mask.get(), 320, 200));
        SurfacePtr expected = MakeSurface32(320, 200);
        FrameTime = 0;
        DrawTwister(mask.get(), texture.get(), expected.get(), 0);
        SetCaption(s.caption);
        DrawCaption(36 * s.order + 10, 16 * s.order, expected.get());
        const std::vector<uint32_t> words = RawFrameWords(ReadBytes(out));
        ASSERT_EQ(words.size(), 64000u);
        for (int i = 0; i < 64000; ++i)
            ASSERT_EQ(words[size_t(i)], Pixel32(expected.get(), i % 320, i / 320)) << s.mask << i;
    }
    FreeCaption();
    TTF_CloseFont(CaptionFont);
    CaptionFont = nullptr;
}

} // namespace

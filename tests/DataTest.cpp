// The committed dat/ folder: that the generator still makes exactly it, and
// that every file is what the greeting needs from it.
#include "common/Data.h"
#include "common/ByteOrder.h"
#include "common/Frame.h"
#include "effects/unscheduled/Flares.h"
#include "image/Pcx.h"
#include "music/S3mLayout.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <set>

namespace fs = std::filesystem;

namespace {

std::set<std::string> Files(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(DataGenerator, RemakesTheCommittedFilesByteForByte) {
    TempDir dir;
    const RunResult run =
        RunProgram({ProgramPath("ekudemo-makedata").string(), dir.Path().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    // The data table names every file there is.
    std::set<std::string> listed = {std::string(DataFileName(FontLicenceFile)),
                                    std::string(DataFileName(IconFile)),
                                    std::string(DataFileName(GreetingFile))};
    for (const char* path : DataFiles)
        listed.insert(std::string(DataFileName(path)));
    EXPECT_EQ(Files(SourceDir() / "dat"), listed);
    EXPECT_EQ(Files(dir.Path()), listed);
    for (const std::string& name : listed)
        EXPECT_TRUE(ReadBytes(dir / name) == ReadBytes(SourceDir() / "dat" / name)) << name;

    const RunResult none = RunProgram({ProgramPath("ekudemo-makedata").string()});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(Contains(none.err, "usage")) << none.err;
    WriteBytes(dir / "file", {1});
    const RunResult blocked =
        RunProgram({ProgramPath("ekudemo-makedata").string(), (dir / "file/sub").string()});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(Contains(blocked.err, "cannot")) << blocked.err;
}

// A picture decoded whole: palette indices and the colours they stand for.
struct Picture {
    int width = 0;
    std::vector<uint8_t> indices;
    std::array<uint32_t, 256> palette{}; // 0x00RRGGBB
    uint8_t At(int x, int y) const { return indices[size_t(y * width + x)]; }
    bool Opaque(int x, int y) const { return palette[At(x, y)] != 0; }
};

Picture Decode(const DataPicture& p) {
    const std::vector<uint8_t> file = ReadBytes(SourceDir() / p.path);
    Picture d{p.width, std::vector<uint8_t>(size_t(p.width * p.height))};
    const PcxDecodeResult r = DecodePcxPixels(file, d.indices, p.width, p.height);
    EXPECT_TRUE(r.complete) << p.path;
    EXPECT_EQ(r.readPos + 769, file.size()) << p.path; // the pixels, the marker, the palette
    for (size_t i = 0; i < 256 && r.readPos + 769 == file.size(); ++i)
        d.palette[i] = GetBe32(file, r.readPos + i * 3) & 0xFFFFFF;
    return d;
}

// Each picture loads into its slot's surface; keyed ones use black only for
// transparency (index 0), so that nothing inside them leaks through.
TEST(DataPictures, EachLoadsAndKeyedOnesUseBlackOnlyForTransparency) {
    for (const DataPicture& p : DataPictures) {
        const std::string path = (SourceDir() / p.path).string();
        SurfacePtr s(SDL_CreateRGBSurface(0, p.width, p.height, p.bitsPerPixel, 0, 0, 0, 0));
        EXPECT_TRUE(p.bitsPerPixel == 8 ? LoadPcxIndexed(path.c_str(), s.get(), p.width, p.height)
                                        : LoadPcx(path.c_str(), s.get(), p.width, p.height))
            << path;
        const Picture d = Decode(p);
        int opaque = 0, leaks = 0;
        for (uint8_t index : d.indices) {
            opaque += d.palette[index] != 0;
            leaks += index != 0 && d.palette[index] == 0;
        }
        EXPECT_TRUE(!p.keyed || (leaks == 0 && opaque > 3000 && opaque < 320 * 200 / 2)) << path;
    }
}

// Each letter gives the twister a run on every row of its height, ending
// left of x = 200 (a run reaching x = 319 draws nothing; the sway stays in
// view); the flare fades to zero inside its edges, and its glow leaves at
// most 3% of the screen pure white through the first minute of the effect.
TEST(DataPictures, LettersAndTheFlareSuitTheirEffects) {
    for (Slot slot : {SlotLetterE, SlotLetterK, SlotLetterU}) {
        const Picture letter = Decode(SlotPicture(slot));
        int rows = 0, strokeRows = 0;
        for (int y = 0; y < 200; ++y) {
            int s = 0, e = 0;
            while (s < 320 && !letter.Opaque(s, y))
                ++s;
            for (e = s; e < 320 && letter.Opaque(e, y);)
                ++e;
            if (s == 320) continue;
            ++rows;
            strokeRows += e - s >= 20 && e - s <= 120; // round ends may be thinner
            ASSERT_LE(e, 200) << "row " << y;
        }
        EXPECT_GE(rows, 140);
        EXPECT_GE(strokeRows, rows * 9 / 10);
    }
    const Picture flare = Decode(FlareSpriteFile);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(flare.At(i, 0) | flare.At(i, 63) | flare.At(0, i) | flare.At(63, i), 0);
    SurfacePtr sprite = MakeSurface8(64, 64), screen = MakeSurface32(320, 200);
    std::copy(flare.indices.begin(), flare.indices.end(), static_cast<uint8_t*>(sprite->pixels));
    PrepareGlow();
    std::srand(1);
    FillFlarePoints();
    for (FrameTime = 0; FrameTime <= 60000; FrameTime += 500) {
        DrawFlares(sprite.get(), screen.get(), FlareCount);
        const auto* pixels = static_cast<const uint32_t*>(screen->pixels);
        EXPECT_LE(std::count(pixels, pixels + 320 * 200, 0xFFFFFFu), 320 * 200 * 3 / 100)
            << FrameTime << " ms";
    }
    FreeGlow();
}

// The timeline counts 64 rows to an order: orders 0 to 10 play every row once
// in turn whatever the tempo does. (Their length and peak are the song's
// targets, SongTest.)
TEST(DataMusic, EveryRowOfTheGreetingPlaysOnceInTurn) {
    openmpt::module mod(ReadBytes(SourceDir() / ModuleFile));
    std::vector<std::pair<int32_t, int32_t>> heard, expected; // (order, row) at each change
    for (int32_t order = 0; order <= 10; ++order)
        for (int32_t row = 0; row < 64; ++row)
            expected.push_back({order, row});
    expected.push_back({11, 0});
    std::vector<float> buffer(2 * 256);
    while (mod.read_interleaved_stereo(44100, 256, buffer.data()) == 256) {
        const std::pair<int32_t, int32_t> at{mod.get_current_order(), mod.get_current_row()};
        if (heard.empty() || heard.back() != at) heard.push_back(at);
        if (at.first == 11) break;
    }
    EXPECT_EQ(heard, expected);
}

// Looped samples join whole periods seamlessly: the jump back from the
// loop's end to its start is no steeper than the waveform's own steps;
// one-shot samples end in silence.
TEST(DataMusic, SamplesLoopWithoutClicksAndDrumsFadeOut) {
    const std::vector<uint8_t> s3m = ReadBytes(SourceDir() / ModuleFile);
    const int instruments = int(GetLe16(s3m, S3m::InstrumentCount));
    int looped = 0;
    for (int i = 0; i < instruments; ++i) {
        const size_t header =
            size_t(S3m::ParagraphAt(s3m, S3m::InstrumentPointers(s3m) + 2 * size_t(i)));
        const size_t data = size_t(S3m::SampleData(s3m, header));
        const size_t length = GetLe32(s3m, header + S3m::InsLength);
        ASSERT_LE(data + length, s3m.size());
        auto value = [&](size_t k) { return int(s3m[data + k]) - 128; }; // unsigned
        if (!(s3m[header + S3m::InsFlags] & S3m::FlagLoop)) {
            EXPECT_LE(std::abs(value(length - 1)), 2) << "sample " << i + 1;
            continue;
        }
        ++looped;
        const size_t start = GetLe32(s3m, header + S3m::InsLoopStart),
                     end = GetLe32(s3m, header + S3m::InsLoopEnd);
        ASSERT_TRUE(start < end && end <= length) << "sample " << i + 1;
        int steepest = 0;
        for (size_t k = start + 1; k < end; ++k)
            steepest = std::max(steepest, std::abs(value(k) - value(k - 1)));
        EXPECT_LE(std::abs(value(start) - value(end - 1)), steepest) << "sample " << i + 1;
    }
    EXPECT_GE(looped, 3);
}

} // namespace

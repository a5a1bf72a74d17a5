// The committed dat/ folder: that the generator still makes exactly it, and
// that every file is what the greeting needs from it.
#include "common/Data.h"
#include "common/ByteOrder.h"
#include "image/Pcx.h"
#include "music/S3mLayout.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path Dat() {
    return SourceDir() / "dat";
}

int Get16(const std::vector<uint8_t>& b, size_t at) {
    return int(GetLe16(b, at));
}

// A decoded picture: palette indices and the palette's colours.
struct Decoded {
    int width = 0, height = 0;
    std::vector<uint8_t> indices;
    std::vector<uint32_t> palette; // 0x00RRGGBB
    uint8_t At(int x, int y) const { return indices[static_cast<size_t>(y * width + x)]; }
    bool Opaque(int x, int y) const { return palette[At(x, y)] != 0; }
};

Decoded Decode(const DataPicture& picture) {
    const char* name = picture.path;
    const int width = picture.width, height = picture.height;
    const std::vector<uint8_t> file = ReadBytes(SourceDir() / name);
    Decoded d;
    d.width = width;
    d.height = height;
    d.indices.assign(static_cast<size_t>(width * height), 0);
    const PcxDecodeResult result = DecodePcxPixels(file, d.indices, width, height);
    EXPECT_EQ(result.written, d.indices.size()) << name;
    EXPECT_EQ(result.readPos + 769, file.size()) << name;
    for (size_t i = 0; i < 256 && result.readPos + 3 + i * 3 < file.size(); ++i) {
        const size_t at = result.readPos + 1 + i * 3;
        d.palette.push_back(uint32_t(file[at]) << 16 | uint32_t(file[at + 1]) << 8 | file[at + 2]);
    }
    EXPECT_EQ(d.palette.size(), 256u) << name;
    d.palette.resize(256);
    return d;
}

} // namespace

TEST(DataGenerator, RemakesTheCommittedFilesByteForByte) {
    TempDir dir;
    const RunResult run =
        RunProgram({ProgramPath("ekudemo-makedata").string(), dir.Path().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> made, committed;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        made.insert(entry.path().filename().string());
    for (const auto& entry : fs::directory_iterator(Dat()))
        committed.insert(entry.path().filename().string());
    EXPECT_EQ(made, committed);
    // The data table names every file there is.
    std::set<std::string> listed = {std::string(DataFileName(FontLicenceFile)),
                                    std::string(DataFileName(IconFile))};
    for (const char* path : DataFiles)
        listed.insert(std::string(DataFileName(path)));
    EXPECT_EQ(committed, listed);
    for (const std::string& name : made) {
        if (!committed.count(name)) continue;
        EXPECT_TRUE(ReadBytes(dir / name) == ReadBytes(Dat() / name)) << name << " differs";
    }
}

TEST(DataGenerator, RefusesAMissingOrUnwritableFolder) {
    const RunResult none = RunProgram({ProgramPath("ekudemo-makedata").string()});
    EXPECT_NE(none.status, 0);
    EXPECT_NE(none.err.find("usage"), std::string::npos);
    TempDir dir;
    WriteBytes(dir / "file", {1});
    const RunResult blocked =
        RunProgram({ProgramPath("ekudemo-makedata").string(), (dir / "file" / "sub").string()});
    EXPECT_NE(blocked.status, 0);
    EXPECT_NE(blocked.err.find("cannot"), std::string::npos);
}

// Each file has the header and size its slot asks for, every row's runs end
// exactly at the width (no run spans two rows), and it decodes to exactly its
// pixels followed by its palette.
TEST(DataPictures, HeadersSizesAndRunsAreWhatTheLoaderReads) {
    for (const DataPicture& p : DataPictures) {
        SCOPED_TRACE(p.path);
        const std::vector<uint8_t> file = ReadBytes(SourceDir() / p.path);
        ASSERT_GT(file.size(), 128u + 769u);
        EXPECT_LE(file.size(), PcxReadLimit);
        EXPECT_EQ(file[0], 10);
        EXPECT_EQ(file[1], 5);
        EXPECT_EQ(file[2], 1);
        EXPECT_EQ(file[3], 8);
        EXPECT_EQ(Get16(file, 4), 0);
        EXPECT_EQ(Get16(file, 6), 0);
        EXPECT_EQ(Get16(file, 8), p.width - 1);
        EXPECT_EQ(Get16(file, 10), p.height - 1);
        EXPECT_EQ(file[65], 1);
        EXPECT_EQ(Get16(file, 66), p.width);
        EXPECT_EQ(file[file.size() - 769], 0x0C);
        size_t pos = 128;
        for (int y = 0; y < p.height; ++y) {
            int count = 0;
            while (count < p.width) {
                ASSERT_LT(pos, file.size());
                const uint8_t b = file[pos++];
                if (b >= 0xC0) {
                    EXPECT_NE(b, 0xC0);
                    count += b & 0x3F;
                    ++pos;
                } else {
                    ++count;
                }
            }
            ASSERT_EQ(count, p.width) << "row " << y;
        }
        EXPECT_EQ(pos, file.size() - 769);
        Decode(p);
    }
}

TEST(DataPictures, KeyedPicturesUseBlackOnlyForTransparency) {
    for (const DataPicture& picture : DataPictures) {
        if (!picture.keyed) continue;
        SCOPED_TRACE(picture.path);
        const Decoded d = Decode(picture);
        int opaque = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                // Black only ever through index 0, so nothing inside leaks through.
                if (d.At(x, y) != 0) {
                    EXPECT_NE(d.palette[d.At(x, y)], 0u) << x << "," << y;
                }
                opaque += d.Opaque(x, y);
            }
        EXPECT_GT(opaque, 3000);
        EXPECT_LT(opaque, 320 * 200 / 2);
    }
}

TEST(DataPictures, TheCrabWalksOnTheSandInView) {
    const Decoded crab = Decode(SlotPicture(SlotCrab));
    // Where the crab scene puts the picture: its first and last places in
    // each order, x from -128 (order 3) to 63 (order 5), y from -32 to -1.
    for (int left : {-128, -64, 0, 63})
        for (int top : {-32, -1}) {
            int onScreen = 0, lowest = -1;
            for (int y = 0; y < 200; ++y)
                for (int x = 0; x < 320; ++x) {
                    const int sx = x + left, sy = y + top;
                    if (!crab.Opaque(x, y) || sx < 0 || sx >= 320 || sy < 0 || sy >= 200) continue;
                    ++onScreen;
                    lowest = std::max(lowest, sy);
                }
            EXPECT_GT(onScreen, 2000) << left << "," << top;
            EXPECT_GE(lowest, 150) << "feet on the sand at " << left << "," << top;
        }
}

TEST(DataPictures, TheCaptionComesOutOfTheHeadsMouth) {
    for (Slot slot : {SlotHead1, SlotHead2}) {
        SCOPED_TRACE(SlotPicture(slot).path);
        const Decoded head = Decode(SlotPicture(slot));
        // The line starts at x = 200, y = 110 under the head, then scrolls left
        // into the open: the face covers its start, nothing covers its path.
        for (int y = 110; y < 124; ++y) {
            EXPECT_TRUE(head.Opaque(205, y)) << y;
            for (int x = 0; x < 190; ++x)
                ASSERT_FALSE(head.Opaque(x, y)) << x << "," << y;
        }
    }
}

TEST(DataPictures, LettersGiveTheTwisterARunOnEveryRowOfTheirHeight) {
    for (Slot slot : {SlotLetterE, SlotLetterK, SlotLetterU}) {
        SCOPED_TRACE(SlotPicture(slot).path);
        const Decoded d = Decode(SlotPicture(slot));
        int rows = 0, strokeRows = 0;
        for (int y = 0; y < 200; ++y) {
            int s = -1, e = -1;
            for (int x = 0; x < 320; ++x) {
                const bool set = d.Opaque(x, y);
                if (s < 0 && set)
                    s = x;
                else if (s >= 0 && e < 0 && !set)
                    e = x;
            }
            if (s < 0) continue;
            ASSERT_GE(e, 0) << "a run reaching x = 319 draws nothing, row " << y;
            strokeRows += e - s >= 20 && e - s <= 120; // round ends may be thinner
            EXPECT_LE(e, 200) << "keeps the sway on screen, row " << y;
            ++rows;
        }
        EXPECT_GE(rows, 140);
        EXPECT_GE(strokeRows, rows * 9 / 10);
    }
}

TEST(DataPictures, FlareIsARoundGlowFadingToZero) {
    const Decoded f = Decode(FlareSpriteFile);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(f.At(i, 0), 0);
        EXPECT_EQ(f.At(i, 63), 0);
        EXPECT_EQ(f.At(0, i), 0);
        EXPECT_EQ(f.At(63, i), 0);
    }
    EXPECT_GE(f.At(31, 31), 240);
    EXPECT_EQ(f.At(31, 31), f.At(32, 32));
    EXPECT_EQ(f.At(10, 31), f.At(31, 10));
    for (int x = 32; x < 63; ++x)
        EXPECT_LE(f.At(x + 1, 32), f.At(x, 32));
}

TEST(DataMusic, ModuleHasTheOrdersRowsLengthAndHeadroomTheGreetingNeeds) {
    const std::vector<uint8_t> bytes = ReadBytes(SourceDir() / ModuleFile);
    openmpt::module mod(bytes);
    ASSERT_GE(mod.get_num_orders(), 12);
    for (int32_t o = 0; o < mod.get_num_orders(); ++o) {
        const int32_t pattern = mod.get_order_pattern(o);
        ASSERT_GE(pattern, 0) << "order " << o;
        EXPECT_EQ(mod.get_pattern_num_rows(pattern), 64) << "order " << o;
    }
    // Orders 0 to 10 together: the greeting's length.
    const double end = mod.set_position_order_row(11, 0);
    EXPECT_GE(end, 75.0);
    EXPECT_LE(end, 100.0);
    // Rendered at 44.1 kHz the loudest sample stays at or below -1 dBFS.
    mod.set_position_seconds(0);
    std::vector<float> buffer(2 * 4096);
    float peak = 0;
    size_t frames = 0;
    while (size_t got = mod.read_interleaved_stereo(44100, 4096, buffer.data())) {
        for (size_t i = 0; i < 2 * got; ++i)
            peak = std::max(peak, std::fabs(buffer[i]));
        frames += got;
    }
    EXPECT_GT(frames, static_cast<size_t>(44100 * end));
    EXPECT_GT(peak, 0.3f);
    EXPECT_LE(20 * std::log10(peak), -1.0);
}

// The timeline counts 64 rows to an order: no break, jump or loop may skip
// or repeat a row of the greeting, whatever the tempo does.
TEST(DataMusic, EveryRowOfTheGreetingPlaysOnceInTurn) {
    openmpt::module mod(ReadBytes(Dat() / "rimpaaa.s3m"));
    std::vector<std::pair<int32_t, int32_t>> heard; // (order, row) at each change
    std::vector<float> buffer(2 * 256);
    while (mod.read_interleaved_stereo(44100, 256, buffer.data()) == 256) {
        const std::pair<int32_t, int32_t> at{mod.get_current_order(), mod.get_current_row()};
        if (heard.empty() || heard.back() != at) heard.push_back(at);
        if (at.first == 11) break;
    }
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (int32_t order = 0; order <= 10; ++order)
        for (int32_t row = 0; row < 64; ++row)
            expected.push_back({order, row});
    expected.push_back({11, 0});
    EXPECT_EQ(heard, expected);
}

TEST(DataMusic, SamplesLoopWithoutClicksAndDrumsFadeOut) {
    const std::vector<uint8_t> s3m = ReadBytes(SourceDir() / ModuleFile);
    ASSERT_GT(s3m.size(), S3m::HeaderSize);
    const int instruments = Get16(s3m, S3m::InstrumentCount);
    ASSERT_GE(instruments, 4);
    auto get32 = [&](size_t at) { return static_cast<size_t>(GetLe32(s3m, at)); };
    int looped = 0;
    for (int i = 0; i < instruments; ++i) {
        SCOPED_TRACE("sample " + std::to_string(i + 1));
        const size_t header =
            size_t(S3m::ParagraphAt(s3m, S3m::InstrumentPointers(s3m) + 2 * size_t(i)));
        ASSERT_LE(header + S3m::InstrumentSize, s3m.size());
        const size_t data = size_t(S3m::SampleData(s3m, header));
        const size_t length = get32(header + S3m::InsLength);
        ASSERT_LE(data + length, s3m.size());
        ASSERT_GT(length, 0u);
        // Stored unsigned: 128 is silence.
        auto value = [&](size_t k) { return static_cast<int>(s3m[data + k]) - 128; };
        if (s3m[header + S3m::InsFlags] & S3m::FlagLoop) {
            ++looped;
            const size_t start = get32(header + S3m::InsLoopStart),
                         end = get32(header + S3m::InsLoopEnd);
            ASSERT_LT(start, end);
            ASSERT_LE(end, length);
            // The jump back from the loop's end to its start is no steeper than
            // the waveform's own steps: whole periods join seamlessly.
            int steepest = 0;
            for (size_t k = start + 1; k < end; ++k)
                steepest = std::max(steepest, std::abs(value(k) - value(k - 1)));
            EXPECT_LE(std::abs(value(start) - value(end - 1)), steepest);
        } else {
            EXPECT_LE(std::abs(value(length - 1)), 2) << "a one-shot sample ends in silence";
        }
    }
    EXPECT_GE(looped, 3);
}

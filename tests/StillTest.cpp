#include "common/Data.h"
#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "music/Music.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A dat/ with the committed pictures and font, and a small module standing
// in for the song: a still depends on the song only through its position.
void MakeDataFolder(const fs::path& dir) {
    fs::create_directories(dir / "dat");
    for (const DataPicture& picture : DataPictures)
        if (picture.slot != NoSlot) fs::copy_file(SourceDir() / picture.path, dir / picture.path);
    fs::copy_file(SourceDir() / FontFile, dir / FontFile);
    WriteBytes(dir / ModuleFile, MakeTestModule(12, 6, 125));
}

// The frame drawn here, through the timeline, as 0x00RRGGBB words.
std::vector<uint32_t> DrawInProcess(int32_t order, int32_t row, int32_t timeMs, unsigned seed) {
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    FSOUND_Init(44100, 32, 0);
    SongHandle = FMUSIC_LoadSong(ModuleFile);
    OpenCaptionFont();
    SurfaceSlotArray slots;
    LoadPictures(slots);
    SurfacePtr screen = MakeSurface32(320, 200);
    SDL_FillRect(screen.get(), nullptr, 0);
    FMUSIC_SetPosition(SongHandle, order, row);
    CurrentOrder = order;
    std::srand(seed);
    FrameTime = timeMs;
    DrawScene(screen.get(), slots, row);
    std::vector<uint32_t> words;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            words.push_back(Pixel32(screen.get(), x, y));
    FreeCaption();
    FreePictures(slots);
    CloseCaptionFont();
    FMUSIC_FreeSong(SongHandle);
    SongHandle = nullptr;
    FSOUND_Close();
    return words;
}

class Still : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDataFolder(dir.Path());
        previous = fs::current_path();
        fs::current_path(dir.Path());
    }
    void TearDown() override { fs::current_path(previous); }

    RunResult Capture(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {ProgramPath("ekudemo-capture").string(), "--still"};
        argv.insert(argv.end(), args.begin(), args.end());
        RunOptions options;
        options.workDir = dir.Path();
        options.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
        return RunProgram(argv, options);
    }

    TempDir dir;
    fs::path previous;
};

TEST_F(Still, RawFrameIsTheOneTheTimelineDraws) {
    struct Case {
        int32_t order, row, timeMs;
        unsigned seed;
    } cases[] = {{0, 0, 0, 1},    {2, 40, 1234, 1}, {4, 10, 99, 7}, {5, 63, 5, 12345},
                 {7, 40, 0, 1},   {10, 0, 0, 1},  // and a position outside the module:
                 {-1, 5, 300, 1}, {3, 70, 0, 1}}; // the order and row count as given
    for (const Case& c : cases) {
        const std::string out = (dir / "frame.raw").string();
        RunResult run =
            Capture({std::to_string(c.order), std::to_string(c.row), std::to_string(c.timeMs),
                     "--seed", std::to_string(c.seed), "--raw", out});
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<uint8_t> bytes = ReadBytes(out);
        ASSERT_EQ(bytes.size(), 64000u * 4);
        std::vector<uint32_t> tool = RawFrameWords(bytes);
        std::vector<uint32_t> here = DrawInProcess(c.order, c.row, c.timeMs, c.seed);
        EXPECT_EQ(tool, here) << "order " << c.order << " row " << c.row;
        size_t lit = 0;
        for (uint32_t w : tool) {
            ASSERT_EQ(w >> 24, 0u);
            lit += w != 0;
        }
        if (c.order <= 10) {
            EXPECT_GT(lit, 1000u);
        }
    }
}

TEST_F(Still, PngIsEightBitRgbOfTheFrame) {
    RunResult run = Capture({"3", "20", "0", "out.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<uint8_t> png = ReadBytes(dir / "out.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    // IHDR: width, height, bit depth 8, colour type 2 (RGB).
    EXPECT_EQ(png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19], 320);
    EXPECT_EQ(png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23], 200);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
}

TEST_F(Still, MissingDataOrUnwritableOutputFailsClearly) {
    const char* crab = SlotPicture(SlotCrab).path;
    fs::remove(dir / crab);
    RunResult missing = Capture({"3", "20", "0", "out.png"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(crab), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(dir / "out.png"));

    MakeDataFolder(dir / "again");
    RunOptions options;
    options.workDir = dir / "again";
    options.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
    RunResult unwritable = RunProgram(
        {ProgramPath("ekudemo-capture").string(), "--still", "0", "0", "0", "no/such/dir/x.png"},
        options);
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("no/such/dir/x.png"), std::string::npos) << unwritable.err;
}

} // namespace

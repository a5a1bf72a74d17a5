// The PCX pictures: the run-length pass, the header check and the loaders'
// messages. What the encoder writes is the data folder's test; the palette and
// every slot's picture reach the exact frames; the fuzzers try malformed files.
#include "image/Pcx.h"

#include "common/Data.h"
#include "common/Error.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A PCX file: the header of a width x height picture (zeros when no size is
// given: the run-length pass never looks at it), the given pixel data, a
// marker and a palette.
std::vector<uint8_t> PcxFile(const std::vector<uint8_t>& data, uint8_t marker = 0x0C,
                             std::vector<uint8_t> palette = {}, int width = 0, int height = 0) {
    std::vector<uint8_t> file = width > 0 ? PcxHeader(width, height) : std::vector<uint8_t>(128);
    palette.resize(768, 0);
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(marker);
    file.insert(file.end(), palette.begin(), palette.end());
    return file;
}

std::vector<uint8_t> Repeat(size_t n, uint8_t v, std::vector<uint8_t> then = {}) {
    then.insert(then.begin(), n, v);
    return then;
}

// 0xC0 x writes nothing, 0xBF is a literal, 0xC1 0xBF one pixel, 0xFF 0x07
// 63 pixels; a run carries into the next row, which still decodes a full
// width; a run past the last pixel is cut; an empty picture reads nothing.
TEST(PcxDecode, RunsLiteralsAndRowEnds) {
    const struct {
        std::vector<uint8_t> data;
        int width, height;
        std::vector<uint8_t> out;
        size_t readPos;
        bool complete;
    } cases[] = {
        {{0xC0, 0x55, 0xBF, 0xC1, 0xBF, 0xFF, 7, 0},
         66,
         1,
         Repeat(2, 0xBF, Repeat(63, 7, {0})),
         136,
         true},
        {{0xC5, 1, 2, 3, 4, 5}, 4, 2, {1, 1, 1, 1, 1, 2, 3, 4}, 133, true},
        {{0xFF, 4}, 2, 2, {4, 4, 4, 4}, 130, true},
        {{1, 2}, 0, 5, {}, 128, true},
        {{5, 6, 7, 0xC2}, 2, 2, {5, 6, 7, 0xEE}, 132, false}, // no marker: the data ends early
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file = PcxFile(c.data);
        if (!c.complete) file.resize(128 + c.data.size());
        std::vector<uint8_t> out(c.out.size(), 0xEE);
        const PcxDecodeResult r = DecodePcxPixels(file, out, c.width, c.height);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(r.written, c.complete ? c.out.size() : 3u);
        EXPECT_EQ(r.readPos, c.readPos);
        EXPECT_EQ(r.complete, c.complete);
    }
    // Nothing past the read limit is read, however much the picture needs.
    std::vector<uint8_t> file(PcxReadLimit + 1000, 0x01), out(300000);
    const PcxDecodeResult r = DecodePcxPixels(file, out, 300000, 1);
    EXPECT_EQ(r.readPos, PcxReadLimit);
    EXPECT_FALSE(r.complete);
}

// Headers that do not describe the picture its slot expects: refused before
// any pixel is written, with what is wrong.
TEST(PcxHeader, RefusesWhatIsNotAnEightBitRunLengthPictureOfTheSlotsSize) {
    const std::vector<uint8_t> good = PcxFile({0xC2, 5, 0xC2, 6}, 0x0C, {}, 2, 2);
    auto with = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + std::ptrdiff_t(at));
        return file;
    };
    std::mt19937 random(11);
    std::vector<uint8_t> noise(2000), png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (uint8_t& b : noise)
        b = uint8_t(random());
    noise[0] = 0x42;
    png.resize(300, 0);
    const struct {
        std::vector<uint8_t> file;
        const char* fault;
    } cases[] = {
        {{}, "is empty"},
        {noise, "is not a PCX picture"},
        {png, "is a PNG picture, not a PCX one"},
        {with(0, {0x0B}), "is not a PCX picture"},
        {std::vector<uint8_t>(good.begin(), good.begin() + 60), "is cut short inside its header"},
        {with(2, {0}), "is not run-length encoded"},
        {with(65, {3}), "has 3 plane(s) of 8 bits, not one plane of 8 bits"},
        {with(3, {4}), "has 1 plane(s) of 4 bits, not one plane of 8 bits"},
        {with(8, {0xFE, 0xFF, 0xFE, 0xFF}), "is 65535x65535, not 2x2"},
        {with(8, {1, 0, 2, 0}), "is 2x3, not 2x2"},
        {with(66, {1, 0}), "stores rows of 1 bytes for 2 pixels"},
        {with(4, {1, 0, 0, 0, 2, 0, 1, 0}), ""}, // a window away from 0 is still 2x2
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        auto surface = MakeSurface32(2, 2);
        Pixel32(surface.get(), 0, 0) = 0x123456;
        const PcxDecodeResult r = DecodePcx(c.file, surface.get(), 2, 2);
        EXPECT_EQ(r.fault, c.fault);
        EXPECT_EQ(r.complete, *c.fault == 0);
        EXPECT_EQ(Pixel32(surface.get(), 0, 0), *c.fault ? 0x123456u : 0u);
        EXPECT_EQ(DecodePcxIndexed(c.file, MakeSurface8(2, 2).get(), 2, 2).fault, c.fault);
    }
}

// Line ends and the old end-of-file character, as pixels and palette bytes,
// are read as they are; rows of six bytes hold five pixels and padding.
TEST(PcxLoad, FilesAreReadUntranslatedAndFaultsNameTheFile) {
    std::vector<uint8_t> palette(768, 0);
    palette[0x0D * 3] = 0x0A, palette[0x0D * 3 + 1] = 0x1A, palette[0x0D * 3 + 2] = 0x0D;
    palette[0x1A * 3 + 2] = 0x1A;
    TempDir dir;
    std::vector<uint8_t> file = PcxFile({0x0D, 0x0A, 0x1A, 0x0D, 0x0A, 0x0D}, 0x1A, palette, 5, 1);
    file[66] = 6;
    WriteBytes(dir / "p.pcx", file);
    auto surface = MakeSurface32(5, 1);
    ASSERT_TRUE(LoadPcx((dir / "p.pcx").c_str(), surface.get(), 5, 1)) << ErrorText();
    EXPECT_EQ(Pixel32(surface.get(), 0, 0), 0x0A1A0Du);
    EXPECT_EQ(Pixel32(surface.get(), 2, 0), 0x00001Au);
    auto indexed = MakeSurface8(5, 1);
    ASSERT_TRUE(LoadPcxIndexed((dir / "p.pcx").c_str(), indexed.get(), 5, 1)) << ErrorText();
    const auto* bytes = static_cast<uint8_t*>(indexed->pixels);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 5),
              (std::vector<uint8_t>{0x0D, 0x0A, 0x1A, 0x0D, 0x0A}));

    EXPECT_FALSE(LoadPcx("no/such.pcx", surface.get(), 5, 1));
    EXPECT_STREQ(ErrorText(), "cannot open picture \"no/such.pcx\": No such file or directory");
    const std::string beach = (SourceDir() / SlotPicture(SlotBackground).path).string();
    EXPECT_FALSE(LoadPcxIndexed(beach.c_str(), MakeSurface8(64, 64).get(), 64, 64));
    EXPECT_EQ(ErrorText(), "picture \"" + beach + "\" is 320x200, not 64x64");
    WriteBytes(dir / "cut.pcx", PcxHeader(64, 64));
    const std::string cut = (dir / "cut.pcx").string();
    EXPECT_FALSE(LoadPcxIndexed(cut.c_str(), MakeSurface8(64, 64).get(), 64, 64));
    EXPECT_EQ(ErrorText(), "picture \"" + cut + "\" is cut short: its picture data ends early");
    file.resize(file.size() - 10);
    WriteBytes(cut, file);
    EXPECT_FALSE(LoadPcx(cut.c_str(), surface.get(), 5, 1));
    EXPECT_EQ(ErrorText(), "picture \"" + cut + "\" is cut short: its palette ends early");
    EXPECT_FALSE(LoadPcx(beach.c_str(), surface.get(), 320, 200));
    EXPECT_EQ(ErrorText(), "no 320x200 surface of 32 bits to load picture \"" + beach + "\" into");
}

} // namespace

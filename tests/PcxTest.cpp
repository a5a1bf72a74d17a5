#include "image/Pcx.h"

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
    palette.resize(768, 0);
    std::vector<uint8_t> file(128 + data.size() + 1 + 768, 0);
    if (width > 0) {
        const std::vector<uint8_t> header = PcxHeader(width, height);
        std::copy(header.begin(), header.end(), file.begin());
    }
    std::copy(data.begin(), data.end(), file.begin() + 128);
    file[128 + data.size()] = marker;
    std::copy(palette.begin(), palette.end(), file.end() - 768);
    return file;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& file, int width, int height,
                            PcxDecodeResult* result = nullptr) {
    std::vector<uint8_t> out(size_t(width) * size_t(height), 0xEE);
    PcxDecodeResult r = DecodePcxPixels(file, out, width, height);
    if (result) *result = r;
    return out;
}

TEST(PcxDecode, RunsAndLiterals) {
    // 0xC0 x writes nothing, 0xBF is a literal, 0xC1 0xBF one pixel, 0xFF 0x07 63 pixels.
    PcxDecodeResult r;
    auto out = Decode(PcxFile({0xC0, 0x55, 0xBF, 0xC1, 0xBF, 0xFF, 0x07, 0x00}), 66, 1, &r);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.readPos, 128u + 8);
    EXPECT_EQ(r.written, 66u);
    EXPECT_EQ(out[0], 0xBF);
    EXPECT_EQ(out[1], 0xBF);
    for (int i = 2; i < 65; ++i)
        EXPECT_EQ(out[size_t(i)], 7) << i;
    EXPECT_EQ(out[65], 0);
}

TEST(PcxDecode, RunCarriesIntoNextRowWhichStillDecodesAFullWidth) {
    // Row 0: a run of 5 in a 4-wide picture; its fifth pixel starts row 1's
    // place, and row 1 then decodes four more, of which the last is cut off.
    PcxDecodeResult r;
    auto out = Decode(PcxFile({0xC5, 1, 2, 3, 4, 5}), 4, 2, &r);
    EXPECT_EQ((std::vector<uint8_t>{1, 1, 1, 1, 1, 2, 3, 4}), out);
    EXPECT_EQ(r.written, 8u);
    EXPECT_EQ(r.readPos, 128u + 5); // stopped before the literal 5
}

TEST(PcxDecode, FullScreenOfRunsEndsRightBeforeTheMarker) {
    std::vector<uint8_t> data;
    for (int row = 0; row < 200; ++row) {
        for (int run = 0; run < 5; ++run)
            data.insert(data.end(), {0xFF, uint8_t(row)});
        data.insert(data.end(), {0xC5, uint8_t(row + 1)});
    }
    std::vector<uint8_t> palette(768);
    for (size_t i = 0; i < 768; ++i)
        palette[i] = uint8_t(i / 3);
    auto file = PcxFile(data, 0x0C, palette, 320, 200);

    auto surface = MakeSurface32(320, 200);
    PcxDecodeResult r = DecodePcx(file, surface.get(), 320, 200);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.readPos, 128 + data.size());
    EXPECT_EQ(Pixel32(surface.get(), 0, 0), 0x000000u);
    EXPECT_EQ(Pixel32(surface.get(), 314, 7), 0x070707u);
    EXPECT_EQ(Pixel32(surface.get(), 315, 7), 0x080808u);
    EXPECT_EQ(Pixel32(surface.get(), 319, 199), 0xC8C8C8u);
}

TEST(PcxDecode, PaletteByteOrderAndMarkerNeverExamined) {
    std::vector<uint8_t> palette(768, 0);
    palette[3] = 0x12, palette[4] = 0x34, palette[5] = 0x56;
    for (uint8_t marker : {uint8_t(0x0C), uint8_t(0x00), uint8_t(0xC5)}) {
        auto surface = MakeSurface32(2, 1);
        EXPECT_TRUE(
            DecodePcx(PcxFile({1, 0}, marker, palette, 2, 1), surface.get(), 2, 1).complete);
        EXPECT_EQ(Pixel32(surface.get(), 0, 0), 0x00123456u);
        EXPECT_EQ(Pixel32(surface.get(), 1, 0), 0u); // palette entry 0 stays black
    }
}

TEST(PcxDecode, IndexedRowsFollowTheSurfacePitch) {
    // A 3-wide 8-bit surface has padded rows.
    auto surface = MakeSurface8(3, 2);
    ASSERT_GT(surface->pitch, 3);
    EXPECT_TRUE(DecodePcxIndexed(PcxFile({1, 2, 3, 0xC3, 9}, 0x0C, {}, 3, 2), surface.get(), 3, 2)
                    .complete);
    auto* bytes = static_cast<uint8_t*>(surface->pixels);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), std::vector<uint8_t>(bytes, bytes + 3));
    bytes += surface->pitch;
    EXPECT_EQ((std::vector<uint8_t>{9, 9, 9}), std::vector<uint8_t>(bytes, bytes + 3));
}

TEST(PcxDecode, EmptyPictureDecodesNothing) {
    PcxDecodeResult r;
    Decode(PcxFile({1, 2}), 0, 5, &r);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.written, 0u);
    EXPECT_EQ(r.readPos, 128u);
}

TEST(PcxDecode, RunPastTheLastPixelIsCutShort) {
    PcxDecodeResult r;
    auto out = Decode(PcxFile({0xFF, 4}), 2, 2, &r);
    EXPECT_EQ((std::vector<uint8_t>{4, 4, 4, 4}), out);
    EXPECT_EQ(r.written, 4u);
}

TEST(PcxDecode, DataEndingEarlyLeavesTheRestAsItWas) {
    // The file stops in the middle of the second row: no marker, no palette.
    std::vector<uint8_t> file = PcxHeader(2, 2);
    file.insert(file.end(), {5, 6, 7, 0xC2});
    auto surface = MakeSurface32(2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            Pixel32(surface.get(), x, y) = 0xABCDEF;
    PcxDecodeResult r = DecodePcx(file, surface.get(), 2, 2);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.written, 3u);
    EXPECT_EQ(r.fault, "is cut short: its picture data ends early");
    EXPECT_EQ(Pixel32(surface.get(), 1, 1), 0xABCDEFu);
}

TEST(PcxDecode, ShortPaletteIsIncompleteAndNeverReadPastTheFile) {
    auto file = PcxFile({1}, 0x0C, {}, 1, 1);
    file.resize(file.size() - 10);
    auto surface = MakeSurface32(1, 1);
    const PcxDecodeResult r = DecodePcx(file, surface.get(), 1, 1);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.fault, "is cut short: its palette ends early");
}

TEST(PcxDecode, NothingPastTheReadLimitIsRead) {
    // 256000 bytes of data for a picture that needs more: decoding stops at the limit.
    std::vector<uint8_t> file(PcxReadLimit + 1000, 0x01);
    PcxDecodeResult r;
    std::vector<uint8_t> out(300000);
    r = DecodePcxPixels(file, out, 300000, 1);
    EXPECT_EQ(r.readPos, PcxReadLimit);
    EXPECT_FALSE(r.complete);
}

TEST(PcxDecode, SurfaceTooSmallOrOfAnotherDepthIsLeftAlone) {
    auto file = PcxFile({0xC4, 3}, 0x0C, {}, 2, 2);
    auto small = MakeSurface32(1, 1);
    Pixel32(small.get(), 0, 0) = 0x123456;
    EXPECT_FALSE(DecodePcx(file, small.get(), 2, 2).complete);
    EXPECT_EQ(Pixel32(small.get(), 0, 0), 0x123456u);
    auto bytes = MakeSurface8(2, 2);
    EXPECT_FALSE(DecodePcx(file, bytes.get(), 2, 2).complete);
    EXPECT_FALSE(DecodePcx(file, nullptr, 2, 2).complete);
}

// Malformed input under the sanitizers: every cut of a valid file, and
// thousands of mutations, decode within bounds.
TEST(PcxDecode, TruncatedAndMutatedFilesStayInBounds) {
    std::vector<uint8_t> data;
    for (int row = 0; row < 6; ++row)
        data.insert(data.end(), {0xC4, uint8_t(row), 0xC1, 0xC9, 7});
    std::vector<uint8_t> palette(768);
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = uint8_t(i);
    const auto valid = PcxFile(data, 0x0C, palette, 6, 6);

    auto surface32 = MakeSurface32(6, 6);
    auto surface8 = MakeSurface8(6, 6);
    ASSERT_TRUE(DecodePcx(valid, surface32.get(), 6, 6).complete);
    for (size_t cut = 0; cut < valid.size(); ++cut) {
        // An exactly sized copy, so that the sanitizer sees any read past it.
        std::vector<uint8_t> part(valid.begin(), valid.begin() + std::ptrdiff_t(cut));
        EXPECT_FALSE(DecodePcx(part, surface32.get(), 6, 6).complete) << cut;
        DecodePcxIndexed(part, surface8.get(), 6, 6);
    }

    std::mt19937 random(2026);
    for (int trial = 0; trial < 5000; ++trial) {
        std::vector<uint8_t> file = valid;
        int changes = 1 + int(random() % 8);
        for (int c = 0; c < changes; ++c)
            file[random() % file.size()] = uint8_t(random());
        file.resize(random() % (file.size() + 1));
        int width = int(random() % 8), height = int(random() % 8);
        std::vector<uint8_t> out(size_t(width * height));
        PcxDecodeResult r = DecodePcxPixels(file, out, width, height);
        EXPECT_LE(r.readPos, file.size());
        EXPECT_LE(r.written, out.size());
        DecodePcx(file, surface32.get(), std::min(width, 6), std::min(height, 6));
        DecodePcxIndexed(file, surface8.get(), std::min(width, 6), std::min(height, 6));
    }
}

TEST(PcxLoad, FileIsReadUntranslated) {
    // Line ends and the old end-of-file character, as pixels and palette bytes.
    std::vector<uint8_t> palette(768, 0);
    palette[0x0D * 3] = 0x0A, palette[0x0D * 3 + 1] = 0x1A, palette[0x0D * 3 + 2] = 0x0D;
    palette[0x1A * 3 + 2] = 0x1A;
    TempDir dir;
    // Five pixels in rows of six bytes: the sixth is padding, left out.
    WriteBytes(dir / "p.pcx", PcxFile({0x0D, 0x0A, 0x1A, 0x0D, 0x0A, 0x0D}, 0x1A, palette, 5, 1));
    std::vector<uint8_t> file = ReadBytes(dir / "p.pcx");
    file[66] = 6;
    WriteBytes(dir / "p.pcx", file);
    auto surface = MakeSurface32(5, 1);
    ASSERT_TRUE(LoadPcx((dir / "p.pcx").c_str(), surface.get(), 5, 1)) << ErrorText();
    EXPECT_EQ(Pixel32(surface.get(), 0, 0), 0x0A1A0Du);
    EXPECT_EQ(Pixel32(surface.get(), 1, 0), 0u);
    EXPECT_EQ(Pixel32(surface.get(), 2, 0), 0x00001Au);
    EXPECT_EQ(surface->locked, 0);

    auto indexed = MakeSurface8(5, 1);
    ASSERT_TRUE(LoadPcxIndexed((dir / "p.pcx").c_str(), indexed.get(), 5, 1)) << ErrorText();
    auto* bytes = static_cast<uint8_t*>(indexed->pixels);
    EXPECT_EQ((std::vector<uint8_t>{0x0D, 0x0A, 0x1A, 0x0D, 0x0A}),
              std::vector<uint8_t>(bytes, bytes + 5));
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
    std::vector<uint8_t> noise(2000);
    for (uint8_t& b : noise)
        b = uint8_t(random());
    noise[0] = 0x42;
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.resize(300, 0);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        const char* fault;
    };
    const Case cases[] = {
        {"empty", {}, "is empty"},
        {"random bytes", noise, "is not a PCX picture"},
        {"a PNG", png, "is a PNG picture, not a PCX one"},
        {"a wrong marker", with(0, {0x0B}), "is not a PCX picture"},
        {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 60),
         "is cut short inside its header"},
        {"not run-length", with(2, {0}), "is not run-length encoded"},
        {"24 bits in three planes", with(65, {3}),
         "has 3 plane(s) of 8 bits, not one plane of 8 bits"},
        {"4 bits", with(3, {4}), "has 1 plane(s) of 4 bits, not one plane of 8 bits"},
        {"65535x65535", with(8, {0xFE, 0xFF, 0xFE, 0xFF}), "is 65535x65535, not 2x2"},
        {"shifted window", with(4, {1, 0, 0, 0, 2, 0, 1, 0}), "is 2x2, not 2x2"},
        {"short rows", with(66, {1, 0}), "stores rows of 1 bytes for 2 pixels"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto surface = MakeSurface32(2, 2);
        Pixel32(surface.get(), 0, 0) = 0x123456;
        const PcxDecodeResult r = DecodePcx(c.file, surface.get(), 2, 2);
        if (std::string(c.what) == "shifted window") {
            // A window that does not start at 0 is still 2x2: accepted.
            EXPECT_TRUE(r.complete) << r.fault;
            continue;
        }
        EXPECT_FALSE(r.complete);
        EXPECT_EQ(r.fault, c.fault);
        EXPECT_EQ(r.written, 0u);
        EXPECT_EQ(Pixel32(surface.get(), 0, 0), 0x123456u);
        auto sprite = MakeSurface8(2, 2);
        EXPECT_EQ(DecodePcxIndexed(c.file, sprite.get(), 2, 2).fault, c.fault);
    }
}

TEST(PcxHeader, TheBeachInPlaceOfTheFlareIsTheWrongSize) {
    TempDir dir;
    const std::string path = (SourceDir() / "dat/ek_taus.pcx").string();
    auto sprite = MakeSurface8(64, 64);
    EXPECT_FALSE(LoadPcxIndexed(path.c_str(), sprite.get(), 64, 64));
    EXPECT_EQ(ErrorText(), "picture \"" + path + "\" is 320x200, not 64x64");
}

// What the encoder writes the decoder reads back, the header included.
TEST(PcxEncode, RoundTripsThroughTheDecoder) {
    std::vector<uint8_t> indices(6 * 3);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i < 8 ? 7 : 0xC0 + i); // a run, then literals that look like runs
    const std::vector<uint8_t> palette = {0, 0, 0, 1, 2, 3};
    const std::vector<uint8_t> file = EncodePcx(6, 3, indices, palette);
    EXPECT_EQ(file.size(), 128u + (2) + (2 + 4 * 2) + (6 * 2) + 1 + 768);
    auto sprite = MakeSurface8(6, 3);
    ASSERT_TRUE(DecodePcxIndexed(file, sprite.get(), 6, 3).complete);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(static_cast<uint8_t*>(sprite->pixels)[y * sprite->pitch + x],
                      indices[size_t(y * 6 + x)]);
    auto surface = MakeSurface32(6, 3);
    ASSERT_TRUE(DecodePcx(file, surface.get(), 6, 3).complete);
    EXPECT_EQ(Pixel32(surface.get(), 0, 0), 0u); // index 7: past the palette given, black
}

TEST(PcxLoad, ReportsWhatIsWrongNamingTheFile) {
    TempDir dir;
    auto surface = MakeSurface32(2, 2);
    EXPECT_FALSE(LoadPcx("no/such/picture.pcx", surface.get(), 2, 2));
    EXPECT_STREQ(ErrorText(),
                 "cannot open picture \"no/such/picture.pcx\": No such file or directory");

    WriteBytes(dir / "cut.pcx", PcxHeader(64, 64));
    auto sprite = MakeSurface8(64, 64);
    const std::string cut = (dir / "cut.pcx").string();
    EXPECT_FALSE(LoadPcxIndexed(cut.c_str(), sprite.get(), 64, 64));
    EXPECT_EQ(ErrorText(), "picture \"" + cut + "\" is cut short: its picture data ends early");

    const std::string folder = dir.Path().string();
    EXPECT_FALSE(LoadPcx(folder.c_str(), surface.get(), 2, 2));
    EXPECT_EQ(ErrorText(), "picture \"" + folder + "\" is a folder, not a file");
}

} // namespace

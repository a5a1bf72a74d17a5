#include "image/Pcx.h"

#include "common/ByteOrder.h"
#include "common/DataFile.h"
#include "common/Error.h"
#include "image/Surface.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Header fields.
constexpr size_t Manufacturer = 0, Version = 1, Encoding = 2, BitsPerPixel = 3;
constexpr size_t XMin = 4, YMin = 6, XMax = 8, YMax = 10, Dpi = 12, Planes = 65, LineBytes = 66,
                 PaletteInfo = 68;
constexpr uint8_t ZSoft = 10;         // every PCX file starts with it
constexpr uint8_t PaletteVersion = 5; // 3.0 with a 256-colour palette
constexpr uint8_t RunLength = 1;      // the only encoding
constexpr uint8_t PaletteMarker = 0x0C;
constexpr uint8_t RunFlag = 0xC0; // both top bits: a run
constexpr size_t LongestRun = 63;

// Pixel count of a width x height picture; 0 for an empty or negative size.
size_t PixelCount(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return size_t(width) * size_t(height);
}

// Whether `surface` can take width x height pixels of `bytesPerPixel` bytes.
bool Fits(const SDL_Surface* surface, int32_t width, int32_t height, int bytesPerPixel) {
    return SurfaceHolds(surface, std::max(width, 0), std::max(height, 0), 8 * bytesPerPixel);
}

// Row y of a locked surface as pixels of its depth.
template <typename Pixel> Pixel* Row(SDL_Surface* surface, int y);
template <> uint32_t* Row<uint32_t>(SDL_Surface* surface, int y) {
    return PixelRow(surface, y);
}
template <> uint8_t* Row<uint8_t>(SDL_Surface* surface, int y) {
    return static_cast<uint8_t*>(surface->pixels) + std::ptrdiff_t(y) * surface->pitch;
}

// The first `count` decoded pixels, row by row at the surface's own pitch, each
// through `convert`.
template <typename Pixel, typename Convert>
void StorePixels(SDL_Surface* surface, int32_t width, size_t count, Convert convert) {
    SDL_LockSurface(surface);
    for (size_t k = 0, y = 0; k < count; k += size_t(width), ++y) {
        Pixel* row = Row<Pixel>(surface, int(y));
        const size_t n = std::min(size_t(width), count - k);
        for (size_t x = 0; x < n; ++x)
            row[x] = convert(k + x);
    }
    SDL_UnlockSurface(surface);
}

// The header check and the run-length pass shared by both decoders: the
// indices of a width x height picture, or a result that says what is wrong.
PcxDecodeResult DecodeIndices(std::span<const uint8_t> file, std::vector<uint8_t>& indices,
                              int32_t width, int32_t height) {
    PcxDecodeResult result;
    result.fault = PcxHeaderFault(file, width, height);
    if (!result.fault.empty()) return result;
    indices.assign(PixelCount(width, height), 0);
    result = DecodePcxPixels(file, indices, width, height, int32_t(GetLe16(file, LineBytes)));
    if (!result.complete) result.fault = "is cut short: its picture data ends early";
    return result;
}

bool Load(const char* path, SDL_Surface* surface, int32_t width, int32_t height, int bytesPerPixel,
          PcxDecodeResult (*decode)(std::span<const uint8_t>, SDL_Surface*, int32_t, int32_t)) {
    if (!Fits(surface, width, height, bytesPerPixel))
        return SetError("no %dx%d surface of %d bits to load picture \"%s\" into", width, height,
                        8 * bytesPerPixel, path);
    std::vector<uint8_t> file;
    if (!ReadDataFile(path, "picture", PcxReadLimit, DataLimit::FirstBytes, file)) return false;
    const PcxDecodeResult result = decode(file, surface, width, height);
    if (!result.complete) return SetError("picture \"%s\" %s", path, result.fault.c_str());
    return true;
}

} // namespace

std::string PcxHeaderFault(std::span<const uint8_t> file, int32_t width, int32_t height) {
    if (file.empty()) return "is empty";
    if (file.size() >= 8 && std::memcmp(file.data(), "\x89PNG\r\n\x1A\n", 8) == 0)
        return "is a PNG picture, not a PCX one";
    if (file[Manufacturer] != ZSoft) return "is not a PCX picture";
    if (file.size() < PcxHeaderSize) return "is cut short inside its header";
    if (file[Encoding] != RunLength) return "is not run-length encoded";
    if (file[BitsPerPixel] != 8 || file[Planes] != 1)
        return "has " + std::to_string(file[Planes]) + " plane(s) of " +
               std::to_string(file[BitsPerPixel]) + " bits, not one plane of 8 bits";
    const int32_t fileWidth = int32_t(GetLe16(file, XMax)) - int32_t(GetLe16(file, XMin)) + 1;
    const int32_t fileHeight = int32_t(GetLe16(file, YMax)) - int32_t(GetLe16(file, YMin)) + 1;
    if (fileWidth != width || fileHeight != height)
        return "is " + std::to_string(fileWidth) + "x" + std::to_string(fileHeight) + ", not " +
               std::to_string(width) + "x" + std::to_string(height);
    const int32_t lineBytes = int32_t(GetLe16(file, LineBytes));
    if (lineBytes < width)
        return "stores rows of " + std::to_string(lineBytes) + " bytes for " +
               std::to_string(width) + " pixels";
    return {};
}

namespace {

// Where the run-length pass writes: the picture's columns, the stored row
// length (columns plus padding), the pixels wanted and how many are written.
struct PixelSink {
    std::span<uint8_t> out;
    size_t width, stored, total, write;
};

// Writes the `n` values that begin at column `count` of a row: the picture's
// columns, then the padding up to the stored row length (left out), then what a
// run carries past the row's end (it starts the next row's place, and that row
// still decodes a full row more). False where the picture ends.
bool PutRun(PixelSink& sink, size_t count, size_t n, uint8_t v) {
    const size_t end = count + n;
    const size_t shown = count < sink.width ? std::min(end, sink.width) - count : 0;
    const size_t carried = end > sink.stored ? end - std::max(count, sink.stored) : 0;
    for (size_t part : {shown, carried}) {
        const size_t fit = std::min(part, sink.total - sink.write);
        std::memset(sink.out.data() + sink.write, v, fit);
        sink.write += fit;
        if (fit < part) return false;
    }
    return true;
}

// Decodes one stored row from `pos`. False where the data breaks off or a run
// would pass the last pixel.
bool DecodeRow(std::span<const uint8_t> file, size_t& pos, PixelSink& sink) {
    for (size_t count = 0; count < sink.stored;) {
        if (pos >= file.size()) return false;
        const uint8_t b = file[pos];
        if (b < RunFlag) {
            if (!PutRun(sink, count, 1, b)) return false; // stops before the pixel
            ++pos;
            ++count;
            continue;
        }
        ++pos;
        if (pos >= file.size()) return false;
        const uint8_t v = file[pos++];
        const size_t n = b & LongestRun;
        if (!PutRun(sink, count, n, v)) return false;
        count += n;
    }
    return true;
}

} // namespace

PcxDecodeResult DecodePcxPixels(std::span<const uint8_t> file, std::span<uint8_t> out,
                                int32_t width, int32_t height, int32_t lineBytes) {
    file = file.first(std::min(file.size(), PcxReadLimit));
    PcxDecodeResult result;
    result.readPos = std::min(PcxHeaderSize, file.size());
    if (PixelCount(width, height) == 0) {
        result.complete = true;
        return result;
    }
    PixelSink sink{out, size_t(width), size_t(std::max(lineBytes, width)),
                   std::min(PixelCount(width, height), out.size()), 0};
    size_t pos = result.readPos;
    // Stops at the end of the picture, or where the data breaks off or a run
    // would pass the last pixel.
    for (int32_t y = 0; y < height; ++y)
        if (!DecodeRow(file, pos, sink)) break;
    result.readPos = pos;
    result.written = sink.write;
    result.complete = sink.write == PixelCount(width, height);
    return result;
}

PcxDecodeResult DecodePcx(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                          int32_t height) {
    if (!Fits(surface, width, height, 4)) return {};
    std::vector<uint8_t> indices;
    PcxDecodeResult result = DecodeIndices(file, indices, width, height);
    if (!result.fault.empty() && result.written == 0) return result;

    // The palette follows the one marker byte after the pixel data; entries
    // past the end of the file stay black.
    std::array<uint32_t, 256> palette{};
    const size_t start = std::min(result.readPos + 1, file.size());
    const size_t available = std::min(file.size() - start, PcxPaletteSize);
    for (size_t i = 0; i + 2 < available; i += 3)
        palette[i / 3] = uint32_t(file[start + i]) << 16 | uint32_t(file[start + i + 1]) << 8 |
                         uint32_t(file[start + i + 2]);
    if (result.complete && available < PcxPaletteSize) {
        result.complete = false;
        result.fault = "is cut short: its palette ends early";
    }

    StorePixels<uint32_t>(surface, width, result.written,
                          [&](size_t k) { return palette[indices[k]]; });
    return result;
}

PcxDecodeResult DecodePcxIndexed(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                                 int32_t height) {
    if (!Fits(surface, width, height, 1)) return {};
    std::vector<uint8_t> indices;
    PcxDecodeResult result = DecodeIndices(file, indices, width, height);
    StorePixels<uint8_t>(surface, width, result.written, [&](size_t k) { return indices[k]; });
    return result;
}

bool LoadPcx(const char* path, SDL_Surface* surface, int32_t width, int32_t height) {
    return Load(path, surface, width, height, 4, DecodePcx);
}

bool LoadPcxIndexed(const char* path, SDL_Surface* surface, int32_t width, int32_t height) {
    return Load(path, surface, width, height, 1, DecodePcxIndexed);
}

std::vector<uint8_t> PcxHeader(int32_t width, int32_t height) {
    std::vector<uint8_t> header(PcxHeaderSize, 0);
    header[Manufacturer] = ZSoft;
    header[Version] = PaletteVersion;
    header[Encoding] = RunLength;
    header[BitsPerPixel] = 8;
    PutLe16(header, XMin, 0);
    PutLe16(header, YMin, 0);
    PutLe16(header, XMax, uint32_t(width - 1));
    PutLe16(header, YMax, uint32_t(height - 1));
    PutLe16(header, Dpi, 72);
    PutLe16(header, Dpi + 2, 72);
    header[Planes] = 1;
    PutLe16(header, LineBytes, uint32_t(width));
    PutLe16(header, PaletteInfo, 1); // colour
    return header;
}

std::vector<uint8_t> EncodePcx(int32_t width, int32_t height, std::span<const uint8_t> indices,
                               std::span<const uint8_t> palette) {
    std::vector<uint8_t> out = PcxHeader(width, height);
    for (size_t y = 0; y < size_t(std::max(height, 0)); ++y) {
        const std::span<const uint8_t> row = indices.subspan(y * size_t(width), size_t(width));
        size_t x = 0;
        while (x < row.size()) {
            size_t run = 1;
            while (x + run < row.size() && run < LongestRun && row[x + run] == row[x])
                ++run;
            const uint8_t v = row[x];
            // A single pixel that looks like a run byte is stored as a run of one.
            if (run > 1 || v >= RunFlag) out.push_back(uint8_t(RunFlag | run));
            out.push_back(v);
            x += run;
        }
    }
    out.push_back(PaletteMarker);
    const size_t start = out.size();
    out.resize(start + PcxPaletteSize, 0);
    std::copy_n(palette.begin(), std::min(palette.size(), PcxPaletteSize),
                out.begin() + std::ptrdiff_t(start));
    return out;
}

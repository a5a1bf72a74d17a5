#include "image/Pcx.h"

#include "image/Surface.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t HeaderSize = 128;
constexpr size_t PaletteSize = 768;

// Pixel count of a width x height picture; 0 for an empty or negative size.
size_t PixelCount(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return size_t(width) * size_t(height);
}

// Whether `surface` can take width x height pixels of `bytesPerPixel` bytes.
bool Fits(const SDL_Surface* surface, int32_t width, int32_t height, int bytesPerPixel) {
    return SurfaceHolds(surface, std::max(width, 0), std::max(height, 0), 8 * bytesPerPixel);
}

// The first `count` decoded pixels, row by row at the surface's own pitch, each
// through `convert`.
template <typename Pixel, typename Convert>
void StorePixels(SDL_Surface* surface, int32_t width, size_t count, Convert convert) {
    SDL_LockSurface(surface);
    auto* rowStart = static_cast<uint8_t*>(surface->pixels);
    for (size_t k = 0; k < count; k += size_t(width), rowStart += surface->pitch) {
        auto* row = reinterpret_cast<Pixel*>(rowStart);
        size_t n = std::min(size_t(width), count - k);
        for (size_t x = 0; x < n; ++x)
            row[x] = convert(k + x);
    }
    SDL_UnlockSurface(surface);
}

// The file's first PcxReadLimit bytes, untranslated, in one read. A file that
// cannot be opened or read ends the program with a message naming it.
std::vector<uint8_t> ReadPicture(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "ekudemo: cannot open picture \"%s\": %s\n", path,
                     std::strerror(errno));
        std::exit(1);
    }
    std::vector<uint8_t> bytes(PcxReadLimit);
    size_t count = std::fread(bytes.data(), 1, bytes.size(), file);
    bool failed = std::ferror(file);
    int error = errno;
    std::fclose(file);
    if (failed) {
        std::fprintf(stderr, "ekudemo: cannot read picture \"%s\": %s\n", path,
                     std::strerror(error));
        std::exit(1);
    }
    bytes.resize(count);
    return bytes;
}

void RequireComplete(const char* path, const PcxDecodeResult& result) {
    if (result.complete) return;
    std::fprintf(stderr, "ekudemo: picture \"%s\" is damaged: its data ends early\n", path);
    std::exit(1);
}

void RequireSurface(const char* path, const SDL_Surface* surface, int32_t width, int32_t height,
                    int bytesPerPixel) {
    if (Fits(surface, width, height, bytesPerPixel)) return;
    std::fprintf(stderr, "ekudemo: no %dx%d surface to load picture \"%s\" into\n", width, height,
                 path);
    std::exit(1);
}

} // namespace

PcxDecodeResult DecodePcxPixels(std::span<const uint8_t> file, std::span<uint8_t> out,
                                int32_t width, int32_t height) {
    file = file.first(std::min(file.size(), PcxReadLimit));
    const size_t total = std::min(PixelCount(width, height), out.size());
    PcxDecodeResult result;
    result.readPos = HeaderSize;
    if (PixelCount(width, height) == 0) {
        result.complete = true;
        return result;
    }

    size_t pos = HeaderSize, write = 0;
    // Returns at the end of the picture, or where the data breaks off or a run
    // would pass the last pixel.
    auto decode = [&] {
        for (int32_t y = 0; y < height; ++y) {
            // A run may carry a row past the width; its extra pixels start the
            // next row's place, and that row still decodes a full width more.
            for (int32_t count = 0; count < width;) {
                if (pos >= file.size()) return;
                uint8_t b = file[pos];
                if (b < 0xC0) {
                    if (write == total) return;
                    out[write++] = b;
                    ++pos;
                    ++count;
                    continue;
                }
                ++pos;
                if (pos >= file.size()) return;
                uint8_t v = file[pos++];
                size_t n = b & 0x3F;
                size_t fit = std::min(n, total - write);
                std::memset(out.data() + write, v, fit);
                write += fit;
                if (fit < n) return;
                count += int32_t(n);
            }
        }
    };
    decode();
    result.readPos = pos;
    result.written = write;
    result.complete = write == PixelCount(width, height);
    return result;
}

PcxDecodeResult DecodePcx(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                          int32_t height) {
    if (!Fits(surface, width, height, 4)) return {};
    std::vector<uint8_t> indices(PixelCount(width, height));
    PcxDecodeResult result = DecodePcxPixels(file, indices, width, height);

    // The palette follows the one marker byte after the pixel data; entries
    // past the end of the file stay black.
    std::array<uint32_t, 256> palette{};
    size_t start = std::min(result.readPos + 1, file.size());
    size_t available = std::min(file.size() - start, PaletteSize);
    for (size_t i = 0; i + 2 < available; i += 3)
        palette[i / 3] = uint32_t(file[start + i]) << 16 | uint32_t(file[start + i + 1]) << 8 |
                         uint32_t(file[start + i + 2]);
    result.complete = result.complete && available == PaletteSize;

    StorePixels<uint32_t>(surface, width, result.written,
                          [&](size_t k) { return palette[indices[k]]; });
    return result;
}

PcxDecodeResult DecodePcxIndexed(std::span<const uint8_t> file, SDL_Surface* surface, int32_t width,
                                 int32_t height) {
    if (!Fits(surface, width, height, 1)) return {};
    std::vector<uint8_t> indices(PixelCount(width, height));
    PcxDecodeResult result = DecodePcxPixels(file, indices, width, height);
    StorePixels<uint8_t>(surface, width, result.written, [&](size_t k) { return indices[k]; });
    return result;
}

void LoadPcx(const char* path, SDL_Surface* surface, int32_t width, int32_t height) {
    RequireSurface(path, surface, width, height, 4);
    std::vector<uint8_t> file = ReadPicture(path);
    RequireComplete(path, DecodePcx(file, surface, width, height));
}

void LoadPcxIndexed(const char* path, SDL_Surface* surface, int32_t width, int32_t height) {
    RequireSurface(path, surface, width, height, 1);
    std::vector<uint8_t> file = ReadPicture(path);
    RequireComplete(path, DecodePcxIndexed(file, surface, width, height));
}

#include "capture/Capture.h"

#include "common/ByteOrder.h"
#include "common/Error.h"
#include "image/Surface.h"
#include "output/OutputFile.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace {

// The surface's pixel words, row by row, without its row padding.
std::vector<uint32_t> PackedPixels(SDL_Surface* surface) {
    std::vector<uint32_t> words(size_t(surface->w) * size_t(surface->h));
    if (SDL_LockSurface(surface) != 0) return {};
    for (int y = 0; y < surface->h; ++y)
        std::memcpy(&words[size_t(y) * size_t(surface->w)], PixelRow(surface, y),
                    size_t(surface->w) * 4);
    SDL_UnlockSurface(surface);
    return words;
}

bool WriteRaw(const std::vector<uint32_t>& words, OutputFile& file) {
    std::vector<uint8_t> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        PutLe32(bytes, 4 * i, words[i]);
    return WriteOutput(file, bytes.data(), bytes.size());
}

bool WritePng(const std::vector<uint32_t>& words, int width, int height, OutputFile& file) {
    std::vector<uint8_t> rgb(words.size() * 3);
    for (size_t i = 0; i < words.size(); ++i) {
        rgb[i * 3 + 0] = uint8_t(words[i] >> 16);
        rgb[i * 3 + 1] = uint8_t(words[i] >> 8);
        rgb[i * 3 + 2] = uint8_t(words[i]);
    }
    // The simplified interface reports errors as results, without longjmp.
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    // Made in memory: the first call measures, the second writes.
    png_alloc_size_t size = 0;
    std::vector<uint8_t> png;
    bool made =
        png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), width * 3, nullptr);
    if (made) {
        png.resize(size);
        made =
            png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), width * 3, nullptr);
    }
    if (!made) {
        SetError("cannot make the PNG: %s", image.message);
        png_image_free(&image);
        return false;
    }
    return WriteOutput(file, png.data(), size);
}

} // namespace

bool SaveFrame(SDL_Surface* surface, bool raw, OutputFile& file) {
    if (!surface || !surface->format || surface->format->BitsPerPixel != 32 || surface->w <= 0 ||
        surface->h <= 0)
        return SetError("only 32-bit frames can be written");
    std::vector<uint32_t> words = PackedPixels(surface);
    if (words.empty()) return SetError("cannot read the frame: %s", SDL_GetError());
    const bool written =
        raw ? WriteRaw(words, file) : WritePng(words, surface->w, surface->h, file);
    return written && CommitOutput(file);
}

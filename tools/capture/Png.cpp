#include "capture/Capture.h"

#include "image/Surface.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

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

bool WriteRaw(const std::vector<uint32_t>& words, const char* path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "wb"));
    if (!file) {
        std::fprintf(stderr, "ekudemo-capture: cannot write %s: %s\n", path, std::strerror(errno));
        return false;
    }
    std::vector<uint8_t> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        for (int b = 0; b < 4; ++b)
            bytes[i * 4 + size_t(b)] = uint8_t(words[i] >> (8 * b));
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fclose(file.release()) != 0) {
        std::fprintf(stderr, "ekudemo-capture: cannot write %s\n", path);
        return false;
    }
    return true;
}

bool WritePng(const std::vector<uint32_t>& words, int width, int height, const char* path) {
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
    if (!png_image_write_to_file(&image, path, 0, rgb.data(), width * 3, nullptr)) {
        std::fprintf(stderr, "ekudemo-capture: cannot write %s: %s\n", path, image.message);
        png_image_free(&image);
        return false;
    }
    return true;
}

} // namespace

bool WriteFrame(SDL_Surface* surface, bool raw, const char* path) {
    if (!surface || !surface->format || surface->format->BitsPerPixel != 32 || surface->w <= 0 ||
        surface->h <= 0) {
        std::fprintf(stderr, "ekudemo-capture: only 32-bit frames can be written\n");
        return false;
    }
    std::vector<uint32_t> words = PackedPixels(surface);
    if (words.empty()) {
        std::fprintf(stderr, "ekudemo-capture: cannot read the frame: %s\n", SDL_GetError());
        return false;
    }
    return raw ? WriteRaw(words, path) : WritePng(words, surface->w, surface->h, path);
}

#include "Icon.h"

#include "Pictures.h"

#include <array>
#include <string_view>

namespace {

constexpr int IconSize = 64;
constexpr int Shrink = 3;             // each icon pixel is the mean of 3x3 picture pixels
constexpr int CakeX = 64, CakeY = 42; // the cake's corner in the end picture
constexpr int CakeRows = 48;          // icon rows the cake fills, centred

constexpr std::array<uint32_t, 256> CrcTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

void Be32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

// One PNG chunk: length, type, data, CRC of type and data.
void Chunk(std::vector<uint8_t>& png, std::string_view type, const std::vector<uint8_t>& data) {
    Be32(png, uint32_t(data.size()));
    const size_t from = png.size();
    png.insert(png.end(), type.begin(), type.end());
    png.insert(png.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < png.size(); ++i)
        crc = CrcTable[(crc ^ png[i]) & 0xFF] ^ (crc >> 8);
    Be32(png, crc ^ 0xFFFFFFFFu);
}

// A zlib stream of stored (uncompressed) deflate blocks: a few kilobytes
// more than compressed, and no compressor to carry.
std::vector<uint8_t> Stored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(raw.size() - at, 65535);
        z.push_back(at + length == raw.size() ? 1 : 0); // last block?
        z.push_back(uint8_t(length));
        z.push_back(uint8_t(length >> 8));
        z.push_back(uint8_t(~length));
        z.push_back(uint8_t(~length >> 8));
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + length));
        at += length;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Be32(z, b << 16 | a);
    return z;
}

} // namespace

std::vector<uint8_t> DrawIcon() {
    const Canvas cake = DrawCake();
    // Rows of filter byte 0 and RGBA pixels; transparent above and below the cake.
    std::vector<uint8_t> raw;
    const int top = (IconSize - CakeRows) / 2;
    for (int y = 0; y < IconSize; ++y) {
        raw.push_back(0);
        for (int x = 0; x < IconSize; ++x) {
            std::array<int, 3> sum{};
            const bool inside = y >= top && y < top + CakeRows;
            for (int dy = 0; inside && dy < Shrink; ++dy)
                for (int dx = 0; dx < Shrink; ++dx) {
                    const Rgb c = cake.palette[Peek(cake, CakeX + x * Shrink + dx,
                                                    CakeY + (y - top) * Shrink + dy)];
                    sum[0] += c.r, sum[1] += c.g, sum[2] += c.b;
                }
            for (int s : sum)
                raw.push_back(uint8_t(s / (Shrink * Shrink)));
            raw.push_back(inside ? 255 : 0);
        }
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Be32(header, IconSize);
    Be32(header, IconSize);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", Stored(raw));
    Chunk(png, "IEND", {});
    return png;
}

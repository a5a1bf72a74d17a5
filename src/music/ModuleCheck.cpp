#include "music/ModuleCheck.h"

#include "common/ByteOrder.h"
#include "music/S3mLayout.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

bool S3mIsWhole(std::span<const uint8_t> b) {
    const uint64_t size = b.size();
    if (size < S3m::HeaderSize) return false;
    const size_t insPointers = S3m::InstrumentPointers(b);
    const size_t patPointers = S3m::PatternPointers(b);
    const size_t patterns = GetLe16(b, S3m::PatternCount);
    if (patPointers + 2 * patterns > size) return false;
    for (size_t p = insPointers; p < patPointers; p += 2) {
        const uint64_t at = S3m::ParagraphAt(b, p);
        if (at == 0) continue; // no instrument
        if (at + S3m::InstrumentSize > size) return false;
        if (b[at] != S3m::SampleInstrument) continue;
        const uint64_t length = S3m::SampleBytes(b, at);
        if (length > 0 && S3m::SampleData(b, at) + length > size) return false;
    }
    for (size_t p = 0; p < patterns; ++p) {
        const uint64_t at = S3m::ParagraphAt(b, patPointers + 2 * p);
        if (at == 0) continue;                                         // an empty pattern
        if (at + 2 > size || at + GetLe16(b, at) > size) return false; // the length counts itself
    }
    return true;
}

// Channels of a 31-sample MOD from its signature at 1080; 0 for one not known.
int ModChannels(std::span<const uint8_t> b) {
    const std::string tag(reinterpret_cast<const char*>(b.data() + 1080), 4);
    for (const char* four : {"M.K.", "M!K!", "M&K!", "FLT4", "NSMS", "LARD", "PATT", "EXO4"})
        if (tag == four) return 4;
    for (const char* eight : {"FLT8", "OKTA", "OCTA", "CD81", "EXO8"})
        if (tag == eight) return 8;
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : -1; };
    if (tag.substr(1) == "CHN" && digit(tag[0]) > 0) return digit(tag[0]);
    if ((tag.substr(2) == "CH" || tag.substr(2) == "CN") && digit(tag[0]) >= 0 &&
        digit(tag[1]) >= 0)
        return 10 * digit(tag[0]) + digit(tag[1]);
    if (tag.substr(0, 3) == "TDZ" && digit(tag[3]) > 0) return digit(tag[3]);
    return 0;
}

// 31 sample headers of 30 bytes, the order list, the signature, then the
// patterns (64 rows of 4-byte cells) and the samples' data. Every pattern the
// song plays must be there; patterns stored past those are not counted.
bool ModIsWhole(std::span<const uint8_t> b) {
    constexpr size_t Samples = 20, SampleHeader = 30, SongLength = 950, Orders = 952,
                     PatternData = 1084;
    if (b.size() < PatternData) return true; // no signature to go by: libopenmpt judges
    const int channels = ModChannels(b);
    if (channels == 0) return true;
    const size_t length = std::min<size_t>(b[SongLength], 128);
    size_t patterns = 0;
    for (size_t o = 0; o < length; ++o)
        patterns = std::max<size_t>(patterns, b[Orders + o] + 1u);
    uint64_t end = PatternData + uint64_t(patterns) * 64 * size_t(channels) * 4;
    for (size_t s = 0; s < 31; ++s)
        end += 2 * uint64_t(GetBe16(b, Samples + s * SampleHeader + 22));
    return end <= b.size();
}

// Moves `pos` past an XM instrument's `samples` sample headers, each
// `sampleHeader` bytes long, and past their data, which follows them all.
// False when a sample header lies past the end of the file.
bool SkipXmSamples(std::span<const uint8_t> b, uint64_t& pos, size_t samples,
                   uint64_t sampleHeader) {
    uint64_t data = 0;
    for (size_t s = 0; s < samples; ++s, pos += sampleHeader) {
        if (pos + 40 > b.size()) return false;
        uint64_t length = GetLe32(b, pos);
        if (b[pos + 17] == 0xAD && !(b[pos + 14] & 0x10)) length = 16 + (length + 1) / 2;
        data += length;
    }
    pos += data;
    return true;
}

// The header (its size given at 60), the patterns (each a header of its own
// size and packed data), then each instrument: its header, its sample
// headers and its samples' data.
bool XmIsWhole(std::span<const uint8_t> b) {
    constexpr size_t Version = 58, HeaderSizeAt = 60, Patterns = 70, Instruments = 72;
    if (b.size() < Instruments + 2) return false;
    if (GetLe16(b, Version) != 0x0104) return true; // an older layout
    const uint64_t size = b.size();
    uint64_t pos = HeaderSizeAt + uint64_t(GetLe32(b, HeaderSizeAt));
    const size_t patterns = GetLe16(b, Patterns), instruments = GetLe16(b, Instruments);
    for (size_t p = 0; p < patterns; ++p) {
        if (pos + 9 > size) return false;
        pos += uint64_t(GetLe32(b, pos)) + GetLe16(b, pos + 7);
    }
    for (size_t i = 0; i < instruments; ++i) {
        if (pos + 29 > size) return false;
        const uint64_t headerSize = GetLe32(b, pos);
        const size_t samples = GetLe16(b, pos + 27);
        if (samples == 0) {
            pos += headerSize;
            continue;
        }
        if (pos + 33 > size) return false;
        const uint64_t sampleHeader = GetLe32(b, pos + 29);
        if (headerSize < 33 || sampleHeader < 40) return true; // a layout of its own
        pos += headerSize;
        if (!SkipXmSamples(b, pos, samples, sampleHeader)) return false;
    }
    return pos <= size;
}

// Whether an IT sample's compressed data, blocks of a 16-bit length and the
// packed bytes, lies inside the file from `pos`.
bool ItPackedIsWhole(std::span<const uint8_t> b, uint64_t pos, uint64_t length, bool wide,
                     bool stereo) {
    const uint64_t size = b.size();
    const uint64_t perBlock = wide ? 0x4000 : 0x8000;
    const uint64_t blocks = (length + perBlock - 1) / perBlock * (stereo ? 2 : 1);
    for (uint64_t k = 0; k < blocks; ++k) {
        if (pos + 2 > size) return false;
        pos += 2 + GetLe16(b, pos);
    }
    return pos <= size;
}

// Whether the IT sample header at `at` and the data it points to lie inside
// the file; a sample without data needs only its header.
bool ItSampleIsWhole(std::span<const uint8_t> b, uint64_t at) {
    constexpr size_t SampleSize = 0x50;
    const uint64_t size = b.size();
    if (at + SampleSize > size) return false;
    const uint8_t flags = b[at + 0x12];
    const uint64_t length = GetLe32(b, at + 0x30);
    if (!(flags & 1) || length == 0) return true;
    const uint64_t pos = GetLe32(b, at + 0x48);
    const bool wide = flags & 2, stereo = flags & 4;
    if (flags & 8) return ItPackedIsWhole(b, pos, length, wide, stereo);
    if (b[at + 0x2E] == 0xFF && !wide)
        return pos + 16 + (length + 1) / 2 <= size; // ModPlug's ADPCM
    return pos + length * (wide ? 2 : 1) * (stereo ? 2 : 1) <= size;
}

// Whether the IT pattern at `at`, a header that gives the length of the
// packed data after it, lies inside the file.
bool ItPatternIsWhole(std::span<const uint8_t> b, uint64_t at) {
    constexpr size_t PatternHeader = 8;
    return at + PatternHeader <= b.size() && at + PatternHeader + GetLe16(b, at) <= b.size();
}

// The header, the order list and the offsets of instruments, samples and
// patterns; each of those where its offset says, and each sample's data.
bool ItIsWhole(std::span<const uint8_t> b) {
    constexpr size_t Lists = 0xC0, InstrumentSize = 554;
    const uint64_t size = b.size();
    if (size < Lists) return false;
    const size_t orders = GetLe16(b, 0x20), instruments = GetLe16(b, 0x22),
                 samples = GetLe16(b, 0x24), patterns = GetLe16(b, 0x26);
    const size_t offsets = Lists + orders;
    if (offsets + 4 * (instruments + samples + patterns) > size) return false;
    if ((GetLe16(b, 0x2E) & 1) && uint64_t(GetLe32(b, 0x38)) + GetLe16(b, 0x36) > size)
        return false; // the song message
    for (size_t i = 0; i < instruments + samples + patterns; ++i) {
        const uint64_t at = GetLe32(b, offsets + 4 * i);
        if (at == 0) continue;
        if (i < instruments) {
            if (at + InstrumentSize > size) return false;
        } else if (i < instruments + samples) {
            if (!ItSampleIsWhole(b, at)) return false;
        } else if (!ItPatternIsWhole(b, at)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool ModuleIsWhole(std::span<const uint8_t> file, std::string_view type) {
    if (type == "s3m") return S3mIsWhole(file);
    if (type == "mod") return ModIsWhole(file);
    if (type == "xm") return XmIsWhole(file);
    if (type == "it") return ItIsWhole(file);
    return true;
}

#include "s3m/S3mWriter.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr size_t HeaderSize = 0x60;
constexpr size_t InstrumentSize = 0x50;
constexpr uint16_t TrackerVersion = 0x1320; // Scream Tracker 3.20
constexpr uint16_t UnsignedSamples = 2;
constexpr uint8_t PanTablePresent = 252;

void Fail(const std::string& what) {
    throw std::invalid_argument("S3M: " + what);
}

void Put8(std::vector<uint8_t>& out, size_t at, uint8_t v) {
    out[at] = v;
}
void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}
void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t field) {
    // One byte is kept for the terminating zero.
    const size_t n = std::min(text.size(), field - 1);
    std::copy_n(text.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(at));
}

// Pads to the next paragraph and returns its number.
uint32_t AlignToParagraph(std::vector<uint8_t>& out) {
    out.resize((out.size() + 15) / 16 * 16, 0);
    if (out.size() / 16 > 0xFFFFFF) Fail("module too large for paragraph pointers");
    return static_cast<uint32_t>(out.size() / 16);
}

void Check(const S3mModule& m) {
    if (m.channels < 1 || m.channels > S3mMaxChannels)
        Fail("channels must be 1.." + std::to_string(S3mMaxChannels));
    if (m.patterns.size() > S3mMaxPatterns)
        Fail("more than " + std::to_string(S3mMaxPatterns) + " patterns");
    if (m.samples.size() > S3mMaxSamples)
        Fail("more than " + std::to_string(S3mMaxSamples) + " samples");
    if (m.orders.size() > S3mMaxOrders)
        Fail("more than " + std::to_string(S3mMaxOrders) + " orders");
    if (m.globalVolume > 64) Fail("global volume above 64");
    for (size_t i = 0; i < m.orders.size(); ++i) {
        const uint8_t p = m.orders[i];
        if (p != 254 && p >= m.patterns.size())
            Fail("order " + std::to_string(i) + " names missing pattern " + std::to_string(p));
    }
    for (const S3mSample& s : m.samples) {
        if (s.data.size() > 0xFFFFFF) Fail("sample '" + s.name + "' too long");
        if (s.volume > 64) Fail("sample '" + s.name + "' volume above 64");
        if (s.loop && !(s.loopStart < s.loopEnd && s.loopEnd <= s.data.size()))
            Fail("sample '" + s.name + "' loop outside its data");
    }
    for (size_t p = 0; p < m.patterns.size(); ++p)
        for (int r = 0; r < S3mRows; ++r)
            for (int c = 0; c < m.channels; ++c) {
                const S3mCell& cell = m.patterns[p].rows[r][c];
                const std::string where = "pattern " + std::to_string(p) + " row " +
                                          std::to_string(r) + " channel " + std::to_string(c);
                if (cell.note < S3mNoteOff && ((cell.note & 15) > 11 || (cell.note >> 4) > 9))
                    Fail(where + ": bad note");
                if (cell.instrument > m.samples.size())
                    Fail(where + ": missing sample " + std::to_string(cell.instrument));
                if (cell.volume > 64 && cell.volume != S3mNoVolume)
                    Fail(where + ": volume above 64");
                if (cell.command > 26) Fail(where + ": bad command");
            }
}

void WritePattern(std::vector<uint8_t>& out, const S3mPattern& pattern, int channels) {
    const size_t start = out.size();
    out.resize(start + 2); // packed length, written last
    for (const auto& row : pattern.rows) {
        for (int c = 0; c < channels; ++c) {
            const S3mCell& cell = row[c];
            uint8_t what = static_cast<uint8_t>(c);
            const bool noteOrInstrument = cell.note != S3mNoNote || cell.instrument != 0;
            const bool volume = cell.volume != S3mNoVolume;
            const bool command = cell.command != 0 || cell.info != 0;
            if (noteOrInstrument) what |= 0x20;
            if (volume) what |= 0x40;
            if (command) what |= 0x80;
            if (what == c) continue; // an empty cell is not stored
            out.push_back(what);
            if (noteOrInstrument) {
                out.push_back(cell.note);
                out.push_back(cell.instrument);
            }
            if (volume) out.push_back(cell.volume);
            if (command) {
                out.push_back(cell.command);
                out.push_back(cell.info);
            }
        }
        out.push_back(0); // end of row
    }
    Put16(out, start, static_cast<uint32_t>(out.size() - start));
}

} // namespace

std::vector<uint8_t> WriteS3m(const S3mModule& m) {
    Check(m);
    // The order list ends with 255 and has an even length.
    std::vector<uint8_t> orders = m.orders;
    orders.push_back(255);
    if (orders.size() % 2 != 0) orders.push_back(255);

    const size_t insCount = m.samples.size();
    const size_t patCount = m.patterns.size();
    std::vector<uint8_t> out(HeaderSize, 0);
    PutText(out, 0x00, m.title, 28);
    Put8(out, 0x1C, 0x1A);
    Put8(out, 0x1D, 16); // S3M module
    Put16(out, 0x20, static_cast<uint32_t>(orders.size()));
    Put16(out, 0x22, static_cast<uint32_t>(insCount));
    Put16(out, 0x24, static_cast<uint32_t>(patCount));
    Put16(out, 0x28, TrackerVersion);
    Put16(out, 0x2A, UnsignedSamples);
    std::copy_n("SCRM", 4, out.begin() + 0x2C);
    Put8(out, 0x30, m.globalVolume);
    Put8(out, 0x31, m.initialSpeed);
    Put8(out, 0x32, m.initialTempo);
    Put8(out, 0x33, m.masterVolume);
    Put8(out, 0x35, PanTablePresent);
    for (int c = 0; c < 32; ++c) {
        // Alternate left and right sample channels; the pan table below gives
        // the real position. 255 marks an unused channel.
        uint8_t setting = 255;
        if (c < m.channels) setting = static_cast<uint8_t>(c % 2 == 0 ? c / 2 : 8 + c / 2);
        Put8(out, 0x40 + static_cast<size_t>(c), setting);
    }
    out.insert(out.end(), orders.begin(), orders.end());
    const size_t insPointers = out.size();
    out.resize(out.size() + 2 * insCount, 0);
    const size_t patPointers = out.size();
    out.resize(out.size() + 2 * patCount, 0);
    for (int c = 0; c < 32; ++c) {
        const bool used = c < m.channels;
        out.push_back(
            used ? static_cast<uint8_t>(0x20 | (m.channelPan[static_cast<size_t>(c)] & 15)) : 0);
    }

    // Instrument headers; their sample pointers are filled in with the data.
    std::vector<size_t> instrumentAt(insCount);
    for (size_t i = 0; i < insCount; ++i) {
        const uint32_t paragraph = AlignToParagraph(out);
        if (paragraph > 0xFFFF) Fail("header part too large");
        Put16(out, insPointers + 2 * i, paragraph);
        instrumentAt[i] = out.size();
        out.resize(out.size() + InstrumentSize, 0);
        const S3mSample& s = m.samples[i];
        const size_t at = instrumentAt[i];
        Put8(out, at, 1); // sample instrument
        Put32(out, at + 0x10, static_cast<uint32_t>(s.data.size()));
        Put32(out, at + 0x14, s.loop ? s.loopStart : 0);
        Put32(out, at + 0x18, s.loop ? s.loopEnd : 0);
        Put8(out, at + 0x1C, s.volume);
        Put8(out, at + 0x1F, s.loop ? 1 : 0);
        Put32(out, at + 0x20, s.c2spd);
        PutText(out, at + 0x30, s.name, 28);
        std::copy_n("SCRS", 4, out.begin() + static_cast<std::ptrdiff_t>(at + 0x4C));
    }
    for (size_t p = 0; p < patCount; ++p) {
        const uint32_t paragraph = AlignToParagraph(out);
        if (paragraph > 0xFFFF) Fail("patterns too large");
        Put16(out, patPointers + 2 * p, paragraph);
        WritePattern(out, m.patterns[p], m.channels);
    }
    for (size_t i = 0; i < insCount; ++i) {
        const uint32_t paragraph = AlignToParagraph(out);
        const size_t at = instrumentAt[i];
        Put8(out, at + 0x0D, static_cast<uint8_t>(paragraph >> 16));
        Put16(out, at + 0x0E, paragraph & 0xFFFF);
        for (int8_t v : m.samples[i].data)
            out.push_back(static_cast<uint8_t>(v) ^ 0x80); // stored unsigned
    }
    AlignToParagraph(out);
    return out;
}

S3mModule MakeTestModuleDescription(int orders, int speed, int tempo) {
    if (orders < 1 || orders > S3mMaxOrders || speed < 1 || speed > 255 || tempo < 33 ||
        tempo > 255)
        Fail("test module needs 1.." + std::to_string(S3mMaxOrders) +
             " orders, speed 1..255, tempo 33..255");
    S3mModule m;
    m.title = "test " + std::to_string(orders) + " orders";
    m.channels = 1;
    m.channelPan[0] = 8;
    m.initialSpeed = static_cast<uint8_t>(speed);
    m.initialTempo = static_cast<uint8_t>(tempo);

    S3mSample square;
    square.name = "square";
    constexpr int Period = 32; // 261 Hz at middle C
    for (int i = 0; i < 8 * Period; ++i)
        square.data.push_back(static_cast<int8_t>(i % Period < Period / 2 ? 48 : -48));
    square.loop = true;
    square.loopStart = 0;
    square.loopEnd = static_cast<uint32_t>(square.data.size());
    m.samples.push_back(square);

    const int patterns = std::min(orders, S3mMaxPatterns);
    for (int p = 0; p < patterns; ++p) {
        S3mPattern pattern;
        for (auto& row : pattern.rows) {
            row[0].note = S3mNote(4 + (p / 12) % 3, p % 12);
            row[0].instrument = 1;
            row[0].volume = 48;
        }
        m.patterns.push_back(pattern);
    }
    for (int o = 0; o < orders; ++o)
        m.orders.push_back(static_cast<uint8_t>(o % patterns));
    return m;
}

std::vector<uint8_t> MakeTestModule(int orders, int speed, int tempo) {
    return WriteS3m(MakeTestModuleDescription(orders, speed, tempo));
}

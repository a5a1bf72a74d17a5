#include "s3m/S3mWriter.h"

#include "common/ByteOrder.h"
#include "common/Error.h"
#include "music/S3mLayout.h"

#include <algorithm>
#include <string>

namespace {

constexpr uint16_t TrackerVersion = 0x1320; // Scream Tracker 3.20
constexpr uint16_t UnsignedSamples = 2;

// Records what cannot be written; false.
bool Refuse(const std::string& what) {
    return SetError("S3M: %s", what.c_str());
}

void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t field) {
    // One byte is kept for the terminating zero.
    const size_t n = std::min(text.size(), field - 1);
    std::copy_n(text.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(at));
}

// Pads to the next paragraph and returns its number.
uint64_t AlignToParagraph(std::vector<uint8_t>& out) {
    out.resize((out.size() + S3m::ParagraphSize - 1) / S3m::ParagraphSize * S3m::ParagraphSize, 0);
    return out.size() / S3m::ParagraphSize;
}

// Sizes and counts the format can hold.
bool CheckLimits(const S3mModule& m) {
    if (m.channels < 1 || m.channels > S3mMaxChannels)
        return Refuse("channels must be 1.." + std::to_string(S3mMaxChannels));
    if (m.patterns.size() > S3mMaxPatterns)
        return Refuse("more than " + std::to_string(S3mMaxPatterns) + " patterns");
    if (m.samples.size() > S3mMaxSamples)
        return Refuse("more than " + std::to_string(S3mMaxSamples) + " samples");
    if (m.orders.size() > S3mMaxOrders)
        return Refuse("more than " + std::to_string(S3mMaxOrders) + " orders");
    if (m.globalVolume > 64) return Refuse("global volume above 64");
    return true;
}

bool CheckOrders(const S3mModule& m) {
    for (size_t i = 0; i < m.orders.size(); ++i) {
        const uint8_t p = m.orders[i];
        if (p != S3m::OrderSkip && p >= m.patterns.size())
            return Refuse("order " + std::to_string(i) + " names missing pattern " +
                          std::to_string(p));
    }
    return true;
}

bool CheckSamples(const S3mModule& m) {
    for (const S3mSample& s : m.samples) {
        if (s.data.size() > 0xFFFFFF) return Refuse("sample '" + s.name + "' too long");
        if (s.volume > 64) return Refuse("sample '" + s.name + "' volume above 64");
        if (s.loop && !(s.loopStart < s.loopEnd && s.loopEnd <= s.data.size()))
            return Refuse("sample '" + s.name + "' loop outside its data");
    }
    return true;
}

bool CheckCell(const S3mModule& m, size_t p, int r, int c) {
    const S3mCell& cell = m.patterns[p].rows[r][c];
    const std::string where = "pattern " + std::to_string(p) + " row " + std::to_string(r) +
                              " channel " + std::to_string(c);
    if (cell.note < S3mNoteOff && ((cell.note & 15) > 11 || (cell.note >> 4) > 9))
        return Refuse(where + ": bad note");
    if (cell.instrument > m.samples.size())
        return Refuse(where + ": missing sample " + std::to_string(cell.instrument));
    if (cell.volume > 64 && cell.volume != S3mNoVolume) return Refuse(where + ": volume above 64");
    if (cell.command > 26) return Refuse(where + ": bad command");
    return true;
}

bool CheckPatterns(const S3mModule& m) {
    for (size_t p = 0; p < m.patterns.size(); ++p)
        for (int r = 0; r < S3mRows; ++r)
            for (int c = 0; c < m.channels; ++c)
                if (!CheckCell(m, p, r, c)) return false;
    return true;
}

// The first fault found, in this order, is the one recorded.
bool Check(const S3mModule& m) {
    return CheckLimits(m) && CheckOrders(m) && CheckSamples(m) && CheckPatterns(m);
}

// Packs one cell; an empty cell is not stored.
void WriteCell(std::vector<uint8_t>& out, const S3mCell& cell, int c) {
    uint8_t what = static_cast<uint8_t>(c);
    const bool noteOrInstrument = cell.note != S3mNoNote || cell.instrument != 0;
    const bool volume = cell.volume != S3mNoVolume;
    const bool command = cell.command != 0 || cell.info != 0;
    if (noteOrInstrument) what |= S3m::CellNoteInstrument;
    if (volume) what |= S3m::CellVolume;
    if (command) what |= S3m::CellCommand;
    if (what == c) return;
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

void WritePattern(std::vector<uint8_t>& out, const S3mPattern& pattern, int channels) {
    const size_t start = out.size();
    out.resize(start + 2); // packed length, written last
    for (const auto& row : pattern.rows) {
        for (int c = 0; c < channels; ++c)
            WriteCell(out, row[c], c);
        out.push_back(0); // end of row
    }
    PutLe16(out, start, static_cast<uint32_t>(out.size() - start));
}

// Where the header's pointer tables start, to be filled in as parts are laid.
struct PointerTables {
    size_t instruments;
    size_t patterns;
};

// The fixed header, order list, empty pointer tables and pan table.
PointerTables WriteHeader(std::vector<uint8_t>& out, const S3mModule& m) {
    // The order list ends with 255 and has an even length.
    std::vector<uint8_t> orders = m.orders;
    orders.push_back(S3m::OrderEnd);
    if (orders.size() % 2 != 0) orders.push_back(S3m::OrderEnd);

    const size_t insCount = m.samples.size();
    const size_t patCount = m.patterns.size();
    out.assign(S3m::HeaderSize, 0);
    PutText(out, S3m::Title, m.title, S3m::TitleSize);
    out[S3m::EndOfText] = S3m::TextEnd;
    out[S3m::FileType] = S3m::ModuleType;
    PutLe16(out, S3m::OrderCount, static_cast<uint32_t>(orders.size()));
    PutLe16(out, S3m::InstrumentCount, static_cast<uint32_t>(insCount));
    PutLe16(out, S3m::PatternCount, static_cast<uint32_t>(patCount));
    PutLe16(out, S3m::TrackerVersion, TrackerVersion);
    PutLe16(out, S3m::SampleFormat, UnsignedSamples);
    std::copy_n("SCRM", 4, out.begin() + S3m::Signature);
    out[S3m::GlobalVolume] = m.globalVolume;
    out[S3m::InitialSpeed] = m.initialSpeed;
    out[S3m::InitialTempo] = m.initialTempo;
    out[S3m::MasterVolume] = m.masterVolume;
    out[S3m::DefaultPan] = S3m::PanTablePresent;
    for (int c = 0; c < int(S3m::ChannelCount); ++c) {
        // Alternate left and right sample channels; the pan table below gives
        // the real position. 255 marks an unused channel.
        uint8_t setting = 255;
        if (c < m.channels) setting = static_cast<uint8_t>(c % 2 == 0 ? c / 2 : 8 + c / 2);
        out[S3m::ChannelSettings + static_cast<size_t>(c)] = setting;
    }
    out.insert(out.end(), orders.begin(), orders.end());
    PointerTables tables{};
    tables.instruments = out.size();
    out.resize(out.size() + 2 * insCount, 0);
    tables.patterns = out.size();
    out.resize(out.size() + 2 * patCount, 0);
    for (int c = 0; c < int(S3m::ChannelCount); ++c) {
        const bool used = c < m.channels;
        out.push_back(
            used ? static_cast<uint8_t>(0x20 | (m.channelPan[static_cast<size_t>(c)] & 15)) : 0);
    }
    return tables;
}

void WriteInstrument(std::vector<uint8_t>& out, size_t at, const S3mSample& s) {
    out[at + S3m::InsType] = S3m::SampleInstrument;
    PutLe32(out, at + S3m::InsLength, static_cast<uint32_t>(s.data.size()));
    PutLe32(out, at + S3m::InsLoopStart, s.loop ? s.loopStart : 0);
    PutLe32(out, at + S3m::InsLoopEnd, s.loop ? s.loopEnd : 0);
    out[at + S3m::InsVolume] = s.volume;
    out[at + S3m::InsFlags] = s.loop ? S3m::FlagLoop : 0;
    PutLe32(out, at + S3m::InsC2Spd, s.c2spd);
    PutText(out, at + S3m::InsName, s.name, S3m::InsNameSize);
    std::copy_n("SCRS", 4, out.begin() + static_cast<std::ptrdiff_t>(at + S3m::InsSignature));
}

// Instrument headers; their sample pointers are filled in with the data.
// Records where each header starts; false when they outgrow 16-bit pointers.
bool WriteInstruments(std::vector<uint8_t>& out, const S3mModule& m, size_t insPointers,
                      std::vector<size_t>& instrumentAt) {
    instrumentAt.assign(m.samples.size(), 0);
    for (size_t i = 0; i < m.samples.size(); ++i) {
        const uint64_t paragraph = AlignToParagraph(out);
        if (paragraph > 0xFFFF) return Refuse("header part too large");
        PutLe16(out, insPointers + 2 * i, uint32_t(paragraph));
        instrumentAt[i] = out.size();
        out.resize(out.size() + S3m::InstrumentSize, 0);
        WriteInstrument(out, instrumentAt[i], m.samples[i]);
    }
    return true;
}

bool WritePatterns(std::vector<uint8_t>& out, const S3mModule& m, size_t patPointers) {
    for (size_t p = 0; p < m.patterns.size(); ++p) {
        const uint64_t paragraph = AlignToParagraph(out);
        if (paragraph > 0xFFFF) return Refuse("patterns too large");
        PutLe16(out, patPointers + 2 * p, uint32_t(paragraph));
        WritePattern(out, m.patterns[p], m.channels);
    }
    return true;
}

// Sample data last, each pointed to from its instrument header.
bool WriteSampleData(std::vector<uint8_t>& out, const S3mModule& m,
                     const std::vector<size_t>& instrumentAt) {
    for (size_t i = 0; i < m.samples.size(); ++i) {
        const uint64_t paragraph = AlignToParagraph(out);
        if (paragraph > 0xFFFFFF) return Refuse("module too large for paragraph pointers");
        const size_t at = instrumentAt[i];
        out[at + S3m::InsDataHigh] = static_cast<uint8_t>(paragraph >> 16);
        PutLe16(out, at + S3m::InsDataLow, uint32_t(paragraph & 0xFFFF));
        for (int8_t v : m.samples[i].data)
            out.push_back(static_cast<uint8_t>(v) ^ 0x80); // stored unsigned
    }
    return true;
}

} // namespace

std::vector<uint8_t> WriteS3m(const S3mModule& m) {
    if (!Check(m)) return {};
    std::vector<uint8_t> out;
    const PointerTables tables = WriteHeader(out, m);
    std::vector<size_t> instrumentAt;
    if (!WriteInstruments(out, m, tables.instruments, instrumentAt)) return {};
    if (!WritePatterns(out, m, tables.patterns)) return {};
    if (!WriteSampleData(out, m, instrumentAt)) return {};
    AlignToParagraph(out);
    return out;
}

S3mModule MakeTestModuleDescription(int orders, int speed, int tempo) {
    S3mModule m;
    if (orders < 1 || orders > S3mMaxOrders || speed < 1 || speed > 255 || tempo < 33 ||
        tempo > 255) {
        SetError("S3M: a test module needs 1..%d orders, speed 1..255, tempo 33..255",
                 S3mMaxOrders);
        m.channels = 0; // WriteS3m refuses it
        return m;
    }
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
    const S3mModule m = MakeTestModuleDescription(orders, speed, tempo);
    if (m.channels == 0) return {}; // the fault is recorded
    return WriteS3m(m);
}

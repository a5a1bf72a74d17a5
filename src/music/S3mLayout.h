// The layout of a Scream Tracker 3 module (S3M): where its header keeps the
// counts and settings, how the order list, the instrument and pattern
// pointers follow it, the fields of a sample instrument, and how pattern
// cells are packed. The S3M writer, the sound library's check that a module
// is whole and the data tests all read the format from here.
#pragma once

#include "common/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace S3m {

// The file header; the order list starts right after it, then the instrument
// and pattern pointers (16-bit paragraph numbers), then the pan table.
inline constexpr size_t HeaderSize = 0x60;
inline constexpr size_t Title = 0x00, TitleSize = 28;
inline constexpr size_t EndOfText = 0x1C; // 0x1A
inline constexpr size_t FileType = 0x1D;  // 16: a module
inline constexpr size_t OrderCount = 0x20, InstrumentCount = 0x22, PatternCount = 0x24;
inline constexpr size_t TrackerVersion = 0x28, SampleFormat = 0x2A;
inline constexpr size_t Signature = 0x2C; // "SCRM"
inline constexpr size_t GlobalVolume = 0x30, InitialSpeed = 0x31, InitialTempo = 0x32,
                        MasterVolume = 0x33, DefaultPan = 0x35;
inline constexpr size_t ChannelSettings = 0x40, ChannelCount = 32;

inline constexpr uint8_t TextEnd = 0x1A, ModuleType = 16;
inline constexpr uint8_t PanTablePresent = 252; // at DefaultPan
inline constexpr uint8_t OrderSkip = 254, OrderEnd = 255;

// Every offset in the file counts 16-byte paragraphs.
inline constexpr size_t ParagraphSize = 16;

// A sample instrument's header.
inline constexpr size_t InstrumentSize = 0x50;
inline constexpr size_t InsType = 0x00;                        // 1: a sample
inline constexpr size_t InsDataHigh = 0x0D, InsDataLow = 0x0E; // 24-bit paragraph of the data
inline constexpr size_t InsLength = 0x10, InsLoopStart = 0x14, InsLoopEnd = 0x18;
inline constexpr size_t InsVolume = 0x1C, InsFlags = 0x1F, InsC2Spd = 0x20, InsName = 0x30;
inline constexpr size_t InsNameSize = 28, InsSignature = 0x4C; // "SCRS"
inline constexpr uint8_t SampleInstrument = 1;
inline constexpr uint8_t FlagLoop = 1, FlagStereo = 2, Flag16Bit = 4;

// Pattern cells: a packed pattern starts with its length (which counts
// itself); each stored cell starts with a byte naming its channel and what
// follows: note and instrument, volume, command and its parameter. A zero
// byte ends a row.
inline constexpr uint8_t CellChannel = 0x1F, CellNoteInstrument = 0x20, CellVolume = 0x40,
                         CellCommand = 0x80;

// Where the instrument pointers and the pattern pointers start.
inline size_t InstrumentPointers(std::span<const uint8_t> file) {
    return HeaderSize + GetLe16(file, OrderCount);
}
inline size_t PatternPointers(std::span<const uint8_t> file) {
    return InstrumentPointers(file) + 2 * GetLe16(file, InstrumentCount);
}
// The byte offset that the paragraph pointer at `at` names.
inline uint64_t ParagraphAt(std::span<const uint8_t> file, size_t at) {
    return uint64_t(GetLe16(file, at)) * ParagraphSize;
}
// The byte offset of the sample data of the instrument header at `at`.
inline uint64_t SampleData(std::span<const uint8_t> file, size_t at) {
    return (uint64_t(file[at + InsDataHigh]) << 16 | GetLe16(file, at + InsDataLow)) *
           ParagraphSize;
}
// The sample data's length in bytes.
inline uint64_t SampleBytes(std::span<const uint8_t> file, size_t at) {
    uint64_t length = GetLe32(file, at + InsLength);
    if (file[at + InsFlags] & FlagStereo) length *= 2;
    if (file[at + InsFlags] & Flag16Bit) length *= 2;
    return length;
}

} // namespace S3m

// Writing Scream Tracker 3 modules (S3M) from a plain description: the data
// generator composes the greeting's music with it and the tests build small
// modules with known orders, rows and timing.
//
// What is written: the "SCRM" header with the order list (ended by 255 and
// padded to an even length), one "SCRS" sample instrument per sample (8-bit
// unsigned data, mono), packed patterns of 64 rows, and the default pan
// values of the channels. Every offset is a paragraph (16-byte) pointer, as
// the format requires; the bytes depend only on the description.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int S3mRows = 64;        // rows in every pattern
constexpr int S3mMaxChannels = 16; // sample channels the format can address
constexpr int S3mMaxPatterns = 100;
constexpr int S3mMaxSamples = 99;
constexpr int S3mMaxOrders = 254; // plus the end marker the writer adds

constexpr uint8_t S3mNoNote = 255;
constexpr uint8_t S3mNoteOff = 254; // cuts the channel's note
constexpr uint8_t S3mNoVolume = 255;

// A note value: octave 0..9 in the high nibble, semitone 0..11 (C = 0) in the
// low one. S3mNote(4, 0) is the middle C that plays a sample at its c2spd.
constexpr uint8_t S3mNote(int octave, int semitone) {
    return static_cast<uint8_t>((octave << 4) | semitone);
}

// Effect commands: the letter's number, 'A' = 1.
constexpr uint8_t S3mCommand(char letter) {
    return static_cast<uint8_t>(letter - 'A' + 1);
}

struct S3mCell {
    uint8_t note = S3mNoNote;     // S3mNoNote, S3mNoteOff or S3mNote(octave, semitone)
    uint8_t instrument = 0;       // 0: none, else 1-based sample number
    uint8_t volume = S3mNoVolume; // 0..64, or S3mNoVolume
    uint8_t command = 0;          // 0: none, else S3mCommand('A'..'Z')
    uint8_t info = 0;             // the command's parameter
};

struct S3mPattern {
    std::array<std::array<S3mCell, 32>, S3mRows> rows{}; // [row][channel]
};

struct S3mSample {
    std::string name;         // up to 27 characters are kept
    std::vector<int8_t> data; // signed 8-bit mono
    bool loop = false;
    uint32_t loopStart = 0, loopEnd = 0; // in samples, end exclusive
    uint8_t volume = 64;                 // 0..64
    uint32_t c2spd = 8363;               // playback rate of middle C
};

struct S3mModule {
    std::string title; // up to 27 characters are kept
    int channels = 4;  // 1..S3mMaxChannels
    // Pan of each channel, 0 (left) .. 15 (right); 7 or 8 is the middle.
    std::array<uint8_t, S3mMaxChannels> channelPan{3, 12, 12, 3, 3, 12, 12, 3,
                                                   3, 12, 12, 3, 3, 12, 12, 3};
    uint8_t initialSpeed = 6;    // ticks per row
    uint8_t initialTempo = 125;  // beats per minute; a tick lasts 2.5 / tempo seconds
    uint8_t globalVolume = 64;   // 0..64
    uint8_t masterVolume = 0xB0; // bit 7: stereo
    std::vector<uint8_t> orders; // pattern numbers in playing order (254: skip)
    std::vector<S3mPattern> patterns;
    std::vector<S3mSample> samples;
};

// The module's file bytes (the layout is in music/S3mLayout.h). Empty, after
// SetError naming the fault, when the description cannot be written (too
// many channels, patterns, samples or orders, an order naming a missing
// pattern, a loop outside its sample, a cell naming a missing sample).
std::vector<uint8_t> WriteS3m(const S3mModule& module);

// A small module for tests: `orders` orders, order n playing its own pattern
// n (patterns are reused after S3mMaxPatterns), at the given initial speed and
// tempo (empty, after SetError, for numbers out of range). Every row of every pattern starts a
// short looped square-wave note on channel 0, whose pitch tells the order apart. A row lasts speed
// * 2.5 / tempo seconds, an order 64 rows: at speed 1, tempo 255 about 0.63 s.
std::vector<uint8_t> MakeTestModule(int orders, int speed, int tempo);
// The description MakeTestModule writes, for tests that change it first; one
// of no channels, after SetError, for numbers out of range.
S3mModule MakeTestModuleDescription(int orders, int speed, int tempo);

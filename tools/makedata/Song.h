// The greeting's music, composed and synthesized here, and what the song says
// of itself: the part each channel plays and the chord of every beat, which
// the song report and the tests check the rendered sound against.
#pragma once

#include "s3m/S3mWriter.h"

#include <cstdint>
#include <vector>

// The module as written: ComposeSong() is WriteS3m(ComposeSongModule()).
S3mModule ComposeSongModule();
// The bytes of dat/rimpaaa.s3m.
std::vector<uint8_t> ComposeSong();

// What a channel plays. Each channel has one role for the whole song; the
// pads are the harmony's held chords.
enum class SongRole : uint8_t { Melody, Harmony, Bass, Kick, Snare, Hats, Cymbal, Pads };

struct SongVoice {
    const char* name; // "lead", "bass", ...
    SongRole role;
};

// One entry per channel of the module, in channel order.
std::vector<SongVoice> SongVoices();

// A beat of the song and the chord the song declares for it. A beat starts
// at `tick` (0 .. speed-1, a note delay) of `row` in `order`; the chord holds
// until the next beat. Every beat of every order is listed, in playing order.
struct SongBeat {
    int order;
    int row;
    int tick;
    bool downbeat;     // the first beat of a bar
    uint16_t tones;    // bit n: pitch class n (C = 0) belongs to the chord
    const char* chord; // its name: "C", "Am", "G7", ...
};
std::vector<SongBeat> SongBeats();

// What a song says of itself for its check: the part each channel plays and
// the chord of every beat. The song report and the tests measure the
// rendered sound against them; a song that knows nothing of itself gives
// empty lists.
#pragma once

#include <cstdint>

// What a channel plays. Each channel has one role for the whole song; the
// pads are the harmony's held chords.
enum class SongRole : uint8_t { Melody, Harmony, Bass, Kick, Snare, Hats, Cymbal, Pads };

struct SongVoice {
    const char* name; // "lead", "bass", ...
    SongRole role;
};

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

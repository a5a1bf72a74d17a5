// What the files that compose the song share: its grid of orders, rows and
// ticks, its channels and instruments, note numbers, the chord chart, the
// pattern writer every part writes with, and the parts themselves.
//
//   Song.cpp             the song's plan: the parts in order, what it says of itself
//   SongChart.cpp        the chord chart and how the pads voice it
//   SongInstruments.cpp  the instruments' sounds: tonal waveforms and drums
//   SongTuning.cpp       tuned sample copies, and each cell's sample
//   SongParts.cpp        the pattern writer and what several parts play alike
//   SongIntro.cpp        orders 0-2       SongGroove.cpp   orders 3-5
//   SongVerses.cpp       orders 6-9       SongFinale.cpp   orders 10-11
#pragma once

#include "s3m/S3mWriter.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Compose {

constexpr int Speed = 6;               // ticks per row
constexpr int OrderTicks = 64 * Speed; // an order is four bars
constexpr int BarTicks = 16 * Speed;
constexpr int Orders = 12;

// Channels, in the order SongVoices() describes them.
enum Channel : int {
    ChLead = 0,
    ChDouble,
    ChPadLow,
    ChPadMid,
    ChPadHigh,
    ChPluck,
    ChBass,
    ChKick,
    ChSnare,
    ChHat,
    ChCrash,
    Channels
};
constexpr std::array<int, 3> PadChannels = {ChPadLow, ChPadMid, ChPadHigh};

// The instruments the parts are written for. Tonal instruments become several
// sample copies (SongTuning.cpp); while composing, a cell names its
// instrument and the last step puts in the copy that plays its note in tune.
enum Instrument : uint8_t { Lead = 1, Soft, Pad, Pluck, Bass, Kick, Snare, Hat, OpenHat, Crash };
constexpr int TonalInstruments = 5; // Lead .. Bass

// Notes are MIDI numbers: 60 is middle C (S3M's C-4), 69 the A at 440 Hz.
constexpr int C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11;
constexpr int N(int name, int octave) {
    return (octave + 1) * 12 + name;
}

// ---- The chord chart (SongChart.cpp) ----------------------------------------

struct Chord {
    const char* name;
    int root;
    std::array<int, 3> pads; // the pitch classes the pads hold
    int extra;               // a further chord tone the tune may sing, or -1
};
constexpr int Fifth(const Chord& chord) {
    return (chord.root + 7) % 12;
}
// The chord's pitch classes as SongBeat::tones has them.
uint16_t Tones(const Chord& chord);

struct Beat {
    int tick; // within the order
    const Chord* chord;
    bool downbeat;
};
// The beats of an order and their chords.
std::vector<Beat> ChartOf(int order);
// The chord of a bar of the loop that orders 0-5 play.
const Chord& LoopChord(int bar);

// Three voices on the tones of `pcs` between `low` and `high`, each as near
// as it can be to where it was in `previous`.
std::array<int, 3> Voicing(const std::array<int, 3>& previous, std::array<int, 3> pcs, int low,
                           int high);
// Where the pads and the groove's stabs start from: C major, G below.
constexpr std::array<int, 3> FirstVoicing = {N(G, 3), N(C, 4), N(E, 4)};

// ---- The pattern writer (SongParts.cpp) -------------------------------------

struct Song {
    S3mModule module;

    S3mCell& At(int order, int row, int channel);
    // A note at a tick of the order: in the row that holds it, delayed (SDx)
    // to its tick.
    void Note(int order, int tick, int channel, int note, Instrument instrument, int volume);
    void Drum(int order, int tick, int channel, Instrument instrument, int volume);
    // Ends the channel's note at a tick (^^ on its row's first tick, SCx after).
    void Cut(int order, int tick, int channel);
    // Sets the channel's volume on a row that starts no note.
    void Volume(int order, int row, int channel, int volume);
    // Moves the volume evenly from `from` to `to` over rows [first, last].
    void Ramp(int order, int first, int last, int channel, int from, int to);
    // An effect on a row, where the row has none yet.
    void Effect(int order, int row, int channel, char command, int info);
};

// ---- The sounds (SongInstruments.cpp, SongTuning.cpp) ------------------------

// A tonal instrument's looped sample, its c2spd not yet tuned, and the
// samples in one period of its waveform.
struct TonalSound {
    S3mSample sample;
    int cycle;
};
TonalSound TonalSample(Instrument instrument);
S3mSample DrumSample(Instrument drum);

// Adds the samples to the module, the tuned copies of the tonal instruments
// first and then the drums, and puts in each cell the sample that plays it.
void PlaceSamples(Song& s);

// ---- What several parts play alike (SongParts.cpp) ----------------------------

// The pads hold the chart's chords from order `fromOrder` to `toOrder`, a new
// note only where a voice moves, `volumeStep` louder each order.
void Pads(Song& s, int fromOrder, int toOrder, std::array<int, 3>& voicing, int volume,
          int volumeStep = 0);
void CutPads(Song& s, int order, int tick);
// A snare stroke every `every` ticks from tick `first` to `last`, `step`
// louder each time.
void SnareRoll(Song& s, int order, int first, int last, int every, int volume, int step);

// A note of a tune: its bar and its tick in the bar.
struct Sung {
    int bar;
    int tick;
    int note;
};
// Sings the notes of `tune` from bar `firstBar` that fall in the order, with
// the doubling an octave below when `doubleVolume` is not 0. The last note
// lasts until the tick `until`.
void Sing(Song& s, int order, const std::vector<Sung>& tune, int firstBar, int volume,
          int doubleVolume, int until);
// A tune's pickup, "Hap-py": a dotted eighth and a sixteenth on the last beat.
constexpr int PickupTick = 3 * BarTicks + 64;
void Pickup(Song& s, int order, int note, int volume, int doubleVolume);
// The bass note of a pitch class: between E1 and D#2, so it sounds at 41-78 Hz.
int BassNote(int pc);

// ---- The parts --------------------------------------------------------------

void Intro(Song& s);                                       // orders 0-2
void Groove(Song& s, int order);                           // orders 3-5
void Verse1(Song& s, int order, std::array<int, 3>& pads); // orders 6-7
void Verse2(Song& s, int order, std::array<int, 3>& pads); // orders 8-9
void Finale(Song& s, std::array<int, 3>& pads);            // order 10
void Tail(Song& s);                                        // order 11

} // namespace Compose

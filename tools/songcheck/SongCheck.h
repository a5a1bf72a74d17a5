// Seeing the music without hearing it: a module is rendered through
// libopenmpt as the greeting plays it (44.1 kHz stereo, float), whole and one
// channel at a time, and measured: loudness per ITU-R BS.1770-4, peaks, DC,
// stereo balance per order; the pitch and onset of every note the song uses,
// each played alone; where each note is heard to end in its channel alone;
// the sung notes against the backing; and its notes against the chord chart
// the song declares. The song report and the song's tests read the same
// figures.
#pragma once

#include "music/Form.h"
#include "songcheck/SongVoices.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

constexpr int SongRate = 44100;
constexpr int GreetingOrders = EndOrder; // the greeting ends when order EndOrder begins
constexpr int FirstSungOrder = 6;        // the tune is sung from here to the end

// Figures of a stretch of sound.
struct SoundFigures {
    double seconds = 0;
    double loudness = -HUGE_VAL; // LUFS, gated
    double peak = 0;             // the largest sample, linear
    double dcLeft = 0, dcRight = 0;
    double balance = 0;     // dB, K-weighted power right over left (+: louder right)
    double correlation = 0; // of left and right, -1 .. 1
};

// A note as written in the patterns, with where it starts and ends.
struct SheetNote {
    int channel = 0;
    int order = 0, row = 0, tick = 0; // where it starts; tick > 0: a note delay
    int64_t start = 0, end = 0;       // song ticks from the first row, as heard
    int64_t written = 0;              // the end its sheet and its sample's ring give
    int note = 0;                     // semitones from the tracker's C-0 ("C-4" is 48)
    int sample = 0;                   // 0-based
    uint16_t arpeggio = 0;            // bit n: also sounds n semitones up (J)
    double rows = 0;                  // its length in rows
};

// A sample played alone at one note.
struct ToneFigures {
    int sample = 0, note = 0;
    double frequency = 0; // Hz; 0: no steady pitch
    int pitch = -1;       // nearest equal-tempered note (MIDI: 60 is middle C, 69 A4 = 440 Hz)
    double cents = 0;     // from that note
    double ringSeconds = HUGE_VAL; // how long it sounds (HUGE_VAL: holds until released)
    double onsetJump = 0;          // the first step from silence, over the note's peak
    // Drums: the pitch by zero crossings over the first 20 ms and over 20 ms
    // half way through their sound, a kick's sweep.
    double startHz = 0, lateHz = 0;
};

// A sung note against everything else that plays, in the third of an
// octave around its fundamental.
struct SungFigures {
    int order = 0, row = 0, tick = 0;
    int pitch = 0;   // MIDI
    double over = 0; // dB, the melody over the backing in that band
};

struct Clash {
    int order = 0, row = 0, tick = 0;
    std::string what;
};

struct VoiceFigures {
    std::string name;
    bool roleKnown = false;
    SongRole role = SongRole::Melody;
    std::vector<SoundFigures> orders; // the channel (or role) alone, per order
    SoundFigures greeting;            // orders 0-10
};

struct SongAnalysis {
    int channels = 0;
    int speed = 6, tempo = 125; // at the start
    std::vector<int> rowsPerOrder;
    std::vector<SoundFigures> orders; // the whole mix, per order
    SoundFigures greeting;            // orders 0-10, what the greeting plays
    double truePeak = 0;              // over orders 0-10, linear
    double lastRowPeak = 0;           // the last row of order 10, linear
    double verseOne = -HUGE_VAL;      // loudness of orders 6-7, LUFS
    double verseTwo = -HUGE_VAL;      // of orders 8-9
    std::vector<VoiceFigures> voices; // one per channel
    std::vector<VoiceFigures> roles;  // Melody, Pads, Harmony, ... Cymbal when used
    std::vector<SheetNote> notes;
    std::vector<ToneFigures> tones; // every (sample, note) the tonal voices play
    std::vector<ToneFigures> drums; // the drums' (sample, note), for their onsets
    std::vector<SongBeat> beats;    // the chord chart, where it fits the module
    std::vector<Clash> clashes;
    std::vector<SungFigures> sung; // the melody's notes in orders 6-10
    bool chartKnown = false;
};

// Measures a module. `voices` names the channels and their roles and `beats`
// is the chord chart; both may be empty (a module of unknown parts: no
// harmony check, channels are named by number). Empty, with the reason
// recorded (SetError), when the bytes are not a module libopenmpt plays, one
// cut short, or one too long to render.
std::optional<SongAnalysis> AnalyseSong(std::span<const uint8_t> module,
                                        const std::vector<SongVoice>& voices,
                                        const std::vector<SongBeat>& beats);

// Whether a role plays pitched notes (melody, harmony, bass) rather than drums.
bool Tonal(SongRole role);

// The targets the music is held to, each with the figure it was judged by.
struct SongTarget {
    const char* key;  // "tune", "harmony", ... for the tests
    std::string name; // what is held to, with its limit
    bool met;
    std::string figure;
};
std::vector<SongTarget> CheckSongTargets(const SongAnalysis& song);
// The last order the greeting plays (GreetingOrders - 1 when the module has
// them all), and the length of orders first..last as rendered.
int LastGreetingOrder(const SongAnalysis& song);
double OrderSeconds(const SongAnalysis& song, int first, int last);

// The report: per order each channel's notes, the chords, the measured
// figures and clashes; then the whole song and the targets. Lines fit in
// 100 columns.
std::string SongReport(const SongAnalysis& song, const std::string& title);

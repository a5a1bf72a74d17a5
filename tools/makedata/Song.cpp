#include "Song.h"

#include "Canvas.h"
#include "s3m/S3mWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <numbers>
#include <vector>

// The song: "rimpaaa", a birthday tune in C. Orders 0-2 open quietly over
// C-Am-F-G7 and build up, orders 3-5 groove in 4/4 for the crab, orders 6-9
// sing "Happy Birthday" twice in 3/4 (the second verse fuller), order 10 sings
// the last line once more, slows down and lets the final C ring out and fade
// inside the order, and order 11 is a soft tail for anyone playing the module
// alone. The chord chart below is the one source of the harmony: the pads,
// the bass and the arpeggios are written from it, and SongBeats() reports it.

namespace {

constexpr double Pi = std::numbers::pi;
constexpr int Speed = 6; // ticks per row
constexpr int OrderTicks = 64 * Speed;
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

// The instruments the parts are written for. Tonal instruments become several
// sample copies (see Tuning below); while composing, a cell names its
// instrument and the last step puts in the copy that plays its note in tune.
enum Instrument : uint8_t { Lead = 1, Soft, Pad, Pluck, Bass, Kick, Snare, Hat, OpenHat, Crash };
constexpr int TonalInstruments = 5; // Lead .. Bass

// Notes are MIDI numbers: 60 is middle C (S3M's C-4), 69 the A at 440 Hz.
constexpr int C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11;
constexpr int N(int name, int octave) {
    return (octave + 1) * 12 + name;
}

// ---- Tuning ---------------------------------------------------------------
//
// Scream Tracker (and libopenmpt, which plays S3M the same way) turns a note
// into a whole-numbered period from its own rounded table, and the period into
// a playback rate: rate = 8363 * 1712 / period, period = 8363 * 32 *
// Table[semitone] / (c2spd << octave), truncated. The table's rounding alone
// puts E to A up to 4 cents sharp, and truncation adds up to 1/period on top.
// Each tonal instrument is therefore stored as a few copies that differ only
// in c2spd, each chosen for the notes it plays, so that every note the song
// uses sounds within a cent or so of its equal-tempered pitch (A = 440 Hz).

constexpr std::array<uint32_t, 12> PeriodTable = {1712, 1616, 1524, 1440, 1356, 1280,
                                                  1208, 1140, 1076, 1016, 960,  907};

double PlaybackRate(int note, uint32_t c2spd) {
    const uint64_t octave = static_cast<uint64_t>(note / 12);
    const uint64_t period = uint64_t{8363} * (PeriodTable[static_cast<size_t>(note % 12)] << 5) /
                            (uint64_t{c2spd} << octave);
    return 8363.0 * 1712.0 / static_cast<double>(period);
}

double CentsOff(int note, uint32_t c2spd, int cycle) {
    const double sounding = PlaybackRate(note, c2spd) / cycle;
    const double wanted = 440.0 * std::pow(2.0, (note - 69) / 12.0);
    return 1200.0 * std::log2(sounding / wanted);
}

struct Copy {
    std::vector<int> notes;
    uint32_t c2spd = 0;
    double worst = 0; // cents
};

// The c2spd within 1.5 % of nominal that keeps the worst note closest to pitch.
Copy Tune(std::vector<int> notes, int cycle) {
    Copy best;
    best.notes = std::move(notes);
    best.worst = 1e9;
    const double nominal = 440.0 * std::pow(2.0, (60 - 69) / 12.0) * cycle;
    for (uint32_t c2spd = static_cast<uint32_t>(nominal * 0.985);
         c2spd <= static_cast<uint32_t>(nominal * 1.015); ++c2spd) {
        double worst = 0;
        for (int note : best.notes)
            worst = std::max(worst, std::fabs(CentsOff(note, c2spd, cycle)));
        if (worst < best.worst) {
            best.worst = worst;
            best.c2spd = c2spd;
        }
    }
    return best;
}

// Notes, lowest first, go into the first copy that still tunes them all
// within a cent; a note that fits none starts a new copy.
std::vector<Copy> TuneCopies(const std::vector<int>& notes, int cycle) {
    constexpr double Tolerance = 1.0;
    std::vector<Copy> copies;
    for (int note : notes) {
        bool placed = false;
        for (Copy& copy : copies) {
            std::vector<int> with = copy.notes;
            with.push_back(note);
            Copy tuned = Tune(with, cycle);
            if (tuned.worst <= Tolerance) {
                copy = tuned;
                placed = true;
                break;
            }
        }
        if (!placed) copies.push_back(Tune({note}, cycle));
    }
    return copies;
}

// ---- Samples ----------------------------------------------------------------

// e^x for x <= 0 from plain arithmetic, so every machine makes the same bytes.
double Exp(double x) {
    double v = 1 + x / 4096;
    for (int i = 0; i < 12; ++i)
        v *= v;
    return v;
}

int8_t Clip(double v) {
    return static_cast<int8_t>(std::lround(std::clamp(v, -127.0, 127.0)));
}

// A tonal instrument: a band-limited waveform of `cycle` samples per period
// (so it has no DC and no aliasing harshness), shaped by an attack from zero,
// a decay to the sustain level and a loop of whole periods at that level.
struct Timbre {
    const char* name;
    int cycle;                        // samples per period
    std::array<double, 12> harmonics; // amplitude of harmonic n + 1
    std::array<double, 12> phases;    // in periods
    int attack;                       // periods
    int decay;                        // periods from full level to sustain
    double sustain;
    int loop;       // periods in the loop
    double tremolo; // depth of one slow swell across the loop
    double level;   // peak, of 127
};

double Waveform(const Timbre& t, int i) {
    double v = 0;
    for (size_t n = 0; n < t.harmonics.size(); ++n)
        v += t.harmonics[n] *
             Sine(2 * Pi * ((static_cast<double>(n) + 1) * i / t.cycle + t.phases[n]));
    return v;
}

std::vector<int8_t> TonalData(const Timbre& t, int& loopStart) {
    double peak = 0;
    for (int i = 0; i < t.cycle; ++i)
        peak = std::max(peak, std::fabs(Waveform(t, i)));
    std::vector<int8_t> data;
    const int periods = t.attack + t.decay + t.loop;
    for (int p = 0; p < periods; ++p)
        for (int i = 0; i < t.cycle; ++i) {
            const double at = p + static_cast<double>(i) / t.cycle;
            double level;
            if (at < t.attack) {
                level = Sine(0.5 * Pi * at / t.attack); // rises from zero
            } else if (at < t.attack + t.decay) {
                const double d = (at - t.attack) / t.decay;
                level = t.sustain + (1 - t.sustain) * (1 - d) * (1 - d);
            } else {
                const double l = (at - t.attack - t.decay) / t.loop;
                level = t.sustain * (1 - t.tremolo * 0.5 * (1 - Cosine(2 * Pi * l)));
            }
            data.push_back(Clip(t.level * level * Waveform(t, i) / peak));
        }
    loopStart = (t.attack + t.decay) * t.cycle;
    return data;
}

// The 25 % pulse as its first ten harmonics: no DC, soft top end.
std::array<double, 12> PulseHarmonics(double duty, int count) {
    std::array<double, 12> h{};
    for (int n = 1; n <= count; ++n)
        h[static_cast<size_t>(n - 1)] = std::fabs(Sine(Pi * n * duty)) / n;
    return h;
}
std::array<double, 12> PulsePhases(double duty) {
    std::array<double, 12> p{};
    for (int n = 1; n <= 12; ++n)
        p[static_cast<size_t>(n - 1)] = 0.25 - n * duty / 2 + (Sine(Pi * n * duty) < 0 ? 0.5 : 0);
    return p;
}
// A saw's 1/n harmonics, falling off faster by `softness` per harmonic.
std::array<double, 12> SawHarmonics(int count, double softness) {
    std::array<double, 12> h{};
    for (int n = 1; n <= count; ++n)
        h[static_cast<size_t>(n - 1)] = 1.0 / (n * (1 + softness * (n - 1)));
    return h;
}

Timbre TimbreOf(Instrument instrument) {
    switch (instrument) {
    case Lead: // 25 % pulse, quick attack, a slight swell in the held part
        return {"pulse lead", 32, PulseHarmonics(0.25, 10), PulsePhases(0.25), 3, 80, 0.72, 128,
                0.12,         120};
    case Soft: // a soft saw an octave under the tune
        return {"soft saw", 64, SawHarmonics(8, 0.2), {}, 10, 60, 0.8, 96, 0.1, 118};
    case Pad: // a warm saw with a slow attack and a breathing loop
        return {"pad", 64, SawHarmonics(7, 0.3), {}, 24, 40, 0.85, 160, 0.2, 118};
    case Pluck: // odd harmonics, struck and decaying
        return {"pluck", 32, {1, 0, 0.33, 0, 0.18, 0, 0.1, 0, 0.05}, {}, 1, 160, 0.12, 64, 0, 120};
    default: // bass: a rounded triangle with a little edge
        return {"bass", 64, {1, 0.35, 0.16, 0.08, 0.04}, {}, 1, 30, 0.7, 32, 0, 124};
    }
}

struct Noise {
    uint32_t state = 12345;
    double Next() {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) & 0x7FFF) / 16383.5 - 1;
    }
};

// Drums at 22050 Hz, played at their own rate (note C-4).
constexpr uint32_t DrumRate = 22050;

S3mSample Drum(Instrument kind) {
    S3mSample s;
    s.c2spd = DrumRate;
    Noise noise;
    double phase = 0, lowPass = 0, previous = 0, highPass = 0;
    // Lengths in whole paragraphs: the file then ends with the crash's last
    // byte, not with padding.
    int length = 0;
    switch (kind) {
    case Kick:
        s.name = "kick";
        length = 8992;
        break;
    case Snare:
        s.name = "snare";
        length = 6592;
        break;
    case Hat:
        s.name = "closed hat";
        length = 1296;
        break;
    case OpenHat:
        s.name = "open hat";
        length = 6000;
        break;
    default:
        s.name = "crash";
        length = 32992;
        break;
    }
    std::vector<double> v(static_cast<size_t>(length));
    for (int n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / DrumRate;
        const double left = 1 - static_cast<double>(n) / length; // reaches 0 at the end
        const double attack = std::min(1.0, t / 0.0015);         // no click at the start
        const double white = noise.Next();
        double x = 0;
        switch (kind) {
        case Kick: {
            // A sine sweeping from 150 Hz down to 45 Hz over a quarter second,
            // with a short knock of filtered noise on top.
            const double sweep = t < 0.25 ? (1 - t / 0.25) * (1 - t / 0.25) : 0;
            phase += (45 + 105 * sweep) / DrumRate;
            lowPass += 0.25 * (white - lowPass);
            x = Sine(2 * Pi * phase) * Exp(-t / 0.16) * left + 0.35 * lowPass * Exp(-t / 0.006);
            break;
        }
        case Snare: {
            // A body falling from 215 to 175 Hz under bright noise.
            phase += (175 + 40 * Exp(-t / 0.02)) / DrumRate;
            lowPass += 0.55 * (white - lowPass);
            x = 0.55 * Sine(2 * Pi * phase) * Exp(-t / 0.045) +
                0.75 * lowPass * Exp(-t / 0.09) * left;
            break;
        }
        default: {
            // Cymbals: high-passed noise.
            highPass = white - previous;
            previous = white;
            const double decay = kind == Hat ? 0.018 : kind == OpenHat ? 0.09 : 0.55;
            x = 0.6 * highPass * Exp(-t / decay) * left;
            break;
        }
        }
        v[static_cast<size_t>(n)] = x * attack;
    }
    // A gentle high-pass takes out what DC the envelopes leave.
    double mean = 0;
    for (double& x : v) {
        mean += 0.002 * (x - mean);
        x -= mean;
    }
    double peak = 0;
    for (double x : v)
        peak = std::max(peak, std::fabs(x));
    const double level = kind == Kick ? 124 : kind == Snare ? 120 : kind == Crash ? 100 : 120;
    for (size_t n = 0; n < v.size(); ++n) {
        const double fadeOut = std::min(1.0, static_cast<double>(v.size() - n) / 200);
        s.data.push_back(Clip(level * v[n] / peak * fadeOut));
    }
    return s;
}

// ---- The chord chart ---------------------------------------------------------

struct Chord {
    const char* name;
    int root;
    std::array<int, 3> pads; // the pitch classes the pads hold
    int extra;               // a further chord tone the tune may sing, or -1
};
constexpr Chord ChC{"C", C, {C, E, G}, -1};
constexpr Chord ChC6{"C6", C, {C, E, G}, A};
constexpr Chord ChAm{"Am", A, {A, C, E}, -1};
constexpr Chord ChF{"F", F, {F, A, C}, -1};
constexpr Chord ChF6{"F6", F, {F, A, C}, D};
constexpr Chord ChG7{"G7", G, {G, B, F}, D};
constexpr Chord ChDm7{"Dm7", D, {D, F, C}, A};
constexpr Chord ChEm{"Em", E, {E, G, B}, -1};

uint16_t Tones(const Chord& chord) {
    uint16_t t = 0;
    for (int pc : chord.pads)
        t = static_cast<uint16_t>(t | 1u << pc);
    if (chord.extra >= 0) t = static_cast<uint16_t>(t | 1u << chord.extra);
    // A triad's fifth belongs to it even where the pads leave it out.
    return static_cast<uint16_t>(t | 1u << ((chord.root + 7) % 12));
}

struct Beat {
    int tick; // within the order
    const Chord* chord;
    bool downbeat;
};

// Orders 0-5 are in 4/4, a bar of 16 rows and a beat of 4. From order 6 on
// the tune is in 3/4 in the same 16-row bars: beats at row 0, row 5 tick 2
// and row 10 tick 4, 32 ticks apart.
bool ThreeFour(int order) {
    return order >= 6;
}

using Bar = std::array<const Chord*, 3>; // 3/4: one chord per beat
// The loop of orders 0-5, a chord a bar; in the groove the walking bass
// passes through the sixth on the fourth beat of C and F.
constexpr std::array<const Chord*, 4> Loop = {&ChC, &ChAm, &ChF, &ChG7};
const Chord* LoopChord(int order, int bar, int beat) {
    if (order >= 3 && beat == 3 && bar == 0) return &ChC6;
    if (order >= 3 && beat == 3 && bar == 2) return &ChF6;
    return Loop[static_cast<size_t>(bar)];
}
// The verse, eight bars of 3/4.
const std::array<Bar, 8> Verse = {{
    {&ChC6, &ChC, &ChC},
    {&ChG7, &ChG7, &ChG7},
    {&ChDm7, &ChG7, &ChG7},
    {&ChC, &ChC, &ChC},
    {&ChC, &ChC, &ChC},
    {&ChEm, &ChF, &ChF},
    {&ChC, &ChF, &ChG7},
    {&ChC, &ChC, &ChC},
}};
// The last line once more, the final chord, and the tail.
const std::array<Bar, 4> Ending = {{
    {&ChC, &ChF, &ChG7},
    {&ChC, &ChC, &ChC},
    {&ChC, &ChC, &ChC},
    {&ChC, &ChC, &ChC},
}};

std::vector<Beat> ChartOf(int order) {
    std::vector<Beat> beats;
    for (int bar = 0; bar < 4; ++bar) {
        if (!ThreeFour(order)) {
            for (int beat = 0; beat < 4; ++beat)
                beats.push_back({bar * 96 + beat * 24, LoopChord(order, bar, beat), beat == 0});
            continue;
        }
        Bar chords{&ChC, &ChC, &ChC};
        if (order <= 9) chords = Verse[static_cast<size_t>((order - 6) % 2 * 4 + bar)];
        if (order == 9 && bar == 3) chords = {&ChC, &ChC, &ChG7}; // leads into the last line
        if (order == 10) chords = Ending[static_cast<size_t>(bar)];
        for (int beat = 0; beat < 3; ++beat)
            beats.push_back({bar * 96 + beat * 32, chords[static_cast<size_t>(beat)], beat == 0});
    }
    return beats;
}

// ---- Writing the patterns ------------------------------------------------------

struct Song {
    S3mModule module;

    S3mPattern& Pattern(int order) { return module.patterns[static_cast<size_t>(order)]; }
    S3mCell& At(int order, int row, int channel) {
        return Pattern(order).rows[static_cast<size_t>(row)][static_cast<size_t>(channel)];
    }
    // A note at a tick of the order: in the row that holds it, delayed (SDx)
    // to its tick.
    void Note(int order, int tick, int channel, int note, Instrument instrument, int volume) {
        S3mCell& cell = At(order, tick / Speed, channel);
        cell.note = S3mNote(note / 12 - 1, note % 12);
        cell.instrument = instrument;
        cell.volume = static_cast<uint8_t>(std::clamp(volume, 0, 64));
        if (tick % Speed) {
            cell.command = S3mCommand('S');
            cell.info = static_cast<uint8_t>(0xD0 | tick % Speed);
        }
    }
    void Drum(int order, int tick, int channel, Instrument instrument, int volume) {
        Note(order, tick, channel, N(C, 4), instrument, volume);
    }
    // Ends the channel's note at a tick (SCx on its row).
    void Cut(int order, int tick, int channel) {
        S3mCell& cell = At(order, tick / Speed, channel);
        if (cell.command) return; // a new note starts here and ends the old one
        cell.command = S3mCommand('S');
        cell.info = static_cast<uint8_t>(0xC0 | tick % Speed);
    }
    // Sets the channel's volume on a row that starts no note.
    void Volume(int order, int row, int channel, int volume) {
        S3mCell& cell = At(order, row, channel);
        if (cell.note == S3mNoNote) cell.volume = static_cast<uint8_t>(std::clamp(volume, 0, 64));
    }
    // Moves the volume evenly from `from` to `to` over rows [first, last].
    void Ramp(int order, int first, int last, int channel, int from, int to) {
        for (int r = first; r <= last; ++r)
            Volume(order, r, channel, from + (to - from) * (r - first) / (last - first));
    }
    // An effect on a row, where the row has none yet.
    void Effect(int order, int row, int channel, char command, int info) {
        S3mCell& cell = At(order, row, channel);
        if (cell.command) return;
        cell.command = S3mCommand(command);
        cell.info = static_cast<uint8_t>(info);
    }
};

// Three voices on a chord's tones, each as near as it can be to where it was,
// so common tones are held and the others move by step.
std::array<int, 3> Voicing(const std::array<int, 3>& previous, std::array<int, 3> pcs, int low,
                           int high) {
    std::array<int, 3> best{};
    int bestCost = 1 << 30;
    std::sort(pcs.begin(), pcs.end());
    do {
        std::array<int, 3> v{};
        int cost = 0;
        for (size_t i = 0; i < 3; ++i) {
            int nearest = -1;
            for (int n = low; n <= high; ++n)
                if (n % 12 == pcs[i] &&
                    (nearest < 0 || std::abs(n - previous[i]) < std::abs(nearest - previous[i])))
                    nearest = n;
            v[i] = nearest;
            cost += std::abs(nearest - previous[i]);
        }
        if (!(v[0] < v[1] && v[1] < v[2])) cost += 100; // the voices keep their order
        if (cost < bestCost) {
            bestCost = cost;
            best = v;
        }
    } while (std::next_permutation(pcs.begin(), pcs.end()));
    return best;
}

constexpr std::array<int, 3> PadChannels = {ChPadLow, ChPadMid, ChPadHigh};

// The pads hold the chart's chords, a new note only where a voice moves.
void Pads(Song& s, int fromOrder, int toOrder, std::array<int, 3>& voicing, int volume,
          int volumeStep = 0) {
    for (int order = fromOrder; order <= toOrder; ++order) {
        const int level = volume + (order - fromOrder) * volumeStep;
        bool first = order == fromOrder;
        for (const Beat& beat : ChartOf(order)) {
            const std::array<int, 3> next = Voicing(voicing, beat.chord->pads, N(E, 3), N(A, 4));
            for (size_t i = 0; i < 3; ++i)
                if (first || next[i] != voicing[i])
                    s.Note(order, beat.tick, PadChannels[i], next[i], Pad, level);
            voicing = next;
            first = false;
        }
    }
}

void CutPads(Song& s, int order, int tick) {
    for (int ch : PadChannels)
        s.Cut(order, tick, ch);
}

// The tune's notes: MIDI note and tick within the 96-tick bar.
struct Sung {
    int bar; // 0..7 in the verse
    int tick;
    int note;
};
const std::vector<Sung> VerseTune = {
    {0, 0, N(A, 4)},  {0, 32, N(G, 4)}, {0, 64, N(C, 5)}, {1, 0, N(B, 4)},  {1, 64, N(G, 4)},
    {1, 88, N(G, 4)}, {2, 0, N(A, 4)},  {2, 32, N(G, 4)}, {2, 64, N(D, 5)}, {3, 0, N(C, 5)},
    {3, 64, N(G, 4)}, {3, 88, N(G, 4)}, {4, 0, N(G, 5)},  {4, 32, N(E, 5)}, {4, 64, N(C, 5)},
    {5, 0, N(B, 4)},  {5, 32, N(A, 4)}, {5, 64, N(F, 5)}, {5, 88, N(F, 5)}, {6, 0, N(E, 5)},
    {6, 32, N(C, 5)}, {6, 64, N(D, 5)}, {7, 0, N(C, 5)},
};

// Sings the tune's notes from `tune` that fall in the order, with vibrato on
// the rows a note is held, and the doubling an octave below when asked. The
// last note lasts until the tick `until`.
void Sing(Song& s, int order, const std::vector<Sung>& tune, int firstBar, int volume,
          int doubleVolume, int until) {
    for (size_t i = 0; i < tune.size(); ++i) {
        const Sung& n = tune[i];
        const int bar = n.bar - firstBar;
        if (bar < 0 || bar > 3) continue;
        const int tick = bar * 96 + n.tick;
        s.Note(order, tick, ChLead, n.note, Lead, volume);
        if (doubleVolume) s.Note(order, tick, ChDouble, n.note - 12, Soft, doubleVolume);
        // Until the next note, or until `until`: a note of two beats or more
        // blooms into vibrato from its fourth row.
        int end = i + 1 < tune.size() && tune[i + 1].bar - firstBar <= 3
                      ? (tune[i + 1].bar - firstBar) * 96 + tune[i + 1].tick
                      : until;
        if (end - tick >= 64)
            for (int row = tick / Speed + 3; row < end / Speed; ++row)
                s.Effect(order, row, ChLead, 'H', row == tick / Speed + 3 ? 0x72 : 0);
    }
}

// A tune's pickup, "Hap-py": a dotted eighth and a sixteenth on the last beat.
constexpr int PickupTick = 3 * 96 + 64;
void Pickup(Song& s, int order, int note, int volume, int doubleVolume) {
    const int at = PickupTick;
    s.Note(order, at, ChLead, note, Lead, volume);
    s.Note(order, at + 24, ChLead, note, Lead, volume);
    if (doubleVolume) {
        s.Note(order, at, ChDouble, note - 12, Soft, doubleVolume);
        s.Note(order, at + 24, ChDouble, note - 12, Soft, doubleVolume);
    }
}

int Fifth(const Chord& chord) {
    return (chord.root + 7) % 12;
}
// The bass note of a pitch class: between E1 and D#2, so it sounds at 41-78 Hz.
int BassNote(int pc) {
    return N(pc, 1) + (pc < E ? 12 : 0);
}

// ---- The orders ------------------------------------------------------------------

// The music box: the chord's tones climbing, one a beat (order 0), then in
// eighths (orders 1-2).
void IntroMusicBox(Song& s, int order, const Beat& beat) {
    const Chord& chord = *beat.chord;
    const int inBar = beat.tick % 96;
    const std::array<int, 4> climb = {chord.root, chord.pads[1], Fifth(chord), chord.pads[1]};
    const int steps = order == 0 ? 1 : 2;
    for (int k = 0; k < steps; ++k) {
        const int pc = climb[static_cast<size_t>((inBar / 24 * steps + k) % 4)];
        const int note = N(pc, 5) - (pc > G ? 12 : 0);
        s.Note(order, beat.tick + k * 12, ChPluck, note, Pluck, order == 0 ? 22 : 18 + 2 * order);
    }
}

// The bass: root on one, fifth on three (order 1); eighths rocking between
// root and octave (order 2).
void IntroBass(Song& s, int order, const Beat& beat) {
    const Chord& chord = *beat.chord;
    const int inBar = beat.tick % 96;
    const int root = BassNote(chord.root);
    if (order == 1 && (inBar == 0 || inBar == 48))
        s.Note(order, beat.tick, ChBass, inBar ? BassNote(Fifth(chord)) : root, Bass, 40);
    if (order == 2)
        for (int k = 0; k < 2; ++k)
            s.Note(order, beat.tick + k * 12, ChBass, root + (k ? 12 : 0), Bass, k ? 32 : 40);
}

// Kick on one and three, offbeat hats (order 1); snare on two and four and
// hats in eighths join in order 2.
void IntroDrums(Song& s, int order) {
    for (int bar = 0; bar < 4; ++bar) {
        const int t = bar * 96;
        s.Drum(order, t, ChKick, Kick, order == 1 ? 40 : 50);
        s.Drum(order, t + 48, ChKick, Kick, order == 1 ? 36 : 48);
        if (order == 2) {
            s.Drum(order, t + 24, ChSnare, Snare, 46);
            s.Drum(order, t + 72, ChSnare, Snare, 46);
        }
        for (int e = 0; e < 8; ++e)
            if (order == 2 || e % 2) s.Drum(order, t + e * 12, ChHat, Hat, e % 2 ? 44 : 34);
    }
}

// Orders 0-2: the chords fade in with a music box; bass, beat and arpeggios join.
void Intro(Song& s, int order) {
    for (const Beat& beat : ChartOf(order)) {
        IntroMusicBox(s, order, beat);
        if (order >= 1) IntroBass(s, order, beat);
    }
    if (order >= 1) IntroDrums(s, order);
    if (order == 2) {
        // A fill into the groove: sixteenths on the snare, growing.
        for (int r = 56; r < 64; ++r)
            s.Drum(order, r * Speed, ChSnare, Snare, 34 + (r - 56) * 4);
        s.Cut(order, 63 * Speed, ChHat);
    }
}

// The groove's walking bass, a bar per chord of the loop.
constexpr std::array<std::array<int, 4>, 4> Walk = {{
    {N(C, 2), N(E, 2), N(G, 2), N(A, 2)},
    {N(A, 1), N(C, 2), N(E, 2), N(C, 2)},
    {N(F, 1), N(A, 1), N(C, 2), N(D, 2)},
    {N(G, 1), N(B, 1), N(D, 2), N(B, 1)},
}};
// The crab's riff: a note per row where not 0, chord tones only.
constexpr std::array<std::array<int, 16>, 4> Riff = {{
    {N(E, 5), 0, N(G, 5), 0, N(E, 5), 0, N(G, 5), 0, N(C, 6), 0, 0, 0, N(G, 5), 0, 0, 0},
    {N(E, 5), 0, N(A, 5), 0, N(E, 5), 0, N(A, 5), 0, N(C, 6), 0, 0, 0, N(A, 5), 0, 0, 0},
    {N(F, 5), 0, N(A, 5), 0, N(F, 5), 0, N(A, 5), 0, N(C, 6), 0, 0, 0, N(A, 5), 0, 0, 0},
    {N(G, 5), 0, N(B, 5), 0, N(D, 6), 0, N(B, 5), 0, N(G, 5), 0, N(F, 5), 0, N(D, 5), 0, N(B, 4),
     0},
}};

// One bar of the groove's bass; a break bar (`last`) keeps its first half.
void GrooveBass(Song& s, int order, int bar, bool last) {
    const int t = bar * 96;
    for (int q = 0; q < 4; ++q) {
        if (last && q >= 2) break;
        s.Note(order, t + q * 24, ChBass, Walk[static_cast<size_t>(bar)][static_cast<size_t>(q)],
               Bass, 36);
    }
}

// Stabs of the soft saw on the offbeats, voice-led like the pads.
void GrooveStabs(Song& s, int order, int bar, bool last, std::array<int, 3>& stab) {
    const int t = bar * 96;
    const Chord& chord = *Loop[static_cast<size_t>(bar)];
    stab = Voicing(stab, chord.pads, N(G, 3), N(G, 4));
    for (int q = 0; q < 4; ++q) {
        if (last && q >= 2) break;
        const int at = t + q * 24 + 12;
        for (size_t i = 0; i < 3; ++i) {
            s.Note(order, at, PadChannels[i], stab[i], Soft, 32);
            s.Cut(order, at + 8, PadChannels[i]);
        }
    }
}

// Order 3: the music box plays the riff softly; 4-5: the lead.
void GrooveRiff(Song& s, int order, int bar, bool last) {
    const int t = bar * 96;
    for (int i = 0; i < 16; ++i) {
        const int note = Riff[static_cast<size_t>(bar)][static_cast<size_t>(i)];
        if (!note || (last && i >= 8)) continue;
        if (order == 3)
            s.Note(order, t + i * Speed, ChPluck, note, Pluck, 34);
        else {
            s.Note(order, t + i * Speed, ChLead, note, Lead, 60);
            s.Cut(order, t + i * Speed + 9, ChLead);
        }
    }
}

// Drums: kick on one, three and the "and" of two; snare on two and four.
void GrooveDrums(Song& s, int order, int bar, bool last) {
    const int t = bar * 96;
    s.Drum(order, t, ChKick, Kick, 58);
    if (!last) {
        s.Drum(order, t + 36, ChKick, Kick, 44);
        s.Drum(order, t + 48, ChKick, Kick, 56);
        s.Drum(order, t + 72, ChSnare, Snare, 58);
    }
    s.Drum(order, t + 24, ChSnare, Snare, 58);
    for (int i = 0; i < 16; ++i) {
        if (last && i >= 8) break;
        s.Drum(order, t + i * Speed, ChHat, i % 4 == 2 ? OpenHat : Hat,
               i % 2        ? 36
               : i % 4 == 2 ? 40
                            : 48);
    }
}

// Orders 3-5: a walking bass, offbeat stabs of the pads, the crab's riff.
void Groove(Song& s, int order) {
    const bool breakBar = order == 5; // the last bar makes room for "Hap-py"
    std::array<int, 3> stab = {N(G, 3), N(C, 4), N(E, 4)};
    for (int bar = 0; bar < 4; ++bar) {
        const bool last = breakBar && bar == 3;
        GrooveBass(s, order, bar, last);
        GrooveStabs(s, order, bar, last, stab);
        GrooveRiff(s, order, bar, last);
        GrooveDrums(s, order, bar, last);
    }
    if (order == 3) {
        s.Drum(order, 0, ChCrash, Crash, 40);
        s.Cut(order, 63 * Speed + 5, ChPluck); // the lead takes the riff over
    }
    if (breakBar) {
        // Break: the bass and the lead stop, a snare roll rises under the pickup.
        s.Cut(order, 3 * 96 + 48, ChBass);
        s.Cut(order, 3 * 96 + 48, ChLead);
        for (int r = 56; r < 64; ++r)
            s.Drum(order, r * Speed, ChSnare, Snare, 32 + (r - 56) * 4);
        Pickup(s, order, N(G, 4), 58, 0);
    }
}

// The waltz's hats in eighths, the offbeats softer; the second verse opens
// the last one.
void WaltzHats(Song& s, int order, int t, bool full) {
    const int onBeat = full ? 54 : 46;
    const int offBeat = full ? 46 : 40;
    for (int e = 0; e < 6; ++e)
        s.Drum(order, t + e * 16, ChHat, full && e == 5 ? OpenHat : Hat, e % 2 ? offBeat : onBeat);
}

// The waltz under the tune: kick on one, snare on two and three, hats in
// eighths; the second verse adds a kick before one and louder hats.
void Waltz(Song& s, int order, bool full) {
    for (int bar = 0; bar < 4; ++bar) {
        const int t = bar * 96;
        s.Drum(order, t, ChKick, Kick, full ? 62 : 58);
        if (full) s.Drum(order, t + 80, ChKick, Kick, 40);
        s.Drum(order, t + 32, ChSnare, Snare, full ? 54 : 50);
        s.Drum(order, t + 64, ChSnare, Snare, full ? 58 : 54);
        WaltzHats(s, order, t, full);
    }
}

// Bass of the 3/4 part: the root on one and the fifth on three while a
// chord holds, the root wherever the chord changes.
void WaltzBass(Song& s, int order, int volume) {
    const Chord* previous = nullptr;
    for (const Beat& beat : ChartOf(order)) {
        const int inBar = beat.tick % 96;
        if (beat.chord != previous || inBar == 0)
            s.Note(order, beat.tick, ChBass, BassNote(beat.chord->root), Bass, volume);
        else if (inBar == 64)
            s.Note(order, beat.tick, ChBass, BassNote(Fifth(*beat.chord)), Bass, volume - 6);
        previous = beat.chord;
    }
}

// The music box in the second verse: eighths climbing the beat's chord,
// under the tune's register.
void WaltzArpeggio(Song& s, int order, int volume) {
    for (const Beat& beat : ChartOf(order)) {
        const Chord& chord = *beat.chord;
        for (int k = 0; k < 2; ++k) {
            const int pc = k ? chord.pads[1] : chord.root;
            const int note = N(pc, 4) + (pc < E ? 12 : 0);
            s.Note(order, beat.tick + k * 16, ChPluck, note, Pluck, k ? volume - 4 : volume);
        }
    }
}

void Verse1(Song& s, int order, std::array<int, 3>& pads) {
    const int half = order - 6;
    Sing(s, order, VerseTune, half * 4, 60, 0, half ? PickupTick : OrderTicks);
    if (half == 1) Pickup(s, order, N(G, 4), 60, 0);
    Pads(s, order, order, pads, 22);
    WaltzBass(s, order, 40);
    Waltz(s, order, false);
}

void Verse2(Song& s, int order, std::array<int, 3>& pads) {
    const int half = order - 8;
    Sing(s, order, VerseTune, half * 4, 64, 30, half ? PickupTick : OrderTicks);
    if (half == 1) Pickup(s, order, N(F, 5), 64, 30);
    Pads(s, order, order, pads, 28);
    WaltzBass(s, order, 44);
    WaltzArpeggio(s, order, 26);
    Waltz(s, order, true);
    if (half == 0) s.Drum(order, 0, ChCrash, Crash, 46);
    if (half == 1) {
        for (int e = 0; e < 4; ++e) // a fill on the last beat
            s.Drum(order, 3 * 96 + 64 + e * 8, ChSnare, Snare, 44 + e * 5);
        s.Cut(order, OrderTicks - 1, ChPluck); // the finale's first chord is C
    }
}

// Order 10: "Hap-py birth-day to you" once more, slowing down. The final C
// swells over a snare roll in the second bar, is struck once more at the third
// and fades to silence by row 58, before the order ends.
void Finale(Song& s, std::array<int, 3>& pads) {
    constexpr int order = 10;
    const std::vector<Sung> last = {
        {0, 0, N(E, 5)}, {0, 32, N(C, 5)}, {0, 64, N(D, 5)}, {1, 0, N(C, 5)}};
    Sing(s, order, last, 0, 64, 26, 58 * Speed);
    Pads(s, order, order, pads, 20);
    // Slowing down over the last line, then the held chord at 96.
    s.Effect(order, 0, ChCrash, 'T', 120);
    s.Effect(order, 5, ChCrash, 'T', 112);
    s.Effect(order, 10, ChCrash, 'T', 104);
    s.Effect(order, 16, ChCrash, 'T', 96);
    // The last line: IV and V7 in the bass, then the low C.
    s.Note(order, 0, ChBass, BassNote(C), Bass, 46);
    s.Note(order, 32, ChBass, BassNote(F), Bass, 46);
    s.Note(order, 64, ChBass, BassNote(G), Bass, 46);
    s.Note(order, 96, ChBass, BassNote(C), Bass, 44);
    s.Note(order, 192, ChBass, BassNote(C), Bass, 44);
    s.Drum(order, 0, ChKick, Kick, 58);
    s.Drum(order, 32, ChSnare, Snare, 50);
    s.Drum(order, 64, ChSnare, Snare, 56);
    for (int e = 0; e < 6; ++e)
        s.Drum(order, e * 16, ChHat, Hat, 54);
    // The swell: a snare roll and the pads rising; the music box runs up.
    s.Drum(order, 96, ChKick, Kick, 56);
    for (int r = 16; r < 32; ++r)
        s.Drum(order, r * Speed, ChSnare, Snare, 22 + (r - 16) * 2);
    for (int ch : PadChannels)
        s.Ramp(order, 17, 31, ch, 20, 34);
    const std::array<int, 8> run = {N(C, 4), N(E, 4), N(G, 4), N(C, 5),
                                    N(E, 5), N(G, 5), N(C, 6), N(E, 6)};
    for (size_t k = 0; k < run.size(); ++k)
        s.Note(order, 96 + static_cast<int>(k) * 8, ChPluck, run[k], Pluck,
               30 - static_cast<int>(k));
    // The last stroke, then everything fades.
    s.Drum(order, 192, ChKick, Kick, 50);
    s.Drum(order, 192, ChCrash, Crash, 40);
    s.Note(order, 192, ChPluck, N(C, 6), Pluck, 26);
    for (int e = 0; e < 5; ++e)
        s.Drum(order, 192 + e * 32, ChHat, e ? Hat : OpenHat, e ? 56 - e * 5 : 44);
    for (int ch : PadChannels)
        s.Ramp(order, 33, 57, ch, 34, 0);
    s.Ramp(order, 33, 57, ChLead, 64, 0);
    s.Ramp(order, 33, 57, ChDouble, 26, 0);
    s.Ramp(order, 33, 57, ChBass, 44, 0);
    s.Ramp(order, 33, 57, ChPluck, 26, 0);
    for (int ch : {ChLead, ChDouble, ChPadLow, ChPadMid, ChPadHigh, ChPluck, ChBass})
        s.Cut(order, 58 * Speed, ch);
}

// Order 11: a soft echo of the last chord for anyone playing the module on.
void Tail(Song& s) {
    constexpr int order = 11;
    s.Effect(order, 0, ChCrash, 'T', 125);
    const std::array<int, 4> fall = {N(G, 5), N(E, 5), N(C, 5), N(G, 4)};
    for (size_t k = 0; k < fall.size(); ++k)
        s.Note(order, static_cast<int>(k) * 32, ChPluck, fall[k], Pluck,
               16 - 3 * static_cast<int>(k));
    s.Note(order, 0, ChPadMid, N(C, 4), Pad, 10);
    s.Ramp(order, 4, 39, ChPadMid, 10, 0);
    s.Cut(order, 40 * Speed, ChPadMid);
    s.Cut(order, 40 * Speed, ChPluck);
}

// A cell's note as a MIDI number.
int MidiNote(const S3mCell& cell) {
    return ((cell.note >> 4) + 1) * 12 + (cell.note & 15);
}

using TonalNotes = std::array<std::vector<int>, TonalInstruments + 1>;
using SampleOfNote = std::map<std::pair<int, int>, uint8_t>; // (instrument, note) -> sample

// The notes each tonal instrument plays, sorted, each once.
TonalNotes UsedNotes(const Song& s) {
    TonalNotes used;
    for (const S3mPattern& p : s.module.patterns)
        for (const auto& row : p.rows)
            for (const S3mCell& cell : row)
                if (cell.instrument >= Lead && cell.instrument <= Bass && cell.note < S3mNoteOff)
                    used[cell.instrument].push_back(MidiNote(cell));
    for (std::vector<int>& notes : used) {
        std::sort(notes.begin(), notes.end());
        notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
    }
    return used;
}

// Adds an instrument's tuned copies and records which copy plays each note.
void AddTonalSamples(Song& s, int instrument, const std::vector<int>& notes,
                     SampleOfNote& sampleOf) {
    const Timbre timbre = TimbreOf(static_cast<Instrument>(instrument));
    int loopStart = 0;
    const std::vector<int8_t> data = TonalData(timbre, loopStart);
    const std::vector<Copy> copies = TuneCopies(notes, timbre.cycle);
    for (size_t k = 0; k < copies.size(); ++k) {
        S3mSample sample;
        sample.name = std::string(timbre.name) + " " + std::to_string(k + 1);
        sample.data = data;
        sample.loop = true;
        sample.loopStart = static_cast<uint32_t>(loopStart);
        sample.loopEnd = static_cast<uint32_t>(data.size());
        sample.c2spd = copies[k].c2spd;
        s.module.samples.push_back(sample);
        for (int note : copies[k].notes)
            sampleOf[{instrument, note}] = static_cast<uint8_t>(s.module.samples.size());
    }
}

// Puts in each cell the sample that plays it.
void AssignSamples(Song& s, const SampleOfNote& sampleOf, const std::map<int, uint8_t>& drumOf) {
    for (S3mPattern& p : s.module.patterns)
        for (auto& row : p.rows)
            for (S3mCell& cell : row) {
                if (!cell.instrument) continue;
                if (cell.instrument <= Bass)
                    cell.instrument = sampleOf.at({cell.instrument, MidiNote(cell)});
                else
                    cell.instrument = drumOf.at(cell.instrument);
            }
}

// Puts in each tonal cell the sample copy tuned for its note, and lays out
// the samples: the tonal copies first, then the drums.
void PlaceSamples(Song& s) {
    const TonalNotes used = UsedNotes(s);
    SampleOfNote sampleOf;
    for (int instrument = Lead; instrument <= Bass; ++instrument)
        AddTonalSamples(s, instrument, used[static_cast<size_t>(instrument)], sampleOf);
    std::map<int, uint8_t> drumOf;
    for (Instrument drum : {Kick, Snare, Hat, OpenHat, Crash}) {
        s.module.samples.push_back(Drum(drum));
        drumOf[drum] = static_cast<uint8_t>(s.module.samples.size());
    }
    AssignSamples(s, sampleOf, drumOf);
}

} // namespace

S3mModule ComposeSongModule() {
    Song s;
    S3mModule& m = s.module;
    m.title = "rimpaaa - for Eku";
    m.channels = Channels;
    //            lead dbl  pads      pluck bass kick snare hat crash
    m.channelPan = {7, 10, 3, 8, 12, 5, 8, 8, 8, 10, 6, 8, 8, 8, 8, 8};
    m.initialSpeed = Speed;
    m.initialTempo = 125;
    m.globalVolume = 64;
    m.masterVolume = 0x80 | 60; // stereo
    m.patterns.resize(Orders);
    for (int o = 0; o < Orders; ++o)
        m.orders.push_back(static_cast<uint8_t>(o));

    std::array<int, 3> pads = {N(G, 3), N(C, 4), N(E, 4)};
    Pads(s, 0, 2, pads, 16, 3);
    for (int ch : PadChannels) { // the first chord fades in
        s.At(0, 0, ch).volume = 4;
        s.Ramp(0, 1, 12, ch, 5, 16);
    }
    for (int order = 0; order < 3; ++order)
        Intro(s, order);
    CutPads(s, 2, 63 * Speed);
    for (int order = 3; order < 6; ++order)
        Groove(s, order);
    pads = {N(G, 3), N(C, 4), N(E, 4)};
    Verse1(s, 6, pads);
    Verse1(s, 7, pads);
    Verse2(s, 8, pads);
    Verse2(s, 9, pads);
    Finale(s, pads);
    Tail(s);
    PlaceSamples(s);
    return m;
}

std::vector<uint8_t> ComposeSong() {
    return WriteS3m(ComposeSongModule());
}

std::vector<SongVoice> SongVoices() {
    return {{"pulse lead", SongRole::Melody}, {"soft saw", SongRole::Harmony},
            {"pad low", SongRole::Harmony},   {"pad middle", SongRole::Harmony},
            {"pad high", SongRole::Harmony},  {"music box", SongRole::Harmony},
            {"bass", SongRole::Bass},         {"kick", SongRole::Kick},
            {"snare", SongRole::Snare},       {"hats", SongRole::Hats},
            {"crash", SongRole::Cymbal}};
}

// Every beat of the chart, in playing order.
std::vector<SongBeat> SongBeats() {
    std::vector<SongBeat> beats;
    for (int order = 0; order < Orders; ++order)
        for (const Beat& b : ChartOf(order))
            beats.push_back({order, b.tick / Speed, b.tick % Speed, b.downbeat, Tones(*b.chord),
                             b.chord->name});
    return beats;
}

#include "Song.h"

#include "Canvas.h"
#include "s3m/S3mWriter.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

// Samples, 1-based as the patterns name them.
enum Instrument : uint8_t { Lead = 1, Square, Saw, Bass, Kick, Snare, Hat, Crash };
// Channels.
enum Channel : int { ChLead = 0, ChSaw, ChArp, ChBass, ChKick, ChSnare, ChHat, ChPad, Channels };

// Every tonal sample holds 64-sample periods; at this rate middle C (C-5)
// sounds at 261.6 Hz.
constexpr int Period = 64;
constexpr uint32_t TonalRate = 16744;
constexpr uint32_t DrumRate = 22050;

int8_t Clip(double v) {
    if (v > 127) return 127;
    if (v < -127) return -127;
    return static_cast<int8_t>(v);
}

// One period of a waveform at phase i (0..Period-1), in -1..1.
double Wave(Instrument kind, int i) {
    switch (kind) {
    case Lead:
        return i < Period / 4 ? 1 : -1; // 25% pulse
    case Square:
        return i < Period / 2 ? 1 : -1; // 50% square
    case Saw:
        return 1 - 2.0 * i / Period; // falling saw
    default:
        return i < Period / 2 ? -1 + 4.0 * i / Period // triangle
                              : 3 - 4.0 * i / Period;
    }
}

// A tonal sample: `decay` periods falling from full level to `sustain`, then
// `loops` periods at `sustain` that loop. Loop ends fall on period ends, so
// the loop joins without a click.
S3mSample Tone(const char* name, Instrument kind, double amplitude, int decay, double sustain,
               int loops) {
    S3mSample s;
    s.name = name;
    s.c2spd = TonalRate;
    for (int p = 0; p < decay + loops; ++p) {
        const double level = p < decay ? 1 - (1 - sustain) * p / decay : sustain;
        for (int i = 0; i < Period; ++i)
            s.data.push_back(Clip(amplitude * level * Wave(kind, i)));
    }
    s.loop = true;
    s.loopStart = static_cast<uint32_t>(decay * Period);
    s.loopEnd = static_cast<uint32_t>(s.data.size());
    return s;
}

struct Noise {
    uint32_t state = 12345;
    double Next() {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) & 0x7FFF) / 16383.5 - 1;
    }
};

S3mSample Drum(const char* name, Instrument kind) {
    S3mSample s;
    s.name = name;
    s.c2spd = DrumRate;
    Noise noise;
    double phase = 0, previous = 0;
    const int length = kind == Kick ? 6000 : kind == Snare ? 5000 : kind == Hat ? 1400 : 26000;
    for (int n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / DrumRate;
        const double left = 1 - static_cast<double>(n) / length; // reaches 0 at the end
        double v = 0;
        switch (kind) {
        case Kick: {
            // A sine falling from 160 Hz to 45 Hz.
            const double frequency = 45 + 115 / (1 + t * 40);
            phase += frequency / DrumRate;
            v = Sine(phase * 2 * 3.141592653589793) * left * left;
            break;
        }
        case Snare: {
            phase += 190.0 / DrumRate;
            const double body = Sine(phase * 2 * 3.141592653589793) / (1 + t * 60);
            v = (0.7 * noise.Next() * left * left * left + 0.5 * body);
            break;
        }
        default: {
            // Hats and the crash: high-passed noise.
            const double white = noise.Next();
            v = (white - previous) * 0.6 * left * left;
            previous = white;
            break;
        }
        }
        s.data.push_back(Clip(118 * v));
    }
    return s;
}

// Notes as semitones from C-0; S3M's C-5 is middle C.
constexpr int C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11;
constexpr int N(int name, int octave) {
    return octave * 12 + name;
}

struct Song {
    S3mModule module;
    S3mPattern* p = nullptr;

    void Begin() {
        module.patterns.emplace_back();
        p = &module.patterns.back();
        module.orders.push_back(static_cast<uint8_t>(module.patterns.size() - 1));
    }
    S3mCell& At(int row, int channel) {
        return p->rows[static_cast<size_t>(row)][static_cast<size_t>(channel)];
    }
    void Note(int row, int channel, int note, uint8_t instrument, int volume) {
        S3mCell& cell = At(row, channel);
        cell.note = S3mNote(note / 12, note % 12);
        cell.instrument = instrument;
        cell.volume = static_cast<uint8_t>(volume);
    }
    void Effect(int row, int channel, char command, int info) {
        S3mCell& cell = At(row, channel);
        cell.command = S3mCommand(command);
        cell.info = static_cast<uint8_t>(info);
    }
    void Off(int row, int channel) { At(row, channel).note = S3mNoteOff; }
};

struct Chord {
    int root;  // in octave 0
    int third; // 3 or 4 semitones
};
constexpr Chord ChordC{C, 4}, ChordAm{A, 3}, ChordF{F, 4}, ChordG{G, 4};
// The loop of the intro and the groove: C, A minor, F, G, 16 rows each.
constexpr std::array<Chord, 4> Loop = {ChordC, ChordAm, ChordF, ChordG};

// An arpeggio on the square: the chord's root with J (root, third, fifth)
// on every row.
void Arpeggio(Song& s, int row, int rows, Chord chord, int octave, int volume) {
    s.Note(row, ChArp, N(chord.root, octave), Square, volume);
    for (int r = row; r < row + rows; ++r)
        s.Effect(r, ChArp, 'J', chord.third * 16 + 7);
}

void Hats(Song& s, int step, int volume, int offset = 0) {
    for (int r = offset; r < 64; r += step)
        s.Note(r, ChHat, N(C, 5), Hat, r % 4 == 2 ? volume : volume * 2 / 3);
}

void BackBeat(Song& s, int kickVolume, int snareVolume) {
    for (int r = 0; r < 64; r += 16) {
        s.Note(r, ChKick, N(C, 5), Kick, kickVolume);
        s.Note(r + 8, ChKick, N(C, 5), Kick, kickVolume);
        s.Note(r + 4, ChSnare, N(C, 5), Snare, snareVolume);
        s.Note(r + 12, ChSnare, N(C, 5), Snare, snareVolume);
    }
}

void SnareRoll(Song& s, int from, int volume) {
    for (int r = from; r < 64; ++r)
        s.Note(r, ChSnare, N(C, 5), Snare, volume - (63 - r) * 2);
}

// Orders 0-2: the chords fade in, then bass, beat and arpeggios join.
void Intro(Song& s, int part) {
    s.Begin();
    for (int c = 0; c < 4; ++c) {
        const Chord chord = Loop[static_cast<size_t>(c)];
        const int row = c * 16;
        const int fade = part == 0 ? 10 + c * 6 : 32;
        s.Note(row, ChSaw, N(chord.root, 5), Saw, fade);
        s.Note(row, ChPad, N(chord.root + chord.third, 5), Saw, fade * 3 / 4);
        if (part >= 1)
            for (int r = row; r < row + 16; r += 2)
                s.Note(r, ChBass, N(chord.root, r % 4 ? 4 : 3), Bass, 44);
        if (part >= 2) Arpeggio(s, row, 16, chord, 5, 18);
    }
    Hats(s, part == 0 ? 4 : 2, 18, 2);
    if (part == 1)
        for (int r = 0; r < 64; r += 8)
            s.Note(r, ChKick, N(C, 5), Kick, 48);
    if (part == 2) {
        for (int r = 0; r < 64; r += 4)
            s.Note(r, ChKick, N(C, 5), Kick, 52);
        for (int r = 4; r < 48; r += 8)
            s.Note(r, ChSnare, N(C, 5), Snare, 38);
        SnareRoll(s, 48, 46);
    }
}

// Orders 3-5: a walking bass, offbeat stabs, and the crab's sideways riff.
void Groove(Song& s, int part) {
    s.Begin();
    static constexpr std::array<std::array<int, 4>, 4> Walk = {
        {{N(C, 4), N(E, 4), N(G, 4), N(A, 4)},
         {N(A, 3), N(C, 4), N(E, 4), N(C, 4)},
         {N(F, 3), N(A, 3), N(C, 4), N(D, 4)},
         {N(G, 3), N(B, 3), N(D, 4), N(B, 3)}}};
    static constexpr std::array<std::array<int, 16>, 4> Riff = {{
        {N(E, 5), 0, N(G, 5), 0, N(E, 5), 0, N(G, 5), 0, N(C, 6), 0, 0, 0, N(G, 5), 0, 0, 0},
        {N(E, 5), 0, N(A, 5), 0, N(E, 5), 0, N(A, 5), 0, N(C, 6), 0, 0, 0, N(A, 5), 0, 0, 0},
        {N(F, 5), 0, N(A, 5), 0, N(F, 5), 0, N(A, 5), 0, N(C, 6), 0, 0, 0, N(A, 5), 0, 0, 0},
        {N(G, 5), 0, N(B, 5), 0, N(D, 6), 0, N(B, 5), 0, N(G, 5), 0, N(F, 5), 0, N(D, 5), 0,
         N(B, 4), 0},
    }};
    for (int c = 0; c < 4; ++c) {
        const Chord chord = Loop[static_cast<size_t>(c)];
        for (int q = 0; q < 4; ++q)
            s.Note(c * 16 + q * 4, ChBass, Walk[static_cast<size_t>(c)][static_cast<size_t>(q)],
                   Bass, 50);
        for (int q = 0; q < 4; ++q) {
            const int r = c * 16 + q * 4 + 2;
            s.Note(r, ChArp, N(chord.root, 5), Square, 22);
            s.Effect(r, ChArp, 'J', chord.third * 16 + 7);
            s.Effect(r + 1, ChArp, 'S', 0xC2); // cut: a short stab
        }
        if (part >= 1)
            for (int i = 0; i < 16; ++i) {
                const int note = Riff[static_cast<size_t>(c)][static_cast<size_t>(i)];
                if (!note) continue;
                s.Note(c * 16 + i, ChLead, note, Lead, 34);
                s.Effect(c * 16 + i, ChLead, 'S', 0xC4);
            }
        if (part == 2) s.Note(c * 16, ChSaw, N(chord.root + chord.third, 4), Saw, 22);
    }
    BackBeat(s, 54, 42);
    for (int r = 6; r < 64; r += 16)
        s.Note(r, ChKick, N(C, 5), Kick, 40);
    Hats(s, 2, 22);
    if (part == 2) {
        SnareRoll(s, 56, 46);
        // "Hap-py": the tune's pickup leads into the head scene.
        for (int r = 56; r < 64; ++r)
            s.At(r, ChLead) = S3mCell{};
        s.Note(60, ChLead, N(G, 5), Lead, 44);
        s.Note(62, ChLead, N(G, 5), Lead, 44);
    }
}

// The birthday tune, a phrase of 32 rows: the sung notes, each held until
// the next one, and the pickup of the next phrase at rows 28 and 30.
struct Phrase {
    std::array<int, 5> notes;    // 0: none
    std::array<Chord, 4> chords; // one per 8 rows
    int pickup;
};
constexpr std::array<Phrase, 4> Tune = {{
    {{N(A, 5), N(G, 5), N(C, 6), N(B, 5), 0}, {ChordC, ChordC, ChordG, ChordG}, N(G, 5)},
    {{N(A, 5), N(G, 5), N(D, 6), N(C, 6), 0}, {ChordG, ChordG, ChordC, ChordC}, N(G, 5)},
    {{N(G, 6), N(E, 6), N(C, 6), N(B, 5), N(A, 5)}, {ChordC, ChordC, ChordF, ChordF}, N(F, 6)},
    {{N(E, 6), N(C, 6), N(D, 6), N(C, 6), 0}, {ChordC, ChordG, ChordC, ChordC}, N(G, 5)},
}};

void SingPhrase(Song& s, int base, const Phrase& phrase, int volume, bool harmony) {
    for (size_t i = 0; i < phrase.notes.size(); ++i) {
        if (!phrase.notes[i]) continue;
        const int row = base + static_cast<int>(i) * 4;
        s.Note(row, ChLead, phrase.notes[i], Lead, volume);
        if (harmony) s.Note(row, ChSaw, phrase.notes[i] - 12, Saw, volume / 2);
    }
    s.Off(base + 26, ChLead);
    if (harmony) s.Off(base + 26, ChSaw);
    s.Note(base + 28, ChLead, phrase.pickup, Lead, volume);
    s.Note(base + 30, ChLead, phrase.pickup, Lead, volume);
    for (int q = 0; q < 4; ++q) {
        const Chord chord = phrase.chords[static_cast<size_t>(q)];
        const int row = base + q * 8;
        Arpeggio(s, row, 8, chord, 5, 16);
        s.Note(row, ChBass, N(chord.root, 4), Bass, 50);
        s.Note(row + 4, ChBass, N(chord.root + 7, 3), Bass, 46);
    }
}

// Orders 6-9: "Happy Birthday" twice, the second time fuller.
void Tune1(Song& s, int half) {
    s.Begin();
    SingPhrase(s, 0, Tune[static_cast<size_t>(half * 2)], 40, half == 1);
    SingPhrase(s, 32, Tune[static_cast<size_t>(half * 2 + 1)], 40, half == 1);
    BackBeat(s, 52, 40);
    Hats(s, 2, 20);
}

void Tune2(Song& s, int half) {
    s.Begin();
    SingPhrase(s, 0, Tune[static_cast<size_t>(half * 2)], 44, true);
    SingPhrase(s, 32, Tune[static_cast<size_t>(half * 2 + 1)], 44, true);
    BackBeat(s, 56, 44);
    Hats(s, 1, 18);
    for (int r = 0; r < 64; r += 8)
        s.Note(r, ChPad, N(Tune[static_cast<size_t>(half * 2)].chords[0].root, 4), Saw, 14);
    if (half == 1) SnareRoll(s, 56, 48);
}

// Order 10: "dear Eku" once more and the last line held out.
void Finale(Song& s) {
    s.Begin();
    SingPhrase(s, 0, Tune[2], 46, true);
    const int last[] = {N(E, 6), N(C, 6), N(D, 6)};
    for (int i = 0; i < 3; ++i) {
        s.Note(32 + i * 4, ChLead, last[i], Lead, 46);
        s.Note(32 + i * 4, ChSaw, last[i] - 12, Saw, 24);
    }
    s.Note(44, ChLead, N(C, 6), Lead, 48);
    s.Note(44, ChSaw, N(E, 5), Saw, 26);
    s.Note(44, ChPad, N(G, 4), Saw, 22);
    s.Note(44, ChHat, N(C, 5), Crash, 50);
    Arpeggio(s, 32, 12, ChordC, 5, 18);
    Arpeggio(s, 44, 20, ChordC, 6, 16);
    for (int r = 32; r < 64; r += 4)
        s.Note(r, ChBass, N(r < 40 ? C : r < 44 ? G : C, r < 44 ? 4 : 3), Bass, 50);
    for (int r = 0; r < 32; r += 16) {
        s.Note(r, ChKick, N(C, 5), Kick, 56);
        s.Note(r + 8, ChKick, N(C, 5), Kick, 56);
        s.Note(r + 4, ChSnare, N(C, 5), Snare, 44);
        s.Note(r + 12, ChSnare, N(C, 5), Snare, 44);
    }
    for (int r = 32; r < 44; ++r)
        s.Note(r, ChSnare, N(C, 5), Snare, 30 + (r - 32) * 2);
    s.Note(44, ChKick, N(C, 5), Kick, 60);
    for (int r = 0; r < 44; r += 2)
        s.Note(r, ChHat, N(C, 5), Hat, 20);
}

// Order 11: the closing chord rings and fades; the greeting ends here.
void Closing(Song& s) {
    s.Begin();
    s.Note(0, ChLead, N(C, 6), Lead, 40);
    s.Note(0, ChSaw, N(G, 5), Saw, 28);
    s.Note(0, ChPad, N(E, 5), Saw, 24);
    s.Note(0, ChArp, N(C, 5), Square, 22);
    s.Note(0, ChBass, N(C, 3), Bass, 54);
    s.Note(0, ChKick, N(C, 5), Kick, 56);
    s.Note(0, ChHat, N(C, 5), Crash, 48);
    for (int r = 8; r < 64; ++r)
        for (int ch : {ChLead, ChSaw, ChPad, ChArp, ChBass})
            s.Effect(r, ch, 'D', 0x01);
    for (int ch : {ChLead, ChSaw, ChPad, ChArp, ChBass})
        s.Off(63, ch);
}

} // namespace

S3mModule ComposeSongModule() {
    Song s;
    S3mModule& m = s.module;
    m.title = "rimpaaa - for Eku";
    m.channels = Channels;
    m.channelPan = {6, 9, 4, 8, 8, 7, 10, 11, 8, 8, 8, 8, 8, 8, 8, 8};
    m.initialSpeed = 6;
    m.initialTempo = 125;
    m.globalVolume = 64;
    m.masterVolume = 0x80 | 68; // stereo; level set for a peak near -2 dBFS
    m.samples = {
        Tone("pulse lead", Lead, 100, 40, 0.6, 8),
        Tone("square", Square, 90, 20, 0.7, 8),
        Tone("saw", Saw, 100, 1, 1, 8),
        Tone("triangle bass", Bass, 120, 1, 1, 8),
        Drum("kick", Kick),
        Drum("snare", Snare),
        Drum("hat", Hat),
        Drum("crash", Crash),
    };
    for (int part = 0; part < 3; ++part)
        Intro(s, part);
    for (int part = 0; part < 3; ++part)
        Groove(s, part);
    Tune1(s, 0);
    Tune1(s, 1);
    Tune2(s, 0);
    Tune2(s, 1);
    Finale(s);
    Closing(s);
    return m;
}

std::vector<uint8_t> ComposeSong() {
    return WriteS3m(ComposeSongModule());
}

std::vector<SongVoice> SongVoices() {
    return {{"pulse lead", SongRole::Melody},
            {"saw", SongRole::Harmony},
            {"square arpeggio", SongRole::Harmony},
            {"triangle bass", SongRole::Bass},
            {"kick", SongRole::Kick},
            {"snare", SongRole::Snare},
            {"hats", SongRole::Hats},
            {"pad", SongRole::Harmony}};
}

namespace {

uint16_t Tones(Chord chord) {
    return static_cast<uint16_t>(1u << chord.root | 1u << ((chord.root + chord.third) % 12) |
                                 1u << ((chord.root + 7) % 12));
}

const char* Name(Chord chord) {
    switch (chord.root) {
    case C:
        return "C";
    case F:
        return "F";
    case G:
        return "G";
    default:
        return "Am";
    }
}

} // namespace

// Four beats of four rows to a bar; the loop's chords in orders 0-5, the
// tune's phrases in 6-9, C in the finale and the closing order.
std::vector<SongBeat> SongBeats() {
    std::vector<SongBeat> beats;
    for (int order = 0; order < 12; ++order)
        for (int row = 0; row < 64; row += 4) {
            Chord chord = ChordC;
            if (order < 6)
                chord = Loop[static_cast<size_t>(row / 16)];
            else if (order < 10)
                chord = Tune[static_cast<size_t>((order - 6) % 2 * 2 + row / 32)]
                            .chords[static_cast<size_t>(row % 32 / 8)];
            else if (order == 10 && row < 32)
                chord = Tune[2].chords[static_cast<size_t>(row / 8)];
            beats.push_back({order, row, 0, row % 16 == 0, Tones(chord), Name(chord)});
        }
    return beats;
}

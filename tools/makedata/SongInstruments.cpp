// The instruments' sounds, synthesized from plain arithmetic so that every
// machine makes the same bytes: the tonal instruments' band-limited
// waveforms with their envelopes and loops, and the drums.
#include "Compose.h"
#include "FixedSine.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Compose {

namespace {

constexpr double Pi = std::numbers::pi;

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

// ---- Tonal instruments ------------------------------------------------------

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

// The pulse of the given duty as its first `count` harmonics: no DC, soft top end.
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

double Waveform(const Timbre& t, int i) {
    double v = 0;
    for (size_t n = 0; n < t.harmonics.size(); ++n)
        v += t.harmonics[n] *
             Sine(2 * Pi * ((static_cast<double>(n) + 1) * i / t.cycle + t.phases[n]));
    return v;
}

// The envelope at `at` periods from the start.
double Envelope(const Timbre& t, double at) {
    if (at < t.attack) return Sine(0.5 * Pi * at / t.attack); // rises from zero
    if (at < t.attack + t.decay) {
        const double d = (at - t.attack) / t.decay;
        return t.sustain + (1 - t.sustain) * (1 - d) * (1 - d);
    }
    const double l = (at - t.attack - t.decay) / t.loop;
    return t.sustain * (1 - t.tremolo * 0.5 * (1 - Cosine(2 * Pi * l)));
}

// ---- Drums ------------------------------------------------------------------

// Drums at 22050 Hz, played at their own rate (note C-4).
constexpr uint32_t DrumRate = 22050;

struct DrumKind {
    const char* name;
    // In whole paragraphs: the file then ends with the crash's last byte,
    // not with padding.
    int length;
    double level; // peak, of 127
};

DrumKind DrumKindOf(Instrument drum) {
    switch (drum) {
    case Kick:
        return {"kick", 8992, 124};
    case Snare:
        return {"snare", 6592, 120};
    case Hat:
        return {"closed hat", 1296, 120};
    case OpenHat:
        return {"open hat", 6000, 120};
    default:
        return {"crash", 32992, 100};
    }
}

struct Noise {
    uint32_t state = 12345;
    double Next() {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) & 0x7FFF) / 16383.5 - 1;
    }
};

// What a drum carries from one sample to the next.
struct DrumState {
    Noise noise;
    double phase = 0, lowPass = 0, previous = 0, highPass = 0;
};

// The drum's sound at `t` seconds, `left` the share of its length to come.
double DrumSound(Instrument drum, DrumState& d, double t, double left) {
    const double white = d.noise.Next();
    switch (drum) {
    case Kick: {
        // A sine sweeping from 150 Hz down to 45 Hz over a quarter second,
        // with a short knock of filtered noise on top.
        const double sweep = t < 0.25 ? (1 - t / 0.25) * (1 - t / 0.25) : 0;
        d.phase += (45 + 105 * sweep) / DrumRate;
        d.lowPass += 0.25 * (white - d.lowPass);
        return Sine(2 * Pi * d.phase) * Exp(-t / 0.16) * left + 0.35 * d.lowPass * Exp(-t / 0.006);
    }
    case Snare:
        // A body falling from 215 to 175 Hz under bright noise.
        d.phase += (175 + 40 * Exp(-t / 0.02)) / DrumRate;
        d.lowPass += 0.55 * (white - d.lowPass);
        return 0.55 * Sine(2 * Pi * d.phase) * Exp(-t / 0.045) +
               0.75 * d.lowPass * Exp(-t / 0.09) * left;
    default: {
        // Cymbals: high-passed noise.
        d.highPass = white - d.previous;
        d.previous = white;
        const double decay = drum == Hat ? 0.018 : drum == OpenHat ? 0.09 : 0.55;
        return 0.6 * d.highPass * Exp(-t / decay) * left;
    }
    }
}

} // namespace

TonalSound TonalSample(Instrument instrument) {
    const Timbre t = TimbreOf(instrument);
    double peak = 0;
    for (int i = 0; i < t.cycle; ++i)
        peak = std::max(peak, std::fabs(Waveform(t, i)));
    TonalSound sound{{}, t.cycle};
    S3mSample& s = sound.sample;
    s.name = t.name;
    const int periods = t.attack + t.decay + t.loop;
    for (int p = 0; p < periods; ++p)
        for (int i = 0; i < t.cycle; ++i) {
            const double level = Envelope(t, p + static_cast<double>(i) / t.cycle);
            s.data.push_back(Clip(t.level * level * Waveform(t, i) / peak));
        }
    s.loop = true;
    s.loopStart = static_cast<uint32_t>((t.attack + t.decay) * t.cycle);
    s.loopEnd = static_cast<uint32_t>(s.data.size());
    return sound;
}

S3mSample DrumSample(Instrument drum) {
    const DrumKind kind = DrumKindOf(drum);
    DrumState state;
    std::vector<double> v(static_cast<size_t>(kind.length));
    for (int n = 0; n < kind.length; ++n) {
        const double t = static_cast<double>(n) / DrumRate;
        const double left = 1 - static_cast<double>(n) / kind.length; // reaches 0 at the end
        const double attack = std::min(1.0, t / 0.0015);              // no click at the start
        v[static_cast<size_t>(n)] = DrumSound(drum, state, t, left) * attack;
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
    S3mSample s;
    s.name = kind.name;
    s.c2spd = DrumRate;
    for (size_t n = 0; n < v.size(); ++n) {
        const double fadeOut = std::min(1.0, static_cast<double>(v.size() - n) / 200);
        s.data.push_back(Clip(kind.level * v[n] / peak * fadeOut));
    }
    return s;
}

} // namespace Compose

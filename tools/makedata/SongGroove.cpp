// Orders 3-5, the groove the crab walks to: a walking bass, offbeat stabs,
// the crab's riff and a beat in 4/4, a new turn in each order. Order 3: the
// music box plays the riff. Order 4: the lead takes it and answers it in
// the Am and G7 bars, the stabs wait for the second half. Order 5: the lead
// calls an octave down and the music box answers, the bass drives in
// eighths over four on the floor, and the last bar breaks for the "Hap-py"
// that starts the verse.
#include "Compose.h"

namespace Compose {

namespace {

// The walking bass, a bar per chord of the loop.
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

// The answer to the riff in the Am and G7 bars: syncopated, chord tones only.
constexpr std::array<std::array<int, 16>, 2> Answer = {{
    {N(C, 6), 0, 0, N(A, 5), 0, 0, N(E, 5), 0, N(A, 5), 0, 0, N(C, 6), 0, 0, N(E, 5), 0},
    {N(G, 5), 0, 0, N(D, 6), 0, 0, N(B, 5), 0, N(F, 5), 0, 0, N(G, 5), 0, 0, N(D, 5), 0},
}};

// One bar of the bass; a break bar (`last`) keeps its first half. Order 5
// jumps to the octave on every "and".
void GrooveBass(Song& s, int order, int bar, bool last) {
    const int t = bar * BarTicks;
    for (int q = 0; q < (last ? 2 : 4); ++q) {
        const int note = Walk[static_cast<size_t>(bar)][static_cast<size_t>(q)];
        s.Note(order, t + q * 24, ChBass, note, Bass, 36);
        if (order == 5) s.Note(order, t + q * 24 + 12, ChBass, note + 12, Bass, 30);
    }
}

// Stabs of the soft saw on the offbeats, voice-led like the pads.
void GrooveStabs(Song& s, int order, int bar, bool last, std::array<int, 3>& stab) {
    const int t = bar * BarTicks;
    stab = Voicing(stab, LoopChord(bar).pads, N(G, 3), N(G, 4));
    if (order == 4 && bar < 2) return; // the lead alone with the beat
    for (int q = 0; q < (last ? 2 : 4); ++q) {
        const int at = t + q * 24 + 12;
        for (size_t i = 0; i < 3; ++i) {
            s.Note(order, at, PadChannels[i], stab[i], Soft, 32);
            s.Cut(order, at + 8, PadChannels[i]);
        }
    }
}

// Who plays a bar of the riff, or of its answer, and in which octave.
struct RiffBar {
    const std::array<int, 16>* notes;
    int channel;
    int shift;
};
RiffBar RiffOf(int order, int bar) {
    const bool answer = order >= 4 && bar % 2;
    const bool box = order == 3 || (order == 5 && answer);
    return {answer ? &Answer[static_cast<size_t>(bar / 2)] : &Riff[static_cast<size_t>(bar)],
            box ? ChPluck : ChLead, order == 5 && !answer ? -12 : 0};
}

void GrooveRiff(Song& s, int order, int bar, bool last) {
    const int t = bar * BarTicks;
    const RiffBar part = RiffOf(order, bar);
    const bool box = part.channel == ChPluck;
    for (int i = 0; i < (last ? 8 : 16); ++i) {
        const int note = (*part.notes)[static_cast<size_t>(i)];
        if (!note) continue;
        s.Note(order, t + i * Speed, part.channel, note + part.shift, box ? Pluck : Lead,
               box ? 34 : 60);
        if (!box || order == 5) s.Cut(order, t + i * Speed + 9, part.channel);
    }
}

// Drums: kick on one, three and the "and" of two, and in order 5 on every
// beat; snare on two and four.
void GrooveDrums(Song& s, int order, int bar, bool last) {
    const int t = bar * BarTicks;
    s.Drum(order, t, ChKick, Kick, 58);
    if (!last) {
        s.Drum(order, t + 36, ChKick, Kick, 44);
        s.Drum(order, t + 48, ChKick, Kick, 56);
        s.Drum(order, t + 72, ChSnare, Snare, 58);
    }
    if (order == 5 && !last) { // four on the floor
        s.Drum(order, t + 24, ChKick, Kick, 50);
        s.Drum(order, t + 72, ChKick, Kick, 50);
    }
    s.Drum(order, t + 24, ChSnare, Snare, 58);
    for (int i = 0; i < (last ? 8 : 16); ++i) {
        const int volume = i % 2 ? 36 : i % 4 == 2 ? 40 : 48;
        s.Drum(order, t + i * Speed, ChHat, i % 4 == 2 ? OpenHat : Hat, volume);
    }
}

} // namespace

void Groove(Song& s, int order) {
    const bool breakBar = order == 5; // the last bar makes room for "Hap-py"
    std::array<int, 3> stab = FirstVoicing;
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
        // Break: the bass and the lead stop, and a snare roll rises into the
        // pickup in the verse's sixteenths (a third of a beat of 3/4 is 8
        // ticks), so that "Hap-py" lands on its strokes.
        s.Cut(order, 3 * BarTicks + 48, ChBass);
        s.Cut(order, 3 * BarTicks + 48, ChLead);
        SnareRoll(s, order, 3 * BarTicks + 48, OrderTicks - 8, 8, 32, 6);
        Pickup(s, order, N(G, 4), 58, 0);
    }
}

} // namespace Compose

// Orders 0-2, the intro: the pads fade in on C-Am-F-G7 with a music box; the
// bass and a beat join in order 1, snare, eighth-note hats and arpeggios in
// order 2, which ends in a snare fill into the groove.
#include "Compose.h"

namespace Compose {

namespace {

// The music box: the chord's tones climbing, one a beat (order 0), then in
// eighths (orders 1-2).
void IntroMusicBox(Song& s, int order, const Beat& beat) {
    const Chord& chord = *beat.chord;
    const int inBar = beat.tick % BarTicks;
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
    const int inBar = beat.tick % BarTicks;
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
        const int t = bar * BarTicks;
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

} // namespace

void Intro(Song& s) {
    std::array<int, 3> pads = FirstVoicing;
    Pads(s, 0, 2, pads, 16, 3);
    for (int ch : PadChannels) { // the first chord fades in
        s.At(0, 0, ch).volume = 4;
        s.Ramp(0, 1, 12, ch, 5, 16);
    }
    for (int order = 0; order < 3; ++order) {
        for (const Beat& beat : ChartOf(order)) {
            IntroMusicBox(s, order, beat);
            if (order >= 1) IntroBass(s, order, beat);
        }
        if (order >= 1) IntroDrums(s, order);
    }
    // A fill into the groove: sixteenths on the snare, growing.
    SnareRoll(s, 2, 56 * Speed, 63 * Speed, Speed, 34, 4);
    s.Cut(2, 63 * Speed, ChHat);
    CutPads(s, 2, 63 * Speed);
}

} // namespace Compose

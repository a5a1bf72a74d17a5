// Orders 6-9, the verses: "Happy Birthday" sung twice in 3/4 over the pads
// and a waltz; the second verse doubles the tune an octave below, adds the
// music box's arpeggios and plays the beat fuller.
#include "Compose.h"

namespace Compose {

namespace {

// The tune, eight bars of 3/4.
const std::vector<Sung> VerseTune = {
    {0, 0, N(A, 4)},  {0, 32, N(G, 4)}, {0, 64, N(C, 5)}, {1, 0, N(B, 4)},  {1, 64, N(G, 4)},
    {1, 88, N(G, 4)}, {2, 0, N(A, 4)},  {2, 32, N(G, 4)}, {2, 64, N(D, 5)}, {3, 0, N(C, 5)},
    {3, 64, N(G, 4)}, {3, 88, N(G, 4)}, {4, 0, N(G, 5)},  {4, 32, N(E, 5)}, {4, 64, N(C, 5)},
    {5, 0, N(B, 4)},  {5, 32, N(A, 4)}, {5, 64, N(F, 5)}, {5, 88, N(F, 5)}, {6, 0, N(E, 5)},
    {6, 32, N(C, 5)}, {6, 64, N(D, 5)}, {7, 0, N(C, 5)},
};

// The hats in eighths, the offbeats softer; the second verse opens the last
// one.
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
        const int t = bar * BarTicks;
        s.Drum(order, t, ChKick, Kick, full ? 64 : 62);
        if (full) s.Drum(order, t + 80, ChKick, Kick, 40);
        s.Drum(order, t + 32, ChSnare, Snare, full ? 58 : 54);
        s.Drum(order, t + 64, ChSnare, Snare, full ? 62 : 58);
        WaltzHats(s, order, t, full);
    }
}

// The bass: the root on one and the fifth on three while a chord holds, the
// root wherever the chord changes.
void WaltzBass(Song& s, int order, int volume) {
    const Chord* previous = nullptr;
    for (const Beat& beat : ChartOf(order)) {
        const int inBar = beat.tick % BarTicks;
        if (beat.chord != previous || inBar == 0)
            s.Note(order, beat.tick, ChBass, BassNote(beat.chord->root), Bass, volume);
        else if (inBar == 64)
            s.Note(order, beat.tick, ChBass, BassNote(Fifth(*beat.chord)), Bass, volume - 6);
        previous = beat.chord;
    }
}

// The music box in the second verse: eighths climbing the beat's chord,
// bells above the tune's register (G5 to F#6).
void WaltzArpeggio(Song& s, int order, int volume) {
    for (const Beat& beat : ChartOf(order)) {
        const Chord& chord = *beat.chord;
        for (int k = 0; k < 2; ++k) {
            const int pc = k ? chord.pads[1] : chord.root;
            const int note = N(pc, 5) + (pc < G ? 12 : 0);
            s.Note(order, beat.tick + k * 16, ChPluck, note, Pluck, k ? volume - 4 : volume);
        }
    }
}

} // namespace

void Verse1(Song& s, int order, std::array<int, 3>& pads) {
    const int half = order - 6;
    Sing(s, order, VerseTune, half * 4, 60, 0, half ? PickupTick : OrderTicks);
    if (half == 1) Pickup(s, order, N(G, 4), 60, 0);
    Pads(s, order, order, pads, 16);
    WaltzBass(s, order, 42);
    Waltz(s, order, false);
}

void Verse2(Song& s, int order, std::array<int, 3>& pads) {
    const int half = order - 8;
    Sing(s, order, VerseTune, half * 4, 64, 24, half ? PickupTick : OrderTicks);
    if (half == 1) Pickup(s, order, N(F, 5), 64, 24);
    Pads(s, order, order, pads, 17);
    WaltzBass(s, order, 46);
    WaltzArpeggio(s, order, 22);
    Waltz(s, order, true);
    if (half == 0) s.Drum(order, 0, ChCrash, Crash, 46);
    if (half == 1) {
        for (int e = 0; e < 4; ++e) // a fill on the last beat
            s.Drum(order, 3 * BarTicks + 64 + e * 8, ChSnare, Snare, 44 + e * 5);
        s.Cut(order, OrderTicks - 1, ChPluck); // the finale's first chord is C
    }
}

} // namespace Compose

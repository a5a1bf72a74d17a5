// Orders 10-11, the ending: the last line once more, slowing down, the final
// C swelling and fading inside order 10; then a soft tail for anyone playing
// the module on.
#include "Compose.h"

namespace Compose {

// "Hap-py birth-day to you" once more, slowing down. The final C swells over
// a snare roll in the second bar, is struck once more at the third and fades
// to silence by row 58, before the order ends.
void Finale(Song& s, std::array<int, 3>& pads) {
    constexpr int order = 10;
    const std::vector<Sung> last = {
        {0, 0, N(E, 5)}, {0, 32, N(C, 5)}, {0, 64, N(D, 5)}, {1, 0, N(C, 5)}};
    Sing(s, order, last, 0, 64, 20, 58 * Speed);
    Pads(s, order, order, pads, 13);
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
    // The swell: a snare roll and the pads rising; the music box runs up and
    // back above the held C.
    s.Drum(order, 96, ChKick, Kick, 56);
    SnareRoll(s, order, 16 * Speed, 31 * Speed, Speed, 22, 2);
    for (int ch : PadChannels)
        s.Ramp(order, 17, 31, ch, 13, 20);
    const std::array<int, 8> run = {N(G, 5), N(C, 6), N(E, 6), N(G, 6),
                                    N(C, 7), N(G, 6), N(E, 6), N(C, 6)};
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
        s.Ramp(order, 33, 57, ch, 20, 0);
    s.Ramp(order, 33, 57, ChLead, 64, 0);
    s.Ramp(order, 33, 57, ChDouble, 20, 0);
    s.Ramp(order, 33, 57, ChBass, 44, 0);
    s.Ramp(order, 33, 57, ChPluck, 26, 0);
    for (int ch : {ChLead, ChDouble, ChPadLow, ChPadMid, ChPadHigh, ChPluck, ChBass})
        s.Cut(order, 58 * Speed, ch);
}

// A soft echo of the last chord.
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

} // namespace Compose

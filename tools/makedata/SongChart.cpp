// The chord chart, the one source of the song's harmony: the chords of the
// 4/4 loop, of the verse and of the ending, the beat each one falls on, and
// how three voices move from chord to chord.
#include "Compose.h"

#include <algorithm>
#include <cstdlib>

namespace Compose {

namespace {

constexpr Chord ChC{"C", C, {C, E, G}, -1};
constexpr Chord ChC6{"C6", C, {C, E, G}, A};
constexpr Chord ChAm{"Am", A, {A, C, E}, -1};
constexpr Chord ChF{"F", F, {F, A, C}, -1};
constexpr Chord ChF6{"F6", F, {F, A, C}, D};
constexpr Chord ChG7{"G7", G, {G, B, F}, D};
constexpr Chord ChG7sus4{"G7sus4", G, {G, C, F}, D}; // the tune's C over G, falling to B
constexpr Chord ChDm7{"Dm7", D, {D, F, C}, A};
constexpr Chord ChEm{"Em", E, {E, G, B}, -1};

// Orders 0-5 are in 4/4, a bar of 16 rows and a beat of 4. From order 6 on
// the tune is in 3/4 in the same 16-row bars: beats at row 0, row 5 tick 2
// and row 10 tick 4, 32 ticks apart.
bool ThreeFour(int order) {
    return order >= 6;
}

// The loop of orders 0-5, a chord a bar; in the groove the walking bass
// passes through the sixth on the fourth beat of C and F.
constexpr std::array<const Chord*, 4> Loop = {&ChC, &ChAm, &ChF, &ChG7};
const Chord* LoopBeat(int order, int bar, int beat) {
    if (order >= 3 && beat == 3 && bar == 0) return &ChC6;
    if (order >= 3 && beat == 3 && bar == 2) return &ChF6;
    return Loop[static_cast<size_t>(bar)];
}

using Bar = std::array<const Chord*, 3>; // 3/4: one chord per beat
// The verse, eight bars of 3/4. Each "to" is sung over the dominant.
const std::array<Bar, 8> Verse = {{
    {&ChC6, &ChC, &ChG7sus4},
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

// The chords of a bar of 3/4.
Bar WaltzBar(int order, int bar) {
    if (order == 10) return Ending[static_cast<size_t>(bar)];
    if (order == 9 && bar == 3) return {&ChC, &ChC, &ChG7}; // leads into the last line
    if (order <= 9) return Verse[static_cast<size_t>((order - 6) % 2 * 4 + bar)];
    return {&ChC, &ChC, &ChC};
}

} // namespace

uint16_t Tones(const Chord& chord) {
    uint16_t t = 0;
    for (int pc : chord.pads)
        t = static_cast<uint16_t>(t | 1u << pc);
    if (chord.extra >= 0) t = static_cast<uint16_t>(t | 1u << chord.extra);
    // A triad's fifth belongs to it even where the pads leave it out.
    return static_cast<uint16_t>(t | 1u << Fifth(chord));
}

std::vector<Beat> ChartOf(int order) {
    std::vector<Beat> beats;
    for (int bar = 0; bar < 4; ++bar) {
        if (!ThreeFour(order)) {
            for (int beat = 0; beat < 4; ++beat)
                beats.push_back(
                    {bar * BarTicks + beat * 24, LoopBeat(order, bar, beat), beat == 0});
            continue;
        }
        const Bar chords = WaltzBar(order, bar);
        for (int beat = 0; beat < 3; ++beat)
            beats.push_back(
                {bar * BarTicks + beat * 32, chords[static_cast<size_t>(beat)], beat == 0});
    }
    return beats;
}

const Chord& LoopChord(int bar) {
    return *Loop[static_cast<size_t>(bar)];
}

// Every order of the voices is tried; common tones are held and the others
// move by step.
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

} // namespace Compose

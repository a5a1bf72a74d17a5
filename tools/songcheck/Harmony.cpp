// The chord chart against the sounding notes: notes outside the chord on a
// downbeat or a change of chord, and sharp intervals between voices.
#include "songcheck/Harmony.h"

#include "songcheck/Text.h"

namespace {

struct Sounding {
    int channel, pitch;
};

const char* IntervalName(int semitones) {
    switch (semitones % 12) {
    case 1:
        return semitones > 12 ? "minor ninth" : "minor second";
    case 11:
        return "major seventh";
    default:
        return "tritone";
    }
}

// The sounding pitch of a note `up` semitones above n: measured when it could be.
int PitchOf(const ToneTable& tones, const SheetNote& n, int up) {
    const auto t = tones.find({n.sample, n.note + up});
    return t != tones.end() && t->second.pitch >= 0 ? t->second.pitch : n.note + up + 12;
}

// The tonal notes sounding at tick `at`.
std::vector<Sounding> SoundingAt(const SongAnalysis& a, const Sheet& sheet,
                                 const std::vector<SongVoice>& voices, const ToneTable& tones,
                                 int64_t at) {
    std::vector<Sounding> sounding;
    for (size_t k = 0; k < a.notes.size(); ++k) {
        const SheetNote& n = a.notes[k];
        if (n.start > at || at >= n.end || !Tonal(voices[size_t(n.channel)].role)) continue;
        sounding.push_back({n.channel, PitchOf(tones, n, 0)});
        // The notes above sound only on the rows that arpeggiate.
        for (const Sheet::Arpeggio& j : sheet.arpeggios)
            if (j.note == k && j.from <= at && at < j.to)
                for (int up = 1; up < 16; ++up)
                    if (j.ups >> up & 1) sounding.push_back({n.channel, PitchOf(tones, n, up)});
    }
    return sounding;
}

// The clashes on one beat: on a downbeat or a change of chord every note
// outside it, and always the sharp intervals between voices outside it.
void BeatClashes(const SongBeat& b, bool change, const std::vector<Sounding>& sounding,
                 const std::vector<SongVoice>& voices, std::vector<Clash>& clashes) {
    auto in = [&](int pitch) { return b.tones >> (pitch % 12) & 1; };
    auto who = [&](const Sounding& s) {
        return PitchName(s.pitch) + " (" + voices[size_t(s.channel)].name + ")";
    };
    if (b.downbeat || change)
        for (const Sounding& s : sounding)
            if (!in(s.pitch))
                clashes.push_back({b.order, b.row, b.tick, who(s) + " is not in " + b.chord});
    for (size_t x = 0; x < sounding.size(); ++x)
        for (size_t y = x + 1; y < sounding.size(); ++y) {
            const Sounding &p = sounding[x], &q = sounding[y];
            if (p.channel == q.channel) continue;
            const int interval = std::abs(p.pitch - q.pitch);
            const int kind = interval % 12;
            if (kind != 1 && kind != 11 && kind != 6) continue;
            if (in(p.pitch) && in(q.pitch)) continue; // inside the declared chord
            const std::string what =
                who(p) + " against " + who(q) + ": " + IntervalName(interval) + " over " + b.chord;
            clashes.push_back({b.order, b.row, b.tick, what});
        }
}

} // namespace

void CheckChart(const Sheet& sheet, const std::vector<SongVoice>& voices,
                const std::vector<SongBeat>& beats, const ToneTable& tones, SongAnalysis& a) {
    for (const SongBeat& b : beats)
        if (b.order >= 0 && size_t(b.order) < sheet.rowTick.size() && b.row >= 0 &&
            size_t(b.row) < sheet.rowTick[size_t(b.order)].size())
            a.beats.push_back(b);
    uint16_t previous = 0;
    for (size_t i = 0; i < a.beats.size(); ++i) {
        const SongBeat& b = a.beats[i];
        const int64_t at = sheet.rowTick[size_t(b.order)][size_t(b.row)] + b.tick;
        const std::vector<Sounding> sounding = SoundingAt(a, sheet, voices, tones, at);
        const bool change = i == 0 || b.tones != previous;
        previous = b.tones;
        BeatClashes(b, change, sounding, voices, a.clashes);
    }
}

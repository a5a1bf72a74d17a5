// Tuning: each tonal instrument goes into the module as a few copies tuned
// for the notes they play, and each cell gets the copy that plays its note
// in tune, or its drum.
//
// Scream Tracker (and libopenmpt, which plays S3M the same way) turns a note
// into a whole-numbered period from its own rounded table, and the period into
// a playback rate: rate = 8363 * 1712 / period, period = 8363 * 32 *
// Table[semitone] / (c2spd << octave), truncated. The table's rounding alone
// puts E to A up to 4 cents sharp, and truncation adds up to 1/period on top.
// The copies differ only in c2spd, each chosen for the notes it plays, so
// that every note the song uses sounds within a cent or so of its
// equal-tempered pitch (A = 440 Hz).
#include "Compose.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

namespace Compose {

namespace {

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
void AddTonalSamples(Song& s, Instrument instrument, const std::vector<int>& notes,
                     SampleOfNote& sampleOf) {
    const TonalSound sound = TonalSample(instrument);
    const std::vector<Copy> copies = TuneCopies(notes, sound.cycle);
    for (size_t k = 0; k < copies.size(); ++k) {
        S3mSample sample = sound.sample;
        sample.name += " " + std::to_string(k + 1);
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

} // namespace

void PlaceSamples(Song& s) {
    const TonalNotes used = UsedNotes(s);
    SampleOfNote sampleOf;
    for (int instrument = Lead; instrument <= Bass; ++instrument)
        AddTonalSamples(s, static_cast<Instrument>(instrument),
                        used[static_cast<size_t>(instrument)], sampleOf);
    std::map<int, uint8_t> drumOf;
    for (Instrument drum : {Kick, Snare, Hat, OpenHat, Crash}) {
        s.module.samples.push_back(DrumSample(drum));
        drumOf[drum] = static_cast<uint8_t>(s.module.samples.size());
    }
    AssignSamples(s, sampleOf, drumOf);
}

} // namespace Compose

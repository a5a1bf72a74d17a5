// The pattern writer the parts write their notes with, and what several
// parts play alike: the pads on the chart's chords, snare rolls, the tune
// with its vibrato, the "Hap-py" pickup, the bass register.
#include "Compose.h"

#include <algorithm>

namespace Compose {

S3mCell& Song::At(int order, int row, int channel) {
    return module.patterns[static_cast<size_t>(order)]
        .rows[static_cast<size_t>(row)][static_cast<size_t>(channel)];
}

void Song::Note(int order, int tick, int channel, int note, Instrument instrument, int volume) {
    S3mCell& cell = At(order, tick / Speed, channel);
    cell.note = S3mNote(note / 12 - 1, note % 12);
    cell.instrument = instrument;
    cell.volume = static_cast<uint8_t>(std::clamp(volume, 0, 64));
    if (tick % Speed) {
        cell.command = S3mCommand('S');
        cell.info = static_cast<uint8_t>(0xD0 | tick % Speed);
    }
}

void Song::Drum(int order, int tick, int channel, Instrument instrument, int volume) {
    Note(order, tick, channel, N(C, 4), instrument, volume);
}

// Players ignore SC0, so a cut on a row's first tick is the note cut (^^).
void Song::Cut(int order, int tick, int channel) {
    S3mCell& cell = At(order, tick / Speed, channel);
    if (tick % Speed == 0) {
        if (cell.note == S3mNoNote) cell.note = S3mNoteOff;
        return; // or a new note starts here and ends the old one
    }
    if (cell.command) return; // a new note starts here and ends the old one
    cell.command = S3mCommand('S');
    cell.info = static_cast<uint8_t>(0xC0 | tick % Speed);
}

void Song::Volume(int order, int row, int channel, int volume) {
    S3mCell& cell = At(order, row, channel);
    if (cell.note == S3mNoNote) cell.volume = static_cast<uint8_t>(std::clamp(volume, 0, 64));
}

void Song::Ramp(int order, int first, int last, int channel, int from, int to) {
    for (int r = first; r <= last; ++r)
        Volume(order, r, channel, from + (to - from) * (r - first) / (last - first));
}

void Song::Effect(int order, int row, int channel, char command, int info) {
    S3mCell& cell = At(order, row, channel);
    if (cell.command) return;
    cell.command = S3mCommand(command);
    cell.info = static_cast<uint8_t>(info);
}

void Pads(Song& s, int fromOrder, int toOrder, std::array<int, 3>& voicing, int volume,
          int volumeStep) {
    for (int order = fromOrder; order <= toOrder; ++order) {
        const int level = volume + (order - fromOrder) * volumeStep;
        bool first = order == fromOrder;
        // Under the tune the pads stay below its lowest note, G4.
        const int high = order >= 6 ? N(E, 4) : N(A, 4);
        for (const Beat& beat : ChartOf(order)) {
            const std::array<int, 3> next = Voicing(voicing, beat.chord->pads, N(E, 3), high);
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

void SnareRoll(Song& s, int order, int first, int last, int every, int volume, int step) {
    for (int t = first; t <= last; t += every)
        s.Drum(order, t, ChSnare, Snare, volume + (t - first) / every * step);
}

// A note is held until the next one, or until `until`; one of two beats or
// more blooms into vibrato from its fourth row.
void Sing(Song& s, int order, const std::vector<Sung>& tune, int firstBar, int volume,
          int doubleVolume, int until) {
    for (size_t i = 0; i < tune.size(); ++i) {
        const Sung& n = tune[i];
        const int bar = n.bar - firstBar;
        if (bar < 0 || bar > 3) continue;
        const int tick = bar * BarTicks + n.tick;
        s.Note(order, tick, ChLead, n.note, Lead, volume);
        if (doubleVolume) s.Note(order, tick, ChDouble, n.note - 12, Soft, doubleVolume);
        const int end = i + 1 < tune.size() && tune[i + 1].bar - firstBar <= 3
                            ? (tune[i + 1].bar - firstBar) * BarTicks + tune[i + 1].tick
                            : until;
        if (end - tick >= 64)
            for (int row = tick / Speed + 3; row < end / Speed; ++row)
                s.Effect(order, row, ChLead, 'H', row == tick / Speed + 3 ? 0x72 : 0);
    }
}

void Pickup(Song& s, int order, int note, int volume, int doubleVolume) {
    const int at = PickupTick;
    s.Note(order, at, ChLead, note, Lead, volume);
    s.Note(order, at + 24, ChLead, note, Lead, volume);
    if (doubleVolume) {
        s.Note(order, at, ChDouble, note - 12, Soft, doubleVolume);
        s.Note(order, at + 24, ChDouble, note - 12, Soft, doubleVolume);
    }
}

int BassNote(int pc) {
    return N(pc, 1) + (pc < E ? 12 : 0);
}

} // namespace Compose

// What the renders say of the notes: where a channel played alone falls
// silent, so that a note ends where it is heard to end whatever its sheet
// writes (a player may ignore an effect the sheet trusts).
#pragma once

#include "songcheck/Render.h"
#include "songcheck/Sheet.h"
#include "songcheck/Tone.h"

// A render's largest sample, either side, per block of HeardBlock frames.
constexpr size_t HeardBlock = 64;
std::vector<float> BlockPeaks(const Render& r);

// Song ticks against rendered frames, row by row.
struct TickFrames {
    std::vector<int64_t> ticks; // each row's first tick in playing order, then the end
    std::vector<size_t> frames; // the frame the render begins it at, then the end
    size_t FrameOf(int64_t tick) const;
    int64_t TickOf(size_t frame) const; // rounded up
};
TickFrames MatchTicks(const Sheet& sheet, const Render& r);

// A channel played alone: where it sounds, and when its rows begin.
struct Hearing {
    std::vector<float> peaks;
    TickFrames at;
};
Hearing Hear(const Sheet& sheet, const Render& r);

// Lengthens each note its channel's solo render (`heard`, per channel; no
// peaks: not rendered) still sounds after, up to the channel's next note,
// and recounts its rows. A note's `written` end stays where the sheet put it.
void HearNoteEnds(Sheet& sheet, const std::vector<Hearing>& heard);

// The notes of the channels in `melody` from order `first` to `last`, each
// in `lead` (those channels alone) against `backing` (all the others).
std::vector<SungFigures> SungOverBacking(const Sheet& sheet, const std::vector<bool>& melody,
                                         const Render& lead, const Render& backing,
                                         const ToneTable& tones, int first, int last);

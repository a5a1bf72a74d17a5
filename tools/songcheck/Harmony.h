// The notes against the chord chart the song declares: on every beat the
// pitches that sound, measured where they could be, and the clashes.
#pragma once

#include "songcheck/Sheet.h"
#include "songcheck/Tone.h"

// Keeps the beats of `beats` that fit the module in `a.beats` and records
// their clashes in `a.clashes`; `a.notes` are the sheet's notes with their
// ends, and `voices` names every channel.
void CheckChart(const Sheet& sheet, const std::vector<SongVoice>& voices,
                const std::vector<SongBeat>& beats, const ToneTable& tones, SongAnalysis& a);

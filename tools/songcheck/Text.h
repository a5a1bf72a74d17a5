// The words the song check writes: printf-style text, figures as the report
// shows them, and the names of pitches, tracker notes, roles and tones.
#pragma once

#include "songcheck/SongCheck.h"

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "-14.2", or "silent" for -HUGE_VAL.
std::string Lufs(double loudness);
// "-3.1" dB of a linear level, or "-inf" for 0.
std::string Dbfs(double level);

// The note name of a MIDI pitch ("C4", "F#5") and of a tracker note ("C-4").
std::string PitchName(int pitch);
std::string TrackerNoteName(int note);
const char* RoleName(SongRole role);
// "C5 (C-5, sample 2)".
std::string ToneName(const ToneFigures& t);

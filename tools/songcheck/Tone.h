// Single notes: the pitch of a steady tone to a tenth of a cent, and each
// note the song plays measured alone for its pitch, onset and length.
#pragma once

#include "songcheck/SongCheck.h"

#include <map>

// The fundamental frequency of a steady tone, in Hz; 0 when none is found.
double MeasureFrequency(std::span<const float> samples, double rate);

// `sample` at tracker note `note` played alone: a tonal note's pitch, a
// drum's sweep, how long it sounds and how it starts. Empty, with the reason
// recorded, when libopenmpt will not play it.
std::optional<ToneFigures> MeasureTone(std::span<const uint8_t> bytes, int sample, int note,
                                       bool tonal);

// The notes measured alone, by (sample, note).
using ToneTable = std::map<std::pair<int, int>, ToneFigures>;

// Loudness and level of a stereo signal at SongRate: K-weighted loudness per
// ITU-R BS.1770-4, sample and true peaks, DC, balance and correlation.
#pragma once

#include "songcheck/SongCheck.h"

// The two K-weighting stages at `rate`: {b0, b1, b2, a1, a2} each (a0 = 1).
struct Biquad {
    double b0, b1, b2, a1, a2;
};
Biquad KWeightShelf(double rate);
Biquad KWeightHighPass(double rate);

// A stereo signal with its K-weighted power, ready to be measured over any
// stretch. It keeps views of `left` and `right`: they must outlive it.
struct SoundMeter {
    std::span<const float> left, right;
    std::vector<float> kl, kr;
    std::vector<double> power; // prefix sums of kl^2 + kr^2
    SoundMeter(std::span<const float> leftSide, std::span<const float> rightSide);
    // Frames [begin, end): loudness gated at -70 LUFS and then at 10 LU
    // under the blocks that passed (400 ms blocks, 75 % overlap; a shorter
    // stretch is one block), and the rest of its figures.
    SoundFigures Figures(size_t begin, size_t end) const;
};

// The largest absolute value of the signal between its samples (16x
// oversampling where the peaks are).
double TruePeak(std::span<const float> samples);

// Decibels of a linear level; -HUGE_VAL for 0.
double Decibels(double level);

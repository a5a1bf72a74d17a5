// Note ends as the renders hear them.
#include "songcheck/Heard.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr float Silence = 0.001f; // -60 dBFS: under it a channel is silent
constexpr size_t GraceBlocks = 4; // a cut's ramp and where a row begins
constexpr int64_t NoNextNote = INT64_MAX;

// Where each note's channel starts its next note, or `end`.
std::vector<int64_t> NextStarts(const Sheet& sheet, int64_t end) {
    std::vector<int64_t> next(sheet.notes.size(), end);
    std::vector<int64_t> following;
    for (size_t i = sheet.notes.size(); i-- > 0;) {
        const size_t ch = size_t(sheet.notes[i].channel);
        if (following.size() <= ch) following.resize(ch + 1, NoNextNote);
        if (following[ch] != NoNextNote) next[i] = following[ch];
        following[ch] = sheet.notes[i].start;
    }
    return next;
}

// The end of the last block in [from, to) louder than Silence, or 0.
size_t LastSound(const std::vector<float>& peaks, size_t from, size_t to) {
    for (size_t b = std::min(to, peaks.size()); b > from; --b)
        if (peaks[b - 1] > Silence) return b * HeardBlock;
    return 0;
}

// The energy of the mono sum of frames [from, to) in the third of an octave
// around `hz` (a band-pass of constant peak gain, settled over the frames
// before).
double BandEnergy(const Render& r, size_t from, size_t to, double hz) {
    constexpr double Q = 4.318; // a third of an octave wide
    constexpr size_t Settle = 4096;
    const double w = 2 * std::numbers::pi * hz / SongRate;
    const double alpha = std::sin(w) / (2 * Q), a0 = 1 + alpha;
    const double b0 = alpha / a0, a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, energy = 0;
    to = std::min(to, r.left.size());
    for (size_t i = from > Settle ? from - Settle : 0; i < to; ++i) {
        const double x = double(r.left[i]) + r.right[i];
        const double y = b0 * (x - x2) - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        if (i >= from) energy += y * y;
    }
    return energy;
}

} // namespace

std::vector<float> BlockPeaks(const Render& r) {
    std::vector<float> peaks((r.left.size() + HeardBlock - 1) / HeardBlock, 0.0f);
    for (size_t i = 0; i < r.left.size(); ++i)
        peaks[i / HeardBlock] =
            std::max({peaks[i / HeardBlock], std::fabs(r.left[i]), std::fabs(r.right[i])});
    return peaks;
}

TickFrames MatchTicks(const Sheet& sheet, const Render& r) {
    TickFrames t;
    for (const std::vector<int64_t>& order : sheet.rowTick)
        t.ticks.insert(t.ticks.end(), order.begin(), order.end());
    t.ticks.push_back(sheet.endTick);
    t.frames = r.rowBegin;
    const size_t rows = std::min(t.ticks.size() - 1, t.frames.size()); // as far as both go
    t.ticks.resize(rows + 1);
    t.frames.resize(rows);
    t.frames.push_back(r.left.size());
    return t;
}

size_t TickFrames::FrameOf(int64_t tick) const {
    const auto up = std::upper_bound(ticks.begin(), ticks.end(), tick);
    if (up == ticks.begin()) return 0;
    if (up == ticks.end()) return frames.back();
    const size_t k = size_t(up - ticks.begin()) - 1;
    const double part = double(tick - ticks[k]) / double(ticks[k + 1] - ticks[k]);
    return frames[k] + size_t(part * double(frames[k + 1] - frames[k]));
}

int64_t TickFrames::TickOf(size_t frame) const {
    const auto up = std::upper_bound(frames.begin(), frames.end(), frame);
    if (up == frames.begin()) return 0;
    if (up == frames.end()) return ticks.back();
    const size_t k = size_t(up - frames.begin()) - 1;
    const double part = double(frame - frames[k]) / double(frames[k + 1] - frames[k]);
    return ticks[k] + int64_t(std::ceil(part * double(ticks[k + 1] - ticks[k])));
}

Hearing Hear(const Sheet& sheet, const Render& r) {
    return {BlockPeaks(r), MatchTicks(sheet, r)};
}

void HearNoteEnds(Sheet& sheet, const std::vector<Hearing>& heard) {
    const std::vector<int64_t> next = NextStarts(sheet, sheet.endTick);
    for (size_t i = 0; i < sheet.notes.size(); ++i) {
        SheetNote& n = sheet.notes[i];
        n.written = n.end;
        const size_t ch = size_t(n.channel);
        if (ch >= heard.size() || heard[ch].peaks.empty() || n.end >= next[i]) continue;
        const TickFrames& at = heard[ch].at;
        const size_t from = at.FrameOf(n.end) / HeardBlock + GraceBlocks;
        const size_t to = at.FrameOf(next[i]) / HeardBlock;
        const size_t last = to > GraceBlocks ? LastSound(heard[ch].peaks, from, to - 1) : 0;
        if (last) n.end = std::min(next[i], std::max(n.end, at.TickOf(last)));
        n.rows = double(n.end - n.start) / sheet.speedAt[i];
    }
}

std::vector<SungFigures> SungOverBacking(const Sheet& sheet, const std::vector<bool>& melody,
                                         const Render& lead, const Render& backing,
                                         const ToneTable& tones, int first, int last) {
    const TickFrames at = MatchTicks(sheet, lead);
    std::vector<SungFigures> sung;
    for (const SheetNote& n : sheet.notes) {
        if (n.order < first || n.order > last || size_t(n.channel) >= melody.size() ||
            !melody[size_t(n.channel)])
            continue;
        const auto t = tones.find({n.sample, n.note});
        const int pitch = t != tones.end() && t->second.pitch >= 0 ? t->second.pitch : n.note + 12;
        const double hz = 440 * std::pow(2.0, (pitch - 69) / 12.0);
        const size_t from = at.FrameOf(n.start), to = at.FrameOf(n.end);
        const double mine = BandEnergy(lead, from, to, hz);
        const double theirs = BandEnergy(backing, from, to, hz);
        sung.push_back({n.order, n.row, n.tick, pitch,
                        theirs > 0 ? 10 * std::log10(mine / theirs) : HUGE_VAL});
    }
    return sung;
}

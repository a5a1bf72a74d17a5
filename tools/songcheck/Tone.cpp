// The pitch of a steady tone, and each note of the song played alone: its
// pitch, a drum's sweep, how long it rings and how it starts.
#include "songcheck/Tone.h"

#include "songcheck/Render.h"

#include <algorithm>

namespace {

// The cumulative-mean-normalised difference of the first `window` values,
// for lags 0 .. maxLag + 1 (1 at lag 0).
std::vector<double> NormalisedDifference(std::span<const float> x, size_t window, size_t maxLag) {
    std::vector<double> cmnd(maxLag + 2, 1);
    double running = 0;
    for (size_t tau = 1; tau <= maxLag + 1; ++tau) {
        double d = 0;
        for (size_t j = 0; j < window; ++j) {
            const double e = double(x[j]) - x[j + tau];
            d += e * e;
        }
        running += d;
        cmnd[tau] = running > 0 ? d * double(tau) / running : 1;
    }
    return cmnd;
}

// The lag of the first clear dip, followed to its bottom; failing that the
// deepest lag if it is deep enough; none when the sound has no pitch.
std::optional<size_t> CoarseLag(const std::vector<double>& cmnd, size_t minLag, size_t maxLag) {
    for (size_t t = minLag; t <= maxLag; ++t)
        if (cmnd[t] < 0.1) {
            size_t tau = t;
            while (tau < maxLag && cmnd[tau + 1] < cmnd[tau])
                ++tau;
            if (tau != 0) return tau;
            break;
        }
    size_t tau = minLag;
    for (size_t t = minLag; t <= maxLag; ++t)
        if (cmnd[t] < cmnd[tau]) tau = t;
    if (cmnd[tau] > 0.4) return std::nullopt;
    return tau;
}

// The offset of a parabola's vertex through three equally spaced values.
double Vertex(double a, double b, double c) {
    const double d = a - 2 * b + c;
    return d != 0 ? 0.5 * (a - c) / d : 0.0;
}

constexpr size_t MatchLength = 4096;

// The match of x[0 .. MatchLength) with x[lag .. lag + MatchLength),
// normalised by e0, the energy of the first.
double MatchAt(std::span<const float> x, size_t lag, double e0) {
    double c = 0, e = 0;
    for (size_t j = 0; j < MatchLength; ++j) {
        c += double(x[j]) * x[j + lag];
        e += double(x[j + lag]) * x[j + lag];
    }
    return e > e0 * 1e-4 ? c / std::sqrt(e0 * e) : -2.0;
}

// Matches the start against itself 2, 4, 8 ... periods later while the tone
// holds, which divides the error of one lag by the number of periods.
double RefinePeriod(std::span<const float> x, double period) {
    double e0 = 0;
    for (size_t j = 0; j < MatchLength && j < x.size(); ++j)
        e0 += double(x[j]) * x[j];
    for (double periods = 2;; periods *= 2) {
        const double guess = periods * period;
        const size_t lo = static_cast<size_t>(std::floor(guess)) - 3;
        const size_t hi = static_cast<size_t>(std::ceil(guess)) + 3;
        if (hi + 1 + MatchLength > x.size()) break;
        size_t best = lo;
        std::vector<double> c(hi - lo + 3);
        for (size_t lag = lo - 1; lag <= hi + 1; ++lag)
            c[lag - lo + 1] = MatchAt(x, lag, e0);
        for (size_t lag = lo; lag <= hi; ++lag)
            if (c[lag - lo + 1] > c[best - lo + 1]) best = lag;
        if (c[best - lo + 1] < 0.5) break; // the tone has changed or died away
        const double refined =
            double(best) + Vertex(c[best - lo], c[best - lo + 1], c[best - lo + 2]);
        period = refined / periods;
    }
    return period;
}

// Half the zero crossings per second, with a hysteresis of a tenth of the
// window's peak so that quantisation noise near zero does not count: the
// frequency of a sine, rough for anything else.
double CrossingHz(std::span<const float> x) {
    float peak = 0;
    for (float v : x)
        peak = std::max(peak, std::fabs(v));
    const float h = peak / 10;
    int crossings = 0, side = 0;
    size_t first = 0, last = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const int now = x[i] > h ? 1 : x[i] < -h ? -1 : 0;
        if (now == 0 || now == side) continue;
        if (side != 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
        side = now;
    }
    return crossings > 1 ? (crossings - 1) * 0.5 * SongRate / double(last - first) : 0;
}

// How long a note of peak `peak` sounds: to its last value over -50 dB of
// the peak; HUGE_VAL when that comes within 50 ms of the end (it holds).
double RingSeconds(const std::vector<float>& x, float peak, size_t& last) {
    last = 0;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > peak * 0.00316f) last = i;
    return last + SongRate / 20 < x.size() ? double(last + 1) / SongRate : HUGE_VAL;
}

// A drum's pitch over its first 20 ms and over 20 ms half way to `last`.
void DrumSweep(const std::vector<float>& x, size_t last, ToneFigures& t) {
    const size_t window = SongRate / 50, late = std::min(last, x.size()) / 2;
    t.startHz = CrossingHz(std::span(x).first(std::min(window, x.size())));
    if (late > window / 2 && late + window / 2 <= x.size())
        t.lateHz = CrossingHz(std::span(x).subspan(late - window / 2, window));
}

// A tonal note's frequency after it has settled, and the nearest note.
void TonePitch(const std::vector<float>& x, ToneFigures& t) {
    constexpr size_t Settle = SongRate / 10;
    if (x.size() <= Settle) return;
    t.frequency = MeasureFrequency(std::span(x).subspan(Settle), SongRate);
    if (t.frequency > 0) {
        const double exact = 69 + 12 * std::log2(t.frequency / 440);
        t.pitch = static_cast<int>(std::lround(exact));
        t.cents = (exact - t.pitch) * 100;
    }
}

// The onset: the largest step of the first four values from silence, over
// the peak of the sample's own values.
double OnsetJump(const std::vector<float>& raw) {
    size_t first = 0;
    while (first < raw.size() && std::fabs(raw[first]) < 1e-7f)
        ++first;
    float rawPeak = 0, jump = 0;
    for (size_t i = first; i < raw.size(); ++i) {
        rawPeak = std::max(rawPeak, std::fabs(raw[i]));
        if (i < first + 4)
            jump = std::max(jump, std::fabs(raw[i] - (i > first ? raw[i - 1] : 0.0f)));
    }
    return rawPeak > 0 ? jump / rawPeak : 0;
}

} // namespace

// A coarse period from the cumulative-mean-normalised difference of the
// first 2048 values (the first clear dip), then refined by matching the
// start against itself 2, 4, 8 ... periods later, which divides the error of
// one lag by the number of periods.
double MeasureFrequency(std::span<const float> x, double rate) {
    constexpr size_t Window = 2048;
    const size_t maxLag = static_cast<size_t>(rate / 25), minLag = static_cast<size_t>(rate / 5000);
    if (x.size() < Window + maxLag + 2) return 0;
    double energy = 0;
    for (size_t j = 0; j < Window; ++j)
        energy += double(x[j]) * x[j];
    if (energy < 1e-9) return 0;
    const std::vector<double> cmnd = NormalisedDifference(x, Window, maxLag);
    const std::optional<size_t> tau = CoarseLag(cmnd, minLag, maxLag);
    if (!tau) return 0;
    const double period = double(*tau) + Vertex(cmnd[*tau - 1], cmnd[*tau], cmnd[*tau + 1]);
    return rate / RefinePeriod(x, period);
}

std::optional<ToneFigures> MeasureTone(std::span<const uint8_t> bytes, int sample, int note,
                                       bool tonal) {
    ToneFigures t;
    t.sample = sample;
    t.note = note;
    if (note + 12 < 0 || note + 12 > 119) return t;
    const std::optional<std::vector<float>> x = PlayAlone(bytes, sample, note, 1.3, false);
    if (!x) return std::nullopt;
    float peak = 0;
    for (float v : *x)
        peak = std::max(peak, std::fabs(v));
    if (peak <= 0) {
        t.ringSeconds = 0;
        return t;
    }
    size_t last = 0;
    t.ringSeconds = RingSeconds(*x, peak, last);
    if (tonal)
        TonePitch(*x, t);
    else
        DrumSweep(*x, last, t);
    const std::optional<std::vector<float>> raw = PlayAlone(bytes, sample, note, 0.05, true);
    if (!raw) return std::nullopt;
    t.onsetJump = OnsetJump(*raw);
    return t;
}

// The loudness meter: K-weighting, gating, the figures of a stretch, and the
// true peak by oversampling.
#include "songcheck/Loudness.h"

#include <algorithm>
#include <array>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

void Filter(const Biquad& f, std::vector<float>& x) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (float& v : x) {
        const double in = v;
        const double out = f.b0 * in + f.b1 * x1 + f.b2 * x2 - f.a1 * y1 - f.a2 * y2;
        x2 = x1;
        x1 = in;
        y2 = y1;
        y1 = out;
        v = static_cast<float>(out);
    }
}

std::vector<float> KWeighted(std::span<const float> x) {
    std::vector<float> k(x.begin(), x.end());
    Filter(KWeightShelf(SongRate), k);
    Filter(KWeightHighPass(SongRate), k);
    return k;
}

double LoudnessOf(double meanSquare) {
    return meanSquare > 0 ? -0.691 + 10 * std::log10(meanSquare) : -HUGE_VAL;
}

// Gated loudness of frames [begin, end) from the prefix sums of the
// K-weighted power (left plus right).
double GatedLoudness(const std::vector<double>& power, size_t begin, size_t end) {
    constexpr size_t Block = SongRate * 4 / 10, Step = SongRate / 10;
    std::vector<double> blocks;
    if (end - begin < Block) {
        if (end > begin) blocks.push_back((power[end] - power[begin]) / double(end - begin));
    } else {
        for (size_t a = begin; a + Block <= end; a += Step)
            blocks.push_back((power[a + Block] - power[a]) / double(Block));
    }
    const double absolute = std::pow(10.0, (-70 + 0.691) / 10);
    double sum = 0;
    size_t n = 0;
    for (double b : blocks)
        if (b > absolute) sum += b, ++n;
    if (n == 0) return -HUGE_VAL;
    const double relative = sum / double(n) * std::pow(10.0, -10.0 / 10);
    sum = 0;
    n = 0;
    for (double b : blocks)
        if (b > absolute && b > relative) sum += b, ++n;
    return LoudnessOf(sum / double(n));
}

// Windowed-sinc interpolators: kernel[p - 1] gives the value at n + p / steps
// from x[n - taps + 1 .. n + taps], normalised to unit gain.
template <int Taps, int Steps> struct Interpolator {
    std::array<std::array<double, 2 * Taps>, Steps - 1> kernel{};
    Interpolator() {
        for (int p = 1; p < Steps; ++p) {
            double sum = 0;
            for (int j = -Taps + 1; j <= Taps; ++j) {
                const double t = j - double(p) / Steps;
                const double window = 0.5 + 0.5 * std::cos(Pi * t / (Taps + 0.5));
                const double v = std::sin(Pi * t) / (Pi * t) * window;
                kernel[size_t(p - 1)][size_t(j + Taps - 1)] = v;
                sum += v;
            }
            for (double& v : kernel[size_t(p - 1)])
                v /= sum;
        }
    }
    // The largest absolute value from x[i] to x[i + 1].
    double Between(std::span<const float> x, ptrdiff_t i) const {
        const ptrdiff_t n = static_cast<ptrdiff_t>(x.size());
        double peak = std::fabs(x[size_t(i)]);
        for (const auto& k : kernel) {
            double v = 0;
            for (int j = -Taps + 1; j <= Taps; ++j) {
                const ptrdiff_t at = i + j;
                if (at >= 0 && at < n) v += k[size_t(j + Taps - 1)] * x[size_t(at)];
            }
            peak = std::max(peak, std::fabs(v));
        }
        return peak;
    }
};

} // namespace

// The high shelf of the K-weighting (about +4 dB above 1.7 kHz) and its
// 38 Hz high-pass, designed for any rate by the bilinear transform.
Biquad KWeightShelf(double rate) {
    const double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(Pi * f0 / rate);
    const double vh = std::pow(10.0, gain / 20), vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}

Biquad KWeightHighPass(double rate) {
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(Pi * f0 / rate);
    const double a0 = 1 + k / q + k * k;
    return {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}

SoundMeter::SoundMeter(std::span<const float> leftSide, std::span<const float> rightSide)
    : left(leftSide), right(rightSide), kl(KWeighted(leftSide)), kr(KWeighted(rightSide)) {
    power.resize(kl.size() + 1);
    double s = 0;
    for (size_t i = 0; i < kl.size(); ++i) {
        s += double(kl[i]) * kl[i] + double(kr[i]) * kr[i];
        power[i + 1] = s;
    }
}

SoundFigures SoundMeter::Figures(size_t begin, size_t end) const {
    SoundFigures f;
    end = std::min(end, left.size());
    if (end <= begin) return f;
    f.seconds = double(end - begin) / SongRate;
    f.loudness = GatedLoudness(power, begin, end);
    double sl = 0, sr = 0, pl = 0, pr = 0;
    for (size_t i = begin; i < end; ++i) {
        f.peak = std::max({f.peak, double(std::fabs(left[i])), double(std::fabs(right[i]))});
        sl += left[i];
        sr += right[i];
        pl += double(kl[i]) * kl[i];
        pr += double(kr[i]) * kr[i];
    }
    const double n = double(end - begin);
    f.dcLeft = sl / n;
    f.dcRight = sr / n;
    f.balance = pl > 0 && pr > 0 ? 10 * std::log10(pr / pl) : 0;
    double cross = 0, vl = 0, vr = 0;
    for (size_t i = begin; i < end; ++i) {
        const double a = left[i] - f.dcLeft, b = right[i] - f.dcRight;
        cross += a * b;
        vl += a * a;
        vr += b * b;
    }
    f.correlation = vl > 0 && vr > 0 ? cross / std::sqrt(vl * vr) : 0;
    return f;
}

// A coarse pass at quarters with 12 neighbours finds where the peaks are; the
// few thousand highest places, those within 1 dB of the coarse peak, are
// measured again at sixteenths with 64 neighbours (the coarse pass alone
// reads up to 0.3 dB low).
double TruePeak(std::span<const float> x) {
    static const Interpolator<6, 4> coarse;
    static const Interpolator<32, 16> fine;
    constexpr size_t MostPlaces = 4096;
    const ptrdiff_t n = static_cast<ptrdiff_t>(x.size());
    std::vector<std::pair<float, ptrdiff_t>> places;
    double top = 0;
    std::vector<float> rough(x.size());
    for (ptrdiff_t i = 0; i < n; ++i) {
        rough[size_t(i)] = static_cast<float>(coarse.Between(x, i));
        top = std::max(top, double(rough[size_t(i)]));
    }
    if (top == 0) return 0;
    for (ptrdiff_t i = 0; i < n; ++i)
        if (rough[size_t(i)] >= top * 0.891) places.push_back({rough[size_t(i)], i});
    if (places.size() > MostPlaces) {
        std::nth_element(places.begin(), places.begin() + MostPlaces, places.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        places.resize(MostPlaces);
    }
    double peak = 0;
    for (const auto& place : places) {
        peak = std::max(peak, fine.Between(x, place.second));
        if (place.second > 0) peak = std::max(peak, fine.Between(x, place.second - 1));
    }
    return peak;
}

double Decibels(double level) {
    return level > 0 ? 20 * std::log10(level) : -HUGE_VAL;
}

// Rendering through libopenmpt and measuring: the song check's analysis.
#include "songcheck/SongCheck.h"

#include "music/ModuleCheck.h"

#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <streambuf>

namespace {

constexpr double Pi = std::numbers::pi;

// --- Rendering -------------------------------------------------------------

constexpr size_t ChunkFrames = 64;    // the position is read after each chunk
constexpr double LongestRender = 600; // longer modules are refused: their renders would not fit
constexpr size_t MaxFrames = size_t{SongRate} * static_cast<size_t>(LongestRender);

// libopenmpt's messages go nowhere: our own say what failed.
struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
};
std::ostream& Quiet() {
    static NullBuffer buffer;
    static std::ostream sink(&buffer);
    return sink;
}

std::unique_ptr<openmpt::module_ext> Load(std::span<const uint8_t> bytes, const char* atEnd) {
    try {
        auto m = std::make_unique<openmpt::module_ext>(
            bytes.data(), bytes.size(), Quiet(),
            std::map<std::string, std::string>{{"play.at_end", atEnd}});
        return m;
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("not a module libopenmpt can play: ") + e.what());
    }
}

openmpt::ext::interactive& Interactive(openmpt::module_ext& m) {
    auto* i =
        static_cast<openmpt::ext::interactive*>(m.get_interface(openmpt::ext::interactive_id));
    if (!i) throw std::runtime_error("libopenmpt offers no interactive interface");
    return *i;
}

struct Render {
    std::vector<float> left, right;
    std::vector<size_t> orderBegin, orderEnd; // frames, per order; equal: not played
    size_t lastRowBegin = 0;                  // the last row of order GreetingOrders - 1
    size_t greetingEnd = 0;                   // where order GreetingOrders begins
};

// Renders the whole module with only the channels in `audible` sounding.
Render RenderSong(std::span<const uint8_t> bytes, const std::vector<bool>& audible) {
    auto m = Load(bytes, "stop");
    openmpt::ext::interactive& interactive = Interactive(*m);
    for (int ch = 0; ch < m->get_num_channels(); ++ch)
        interactive.set_channel_mute_status(ch,
                                            size_t(ch) >= audible.size() || !audible[size_t(ch)]);
    Render r;
    const size_t orders = static_cast<size_t>(m->get_num_orders());
    r.orderBegin.assign(orders, 0);
    r.orderEnd.assign(orders, 0);
    std::vector<bool> seen(orders, false);
    const int lastOrder = GreetingOrders - 1;
    bool greetingOver = false, lastRowSeen = false;
    std::array<float, ChunkFrames> l{}, rr{};
    while (r.left.size() < MaxFrames) {
        // A chunk that crosses into the next row belongs to that row, so that
        // an order's frames hold nothing of the next. After the song's end
        // the decoder reports its start again: the last chunk keeps its own.
        const std::pair<int, int> before{m->get_current_order(), m->get_current_row()};
        const size_t got = m->read(SongRate, ChunkFrames, l.data(), rr.data());
        if (got == 0) break;
        const std::pair<int, int> after{m->get_current_order(), m->get_current_row()};
        const auto [order, row] = after > before ? after : before;
        const size_t at = r.left.size();
        r.left.insert(r.left.end(), l.begin(), l.begin() + static_cast<std::ptrdiff_t>(got));
        r.right.insert(r.right.end(), rr.begin(), rr.begin() + static_cast<std::ptrdiff_t>(got));
        if (order >= 0 && static_cast<size_t>(order) < orders) {
            const size_t o = static_cast<size_t>(order);
            if (!seen[o]) r.orderBegin[o] = at;
            seen[o] = true;
            r.orderEnd[o] = at + got;
        }
        if (order >= GreetingOrders && !greetingOver) {
            greetingOver = true;
            r.greetingEnd = at;
        }
        if (order == lastOrder && !lastRowSeen && lastOrder < m->get_num_orders()) {
            const int pattern = m->get_order_pattern(lastOrder);
            if (pattern >= 0 && pattern < m->get_num_patterns() &&
                row >= m->get_pattern_num_rows(pattern) - 1) {
                lastRowSeen = true;
                r.lastRowBegin = at;
            }
        }
    }
    if (!greetingOver) r.greetingEnd = r.left.size();
    if (!lastRowSeen) r.lastRowBegin = r.greetingEnd;
    return r;
}

// --- Loudness --------------------------------------------------------------

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

// A render with its K-weighted power, ready to be measured over any stretch.
struct Measured {
    const Render& r;
    std::vector<float> kl, kr;
    std::vector<double> power; // prefix sums of kl^2 + kr^2
    explicit Measured(const Render& render)
        : r(render), kl(KWeighted(render.left)), kr(KWeighted(render.right)) {
        power.resize(kl.size() + 1);
        double s = 0;
        for (size_t i = 0; i < kl.size(); ++i) {
            s += double(kl[i]) * kl[i] + double(kr[i]) * kr[i];
            power[i + 1] = s;
        }
    }
    SoundFigures Figures(size_t begin, size_t end) const {
        SoundFigures f;
        end = std::min(end, r.left.size());
        if (end <= begin) return f;
        f.seconds = double(end - begin) / SongRate;
        f.loudness = GatedLoudness(power, begin, end);
        double sl = 0, sr = 0, pl = 0, pr = 0;
        for (size_t i = begin; i < end; ++i) {
            f.peak =
                std::max({f.peak, double(std::fabs(r.left[i])), double(std::fabs(r.right[i]))});
            sl += r.left[i];
            sr += r.right[i];
            pl += double(kl[i]) * kl[i];
            pr += double(kr[i]) * kr[i];
        }
        const double n = double(end - begin);
        f.dcLeft = sl / n;
        f.dcRight = sr / n;
        f.balance = pl > 0 && pr > 0 ? 10 * std::log10(pr / pl) : 0;
        double cross = 0, vl = 0, vr = 0;
        for (size_t i = begin; i < end; ++i) {
            const double a = r.left[i] - f.dcLeft, b = r.right[i] - f.dcRight;
            cross += a * b;
            vl += a * a;
            vr += b * b;
        }
        f.correlation = vl > 0 && vr > 0 ? cross / std::sqrt(vl * vr) : 0;
        return f;
    }
    double Loudness(size_t begin, size_t end) const {
        end = std::min(end, r.left.size());
        return end > begin ? GatedLoudness(power, begin, end) : -HUGE_VAL;
    }
};

// --- Reading the patterns --------------------------------------------------

constexpr int NoteMin = 1, NoteMax = 120; // libopenmpt's note numbers; 13 is the tracker's C-0
constexpr int TrackerC0 = 13;

char Letter(const openmpt::module& m, int pattern, int row, int ch, int command) {
    const std::string s = m.format_pattern_row_channel_command(pattern, row, ch, command);
    return s.empty() ? '.' : s[0];
}

struct Sheet {
    std::vector<SheetNote> notes;
    std::vector<double> tickSeconds;           // per note: a tick's length where it starts
    std::vector<std::vector<int64_t>> rowTick; // [order][row]
    std::vector<int> rowsPerOrder;
    std::vector<int> speedAt; // per note
    // Where an arpeggio plays: the note, the row's ticks and the notes above.
    struct Arpeggio {
        size_t note;
        int64_t from, to;
        uint16_t ups;
    };
    std::vector<Arpeggio> arpeggios;
};

// A channel as the sheet is read: its sounding note, sample and arpeggio.
struct ChannelState {
    int playing = -1; // index of the sounding note
    int sample = 0;
    uint8_t arpeggio = 0;
};

// One channel's commands on one row.
struct Cell {
    int note, instrument, volume, info;
    char volumeFx, fx;
};

Cell ReadCell(const openmpt::module& m, int pattern, int row, int ch) {
    auto get = [&](int command) {
        return int(m.get_pattern_row_channel_command(pattern, row, ch, command));
    };
    Cell c;
    c.note = get(openmpt::module::command_note);
    c.instrument = get(openmpt::module::command_instrument);
    c.volumeFx = Letter(m, pattern, row, ch, openmpt::module::command_volumeffect);
    c.volume = get(openmpt::module::command_volume);
    c.fx = Letter(m, pattern, row, ch, openmpt::module::command_effect);
    c.info = get(openmpt::module::command_parameter);
    return c;
}

// Speed and tempo change for the whole row before any of its notes play.
void ReadSpeedAndTempo(const openmpt::module& m, int pattern, int row, int& speed, int& tempo) {
    for (int ch = 0; ch < m.get_num_channels(); ++ch) {
        const char fx = Letter(m, pattern, row, ch, openmpt::module::command_effect);
        const int info =
            m.get_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_parameter);
        if (fx == 'A' && info > 0) speed = info;
        if (fx == 'T' && info >= 0x20) tempo = info;
    }
}

// Ends the channel's sounding note at `at`, never before it starts.
void EndNote(Sheet& s, ChannelState& st, int64_t at) {
    if (st.playing >= 0) {
        SheetNote& n = s.notes[static_cast<size_t>(st.playing)];
        n.end = std::max(n.start, std::min(n.end, at));
    }
    st.playing = -1;
}

// Where the sheet is: the order, row and channel, and the row's timing.
struct SheetPlace {
    int order, row, ch;
    int64_t tick;
    int speed, tempo;
};

void StartNote(Sheet& s, ChannelState& st, const Cell& c, const SheetPlace& p, int delay) {
    SheetNote n;
    n.channel = p.ch;
    n.order = p.order;
    n.row = p.row;
    n.tick = delay;
    n.start = p.tick + delay;
    n.end = INT64_MAX;
    n.note = c.note - TrackerC0;
    n.sample = st.sample;
    n.volume = c.volumeFx == 'v' ? c.volume : 64;
    st.playing = static_cast<int>(s.notes.size());
    s.notes.push_back(n);
    s.tickSeconds.push_back(2.5 / p.tempo);
    s.speedAt.push_back(p.speed);
}

// J on a sounding note: its parameter, or the last one when 0, plays for the row.
void ReadArpeggio(Sheet& s, ChannelState& st, int info, const SheetPlace& p) {
    if (info) st.arpeggio = static_cast<uint8_t>(info);
    if (!st.arpeggio) return;
    SheetNote& n = s.notes[static_cast<size_t>(st.playing)];
    const uint16_t ups =
        static_cast<uint16_t>((1u << (st.arpeggio >> 4) | 1u << (st.arpeggio & 15)) & ~1u);
    n.arpeggio |= ups;
    s.arpeggios.push_back({static_cast<size_t>(st.playing), p.tick, p.tick + p.speed, ups});
}

void ReadChannelRow(Sheet& s, ChannelState& st, const Cell& c, const SheetPlace& p) {
    int delay = 0;
    if (c.fx == 'S' && c.info >> 4 == 0xD) delay = c.info & 15;
    if (delay >= p.speed) return; // a note delayed past its row never plays
    const int64_t at = p.tick + delay;
    const bool silenced = c.volumeFx == 'v' && c.volume == 0;
    if (c.instrument > 0) st.sample = c.instrument - 1;
    if (c.note >= NoteMin && c.note <= NoteMax) {
        EndNote(s, st, at);
        if (!silenced) StartNote(s, st, c, p, delay);
    } else if (c.note > NoteMax || silenced) {
        EndNote(s, st, at); // note off, cut or fade, or silenced
    }
    if (c.fx == 'J' && st.playing >= 0) ReadArpeggio(s, st, c.info, p);
    if (c.fx == 'S' && c.info >> 4 == 0xC && (c.info & 15) < p.speed)
        EndNote(s, st, p.tick + (c.info & 15));
}

// The notes of every order in playing order, timed in ticks. Followed: set
// speed (A) and tempo (T), note delay (SD), note cut (SC), note off, a volume
// of 0 and arpeggio (J). Not followed: jumps, breaks, pattern delays and
// loops, volume slides; every order plays all its rows.
Sheet ReadSheet(const openmpt::module& m, int speed, int tempo) {
    Sheet s;
    const int channels = m.get_num_channels();
    std::vector<ChannelState> state(static_cast<size_t>(channels));
    int64_t tick = 0;
    for (int order = 0; order < m.get_num_orders(); ++order) {
        const int pattern = m.get_order_pattern(order);
        const bool valid = pattern >= 0 && pattern < m.get_num_patterns();
        const int rows = valid ? m.get_pattern_num_rows(pattern) : 0;
        s.rowsPerOrder.push_back(rows);
        s.rowTick.emplace_back();
        for (int row = 0; row < rows; ++row) {
            ReadSpeedAndTempo(m, pattern, row, speed, tempo);
            s.rowTick.back().push_back(tick);
            for (int ch = 0; ch < channels; ++ch)
                ReadChannelRow(s, state[static_cast<size_t>(ch)], ReadCell(m, pattern, row, ch),
                               {order, row, ch, tick, speed, tempo});
            tick += speed;
        }
    }
    for (ChannelState& st : state)
        EndNote(s, st, tick);
    return s;
}

// --- Single notes ----------------------------------------------------------

// Plays `sample` at tracker note `note` alone (every channel of the song
// muted) and returns `seconds` of its sound (left side; it is centred).
std::vector<float> PlayAlone(std::span<const uint8_t> bytes, int sample, int note, double seconds,
                             bool raw) {
    auto m = Load(bytes, "continue");
    m->set_repeat_count(-1);
    if (raw) {
        // The sample's own values: no interpolation and no volume ramp.
        m->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 1);
        m->set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, 0);
    }
    openmpt::ext::interactive& interactive = Interactive(*m);
    for (int ch = 0; ch < m->get_num_channels(); ++ch)
        interactive.set_channel_mute_status(ch, true);
    interactive.play_note(sample, note + 12, 1.0, 0.0);
    const size_t frames = static_cast<size_t>(seconds * SongRate);
    std::vector<float> left(frames), right(frames);
    size_t done = 0;
    while (done < frames) {
        const size_t got =
            m->read(SongRate, frames - done, left.data() + done, right.data() + done);
        if (got == 0) break;
        done += got;
    }
    left.resize(done);
    return left;
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

ToneFigures MeasureTone(std::span<const uint8_t> bytes, int sample, int note, bool tonal) {
    ToneFigures t;
    t.sample = sample;
    t.note = note;
    if (note + 12 < 0 || note + 12 > 119) return t;
    constexpr double Seconds = 1.3, Settle = 0.1;
    const std::vector<float> x = PlayAlone(bytes, sample, note, Seconds, false);
    float peak = 0;
    for (float v : x)
        peak = std::max(peak, std::fabs(v));
    if (peak <= 0) {
        t.ringSeconds = 0;
        return t;
    }
    size_t last = 0;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > peak * 0.00316f) last = i; // -50 dB
    if (last + SongRate / 20 < x.size()) t.ringSeconds = double(last + 1) / SongRate;
    if (!tonal) {
        const size_t window = SongRate / 50, late = std::min(last, x.size()) / 2;
        t.startHz = CrossingHz(std::span(x).first(std::min(window, x.size())));
        if (late > window / 2 && late + window / 2 <= x.size())
            t.lateHz = CrossingHz(std::span(x).subspan(late - window / 2, window));
    }
    if (tonal && x.size() > size_t(Settle * SongRate)) {
        t.frequency = MeasureFrequency(std::span(x).subspan(size_t(Settle * SongRate)), SongRate);
        if (t.frequency > 0) {
            const double exact = 69 + 12 * std::log2(t.frequency / 440);
            t.pitch = static_cast<int>(std::lround(exact));
            t.cents = (exact - t.pitch) * 100;
        }
    }
    // The onset: the largest step of the first four values from silence.
    const std::vector<float> raw = PlayAlone(bytes, sample, note, 0.05, true);
    size_t first = 0;
    while (first < raw.size() && std::fabs(raw[first]) < 1e-7f)
        ++first;
    float rawPeak = 0, jump = 0;
    for (size_t i = first; i < raw.size(); ++i) {
        rawPeak = std::max(rawPeak, std::fabs(raw[i]));
        if (i < first + 4)
            jump = std::max(jump, std::fabs(raw[i] - (i > first ? raw[i - 1] : 0.0f)));
    }
    t.onsetJump = rawPeak > 0 ? jump / rawPeak : 0;
    return t;
}

bool Tonal(SongRole role) {
    return role == SongRole::Melody || role == SongRole::Harmony || role == SongRole::Bass;
}

constexpr std::array<SongRole, 7> Roles = {SongRole::Melody, SongRole::Harmony, SongRole::Bass,
                                           SongRole::Kick,   SongRole::Snare,   SongRole::Hats,
                                           SongRole::Cymbal};

const char* IntervalName(int semitones) {
    switch (semitones % 12) {
    case 1:
        return semitones > 12 ? "minor ninth" : "minor second";
    case 11:
        return "major seventh";
    default:
        return "tritone";
    }
}

} // namespace

// --- Measures --------------------------------------------------------------

double Decibels(double level) {
    return level > 0 ? 20 * std::log10(level) : -HUGE_VAL;
}

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

double IntegratedLoudness(std::span<const float> left, std::span<const float> right) {
    const std::vector<float> kl = KWeighted(left), kr = KWeighted(right);
    const size_t n = std::min(kl.size(), kr.size());
    std::vector<double> power(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        power[i + 1] = power[i] + double(kl[i]) * kl[i] + double(kr[i]) * kr[i];
    return GatedLoudness(power, 0, n);
}

namespace {

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

std::string PitchName(int pitch) {
    static constexpr const char* Names[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                            "F#", "G",  "G#", "A",  "A#", "B"};
    if (pitch < 0) return "?";
    return std::string(Names[pitch % 12]) + std::to_string(pitch / 12 - 1);
}

std::string TrackerNoteName(int note) {
    static constexpr const char* Names[] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                            "F#", "G-", "G#", "A-", "A#", "B-"};
    if (note < 0) return "???";
    return std::string(Names[note % 12]) + std::to_string(note / 12);
}

const char* RoleName(SongRole role) {
    switch (role) {
    case SongRole::Melody:
        return "melody";
    case SongRole::Harmony:
        return "harmony";
    case SongRole::Bass:
        return "bass";
    case SongRole::Kick:
        return "kick";
    case SongRole::Snare:
        return "snare";
    case SongRole::Hats:
        return "hats";
    case SongRole::Cymbal:
        return "cymbal";
    }
    return "?";
}

namespace {

// The whole mix: per order, over the greeting, its true peak, its last row
// and the two verses.
void MeasureMix(std::span<const uint8_t> bytes, SongAnalysis& a) {
    const std::vector<bool> everything(size_t(a.channels), true);
    const Render r = RenderSong(bytes, everything);
    const Measured m(r);
    for (size_t o = 0; o < r.orderBegin.size(); ++o)
        a.orders.push_back(m.Figures(r.orderBegin[o], r.orderEnd[o]));
    a.greeting = m.Figures(0, r.greetingEnd);
    a.truePeak = std::max(TruePeak(std::span(r.left).first(r.greetingEnd)),
                          TruePeak(std::span(r.right).first(r.greetingEnd)));
    a.lastRowPeak = m.Figures(r.lastRowBegin, r.greetingEnd).peak;
    auto span = [&](size_t first, size_t last) {
        if (last >= r.orderBegin.size()) return -HUGE_VAL;
        return m.Loudness(r.orderBegin[first], r.orderEnd[last]);
    };
    a.verseOne = span(6, 7);
    a.verseTwo = span(8, 9);
}

// The channels in `audible` alone, per order and over the greeting.
void MeasureAlone(std::span<const uint8_t> bytes, const std::vector<bool>& audible,
                  VoiceFigures& v) {
    const Render r = RenderSong(bytes, audible);
    const Measured m(r);
    for (size_t o = 0; o < r.orderBegin.size(); ++o)
        v.orders.push_back(m.Figures(r.orderBegin[o], r.orderEnd[o]));
    v.greeting = m.Figures(0, r.greetingEnd);
}

void MeasureVoices(std::span<const uint8_t> bytes, const std::vector<SongVoice>& voices,
                   bool rolesKnown, SongAnalysis& a) {
    for (int ch = 0; ch < a.channels; ++ch) {
        VoiceFigures v;
        if (rolesKnown) {
            v.name = voices[size_t(ch)].name;
            v.role = voices[size_t(ch)].role;
            v.roleKnown = true;
        } else {
            v.name = "channel " + std::to_string(ch + 1);
        }
        std::vector<bool> alone(size_t(a.channels), false);
        alone[size_t(ch)] = true;
        MeasureAlone(bytes, alone, v);
        a.voices.push_back(std::move(v));
    }
}

// Each role's channels together; a role of one channel is that voice's figures.
void MeasureRoles(std::span<const uint8_t> bytes, const std::vector<SongVoice>& voices,
                  SongAnalysis& a) {
    for (SongRole role : Roles) {
        std::vector<bool> audible(size_t(a.channels), false);
        int count = 0, only = 0;
        for (int ch = 0; ch < a.channels; ++ch)
            if (voices[size_t(ch)].role == role) audible[size_t(ch)] = true, ++count, only = ch;
        if (count == 0) continue;
        VoiceFigures v;
        v.name = RoleName(role);
        v.role = role;
        v.roleKnown = true;
        if (count == 1) {
            v.orders = a.voices[size_t(only)].orders;
            v.greeting = a.voices[size_t(only)].greeting;
        } else {
            MeasureAlone(bytes, audible, v);
        }
        a.roles.push_back(std::move(v));
    }
}

using ToneTable = std::map<std::pair<int, int>, ToneFigures>; // by (sample, note)

// Whether a channel's pitch is measured: known roles only.
bool TonalChannel(const std::vector<SongVoice>& voices, bool rolesKnown, int ch) {
    return rolesKnown && Tonal(voices[size_t(ch)].role);
}

// Every (sample, note) the song plays, alone: the tonal ones with the notes
// their arpeggios add, and the drums.
void MeasureTones(std::span<const uint8_t> bytes, const Sheet& sheet,
                  const std::vector<SongVoice>& voices, bool rolesKnown, ToneTable& tones,
                  ToneTable& drums) {
    for (const SheetNote& n : sheet.notes) {
        if (TonalChannel(voices, rolesKnown, n.channel)) {
            for (int up = 0; up < 16; ++up)
                if ((up == 0 || n.arpeggio >> up & 1) && !tones.count({n.sample, n.note + up}))
                    tones[{n.sample, n.note + up}] =
                        MeasureTone(bytes, n.sample, n.note + up, true);
        } else if (!drums.count({n.sample, n.note})) {
            drums[{n.sample, n.note}] = MeasureTone(bytes, n.sample, n.note, false);
        }
    }
}

// A note sounds until the next note, an off, a cut, a volume of 0, or its
// sample dies away.
void EndNotes(Sheet& sheet, const std::vector<SongVoice>& voices, bool rolesKnown,
              const ToneTable& tones, const ToneTable& drums, SongAnalysis& a) {
    a.notesPerOrder.assign(sheet.rowsPerOrder.size(), 0);
    for (size_t i = 0; i < sheet.notes.size(); ++i) {
        SheetNote& n = sheet.notes[i];
        const auto& table = TonalChannel(voices, rolesKnown, n.channel) ? tones : drums;
        const auto t = table.find({n.sample, n.note});
        if (t != table.end() && t->second.ringSeconds < HUGE_VAL)
            n.end = std::min(n.end, n.start + static_cast<int64_t>(std::ceil(
                                                  t->second.ringSeconds / sheet.tickSeconds[i])));
        n.rows = double(n.end - n.start) / sheet.speedAt[i];
        ++a.notesPerOrder[size_t(n.order)];
    }
}

struct Sounding {
    int channel, pitch;
};

// The sounding pitch of a note `up` semitones above n: measured when it could be.
int PitchOf(const ToneTable& tones, const SheetNote& n, int up) {
    const auto t = tones.find({n.sample, n.note + up});
    return t != tones.end() && t->second.pitch >= 0 ? t->second.pitch : n.note + up + 12;
}

// The tonal notes sounding at tick `at`.
std::vector<Sounding> SoundingAt(const SongAnalysis& a, const Sheet& sheet,
                                 const std::vector<SongVoice>& voices, const ToneTable& tones,
                                 int64_t at) {
    std::vector<Sounding> sounding;
    for (size_t k = 0; k < a.notes.size(); ++k) {
        const SheetNote& n = a.notes[k];
        if (n.start > at || at >= n.end || n.volume == 0 || !TonalChannel(voices, true, n.channel))
            continue;
        sounding.push_back({n.channel, PitchOf(tones, n, 0)});
        // The notes above sound only on the rows that arpeggiate.
        for (const Sheet::Arpeggio& j : sheet.arpeggios)
            if (j.note == k && j.from <= at && at < j.to)
                for (int up = 1; up < 16; ++up)
                    if (j.ups >> up & 1) sounding.push_back({n.channel, PitchOf(tones, n, up)});
    }
    return sounding;
}

// The clashes on one beat: on a downbeat or a change of chord every note
// outside it, and always the sharp intervals between voices outside it.
void BeatClashes(const SongBeat& b, bool change, const std::vector<Sounding>& sounding,
                 const std::vector<SongVoice>& voices, std::vector<Clash>& clashes) {
    auto in = [&](int pitch) { return b.tones >> (pitch % 12) & 1; };
    auto who = [&](const Sounding& s) {
        return PitchName(s.pitch) + " (" + voices[size_t(s.channel)].name + ")";
    };
    if (b.downbeat || change)
        for (const Sounding& s : sounding)
            if (!in(s.pitch))
                clashes.push_back({b.order, b.row, b.tick, who(s) + " is not in " + b.chord});
    for (size_t x = 0; x < sounding.size(); ++x)
        for (size_t y = x + 1; y < sounding.size(); ++y) {
            const Sounding &p = sounding[x], &q = sounding[y];
            if (p.channel == q.channel) continue;
            const int interval = std::abs(p.pitch - q.pitch);
            const int kind = interval % 12;
            if (kind != 1 && kind != 11 && kind != 6) continue;
            if (in(p.pitch) && in(q.pitch)) continue; // inside the declared chord
            const std::string what =
                who(p) + " against " + who(q) + ": " + IntervalName(interval) + " over " + b.chord;
            clashes.push_back({b.order, b.row, b.tick, what});
        }
}

// The chord chart against the sounding notes; the roles are known.
void CheckChart(const Sheet& sheet, const std::vector<SongVoice>& voices,
                const std::vector<SongBeat>& beats, const ToneTable& tones, SongAnalysis& a) {
    for (const SongBeat& b : beats)
        if (b.order >= 0 && size_t(b.order) < sheet.rowTick.size() && b.row >= 0 &&
            size_t(b.row) < sheet.rowTick[size_t(b.order)].size())
            a.beats.push_back(b);
    uint16_t previous = 0;
    for (size_t i = 0; i < a.beats.size(); ++i) {
        const SongBeat& b = a.beats[i];
        const int64_t at = sheet.rowTick[size_t(b.order)][size_t(b.row)] + b.tick;
        const std::vector<Sounding> sounding = SoundingAt(a, sheet, voices, tones, at);
        const bool change = i == 0 || b.tones != previous;
        previous = b.tones;
        BeatClashes(b, change, sounding, voices, a.clashes);
    }
}

} // namespace

SongAnalysis AnalyseSong(std::span<const uint8_t> bytes, const std::vector<SongVoice>& voices,
                         const std::vector<SongBeat>& beats) {
    SongAnalysis a;
    auto module = Load(bytes, "stop");
    // libopenmpt plays silence where a cut file's samples are missing.
    if (!ModuleIsWhole(bytes, module->get_metadata("type")))
        throw std::runtime_error("the module is cut short: parts of it that its headers point "
                                 "at are missing");
    a.channels = module->get_num_channels();
    a.speed = module->get_current_speed();
    a.tempo = module->get_current_tempo();
    const bool rolesKnown = voices.size() == static_cast<size_t>(a.channels);
    if (module->get_duration_seconds() > LongestRender)
        throw std::runtime_error("the module plays longer than 10 minutes; not measured");

    // The whole mix and each voice alone.
    MeasureMix(bytes, a);
    MeasureVoices(bytes, voices, rolesKnown, a);
    if (rolesKnown) MeasureRoles(bytes, voices, a);

    // The notes, and each tonal note played alone.
    Sheet sheet = ReadSheet(*module, a.speed, a.tempo);
    a.rowsPerOrder = sheet.rowsPerOrder;
    ToneTable tones, drums;
    MeasureTones(bytes, sheet, voices, rolesKnown, tones, drums);
    for (auto& [key, t] : tones)
        a.tones.push_back(t);
    for (auto& [key, t] : drums)
        a.drums.push_back(t);
    EndNotes(sheet, voices, rolesKnown, tones, drums, a);
    a.notes = sheet.notes;

    a.chartKnown = rolesKnown && !beats.empty();
    if (a.chartKnown) CheckChart(sheet, voices, beats, tones, a);
    return a;
}

// The targets the greeting's music is held to, and the report that shows
// them with everything measured on the way.
#include "songcheck/SongCheck.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

// The targets' limits.
constexpr double MaxCents = 3;
constexpr double MelodyLead = 3;  // dB over every other tonal voice, orders 6-10
constexpr double DrumsUnder = 12; // dB at most under the bass
constexpr double MaxDc = 0.002;   // of full scale, every order
constexpr double MaxOnsetJump = 0.25;
constexpr double VerseLift = 1.5; // LU, orders 8-9 over 6-7
constexpr int QuietEndRows = 8;   // no note starts in the last rows of order 10
constexpr double EndPeak = -40;   // dBFS, the last row of order 10
constexpr double MinSeconds = 75, MaxSeconds = 100;
constexpr double MaxTruePeak = -1;
constexpr double MinLoudness = -16, MaxLoudness = -12;
constexpr double MaxBalance = 3; // dB, every order
constexpr double VoiceSide = 3;  // dB: a voice this far left and one this far right

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// "-14.2" or "silent".
std::string Lufs(double loudness) {
    return loudness > -HUGE_VAL ? Format("%.1f", loudness) : "silent";
}
std::string Dbfs(double level) {
    return level > 0 ? Format("%.1f", Decibels(level)) : "-inf";
}

const VoiceFigures* FindRole(const SongAnalysis& song, SongRole role) {
    for (const VoiceFigures& v : song.roles)
        if (v.role == role) return &v;
    return nullptr;
}

double OrderSeconds(const SongAnalysis& song, int first, int last) {
    double s = 0;
    for (int o = first; o <= last && o < int(song.orders.size()); ++o)
        s += song.orders[size_t(o)].seconds;
    return s;
}

std::string ToneName(const ToneFigures& t) {
    return (t.pitch >= 0 ? PitchName(t.pitch) : std::string("?")) + " (" + TrackerNoteName(t.note) +
           ", sample " + std::to_string(t.sample + 1) + ")";
}

// Words laid out in lines of at most `width` columns, each starting with `indent`.
std::string Wrap(const std::vector<std::string>& words, const std::string& indent, size_t width) {
    std::string out, line = indent;
    for (const std::string& w : words) {
        if (line.size() > indent.size() && line.size() + 1 + w.size() > width) {
            out += line + "\n";
            line = indent;
        }
        if (line.size() > indent.size()) line += ' ';
        line += w;
    }
    if (line.size() > indent.size()) out += line + "\n";
    return out;
}

constexpr size_t ReportWidth = 100; // the report's lines fit in this many columns

// A tonal note: where, its sounding pitch, tracker note and rows, and the
// notes its arpeggio adds.
std::string TonalNoteWord(const SongAnalysis& song, const SheetNote& n, const std::string& where) {
    int pitch = n.note + 12;
    for (const ToneFigures& t : song.tones)
        if (t.sample == n.sample && t.note == n.note && t.pitch >= 0) pitch = t.pitch;
    std::string word = where + ":" + PitchName(pitch) + "(" + TrackerNoteName(n.note) + ")" +
                       Format("%g", std::round(n.rows * 10) / 10);
    if (n.arpeggio) {
        word += "+J";
        for (int up = 1; up < 16; ++up)
            if (n.arpeggio >> up & 1) word += Format("%X", up);
    }
    return word;
}

SongTarget TuneTarget(const SongAnalysis& song) {
    double worst = 0;
    std::string where = "no tonal notes";
    bool met = !song.tones.empty();
    for (const ToneFigures& tone : song.tones) {
        if (tone.frequency <= 0) {
            met = false;
            where = "no steady pitch in " + ToneName(tone);
            break;
        }
        if (where == "no tonal notes" || std::fabs(tone.cents) > std::fabs(worst)) {
            worst = tone.cents;
            where = ToneName(tone);
        }
    }
    met = met && std::fabs(worst) <= MaxCents;
    return {"tune", Format("every tonal note within %g cents of equal temperament", MaxCents), met,
            Format("worst %+.1f cents: %s", worst, where.c_str())};
}

SongTarget HarmonyTarget(const SongAnalysis& song) {
    return {"harmony", "the notes of every beat fit its chord, no clashes",
            song.chartKnown && song.clashes.empty(),
            song.chartKnown
                ? Format("%zu clashes on %zu beats", song.clashes.size(), song.beats.size())
                : std::string("no chord chart for this module")};
}

SongTarget MelodyTarget(const SongAnalysis& song, int lastOrder) {
    const VoiceFigures* melody = FindRole(song, SongRole::Melody);
    bool met = melody != nullptr && lastOrder >= 6;
    double least = HUGE_VAL;
    std::string where = melody ? "" : "no melody voice";
    for (int o = 6; melody && o <= lastOrder; ++o) {
        const double m = melody->orders[size_t(o)].loudness;
        for (const VoiceFigures& v : song.voices) {
            if (!v.roleKnown || v.role == SongRole::Melody ||
                !(v.role == SongRole::Harmony || v.role == SongRole::Bass))
                continue;
            const double lead = m - v.orders[size_t(o)].loudness;
            if (lead < least) {
                least = lead;
                where = Format("order %d, over %s", o, v.name.c_str());
            }
        }
    }
    met = met && least >= MelodyLead;
    return {"melody", Format("melody the loudest tonal voice by %g dB in orders 6-10", MelodyLead),
            met, Format("least lead %+.1f dB (%s)", least, where.c_str())};
}

SongTarget DrumsTarget(const SongAnalysis& song) {
    const VoiceFigures* bass = FindRole(song, SongRole::Bass);
    bool met = bass != nullptr;
    std::string figure = bass ? "bass " + Lufs(bass->greeting.loudness) : "no bass voice";
    for (SongRole role : {SongRole::Kick, SongRole::Snare, SongRole::Hats}) {
        const VoiceFigures* drum = FindRole(song, role);
        const double under =
            bass && drum ? bass->greeting.loudness - drum->greeting.loudness : HUGE_VAL;
        met = met && under <= DrumsUnder;
        figure += Format(", %s %s", RoleName(role),
                         drum ? Format("%.1f dB under", under).c_str() : "missing");
    }
    return {"drums", Format("kick, snare and hats at most %g dB under the bass", DrumsUnder), met,
            figure};
}

SongTarget DcTarget(const SongAnalysis& song) {
    double worst = 0;
    int where = 0;
    for (size_t o = 0; o < song.orders.size(); ++o)
        for (double dc : {song.orders[o].dcLeft, song.orders[o].dcRight})
            if (std::fabs(dc) > std::fabs(worst)) worst = dc, where = int(o);
    return {"dc", Format("DC of every order under %g", MaxDc), std::fabs(worst) < MaxDc,
            Format("worst %+.4f in order %d", worst, where)};
}

SongTarget OnsetsTarget(const SongAnalysis& song) {
    double worst = 0;
    std::string where = "no tonal notes";
    for (const ToneFigures& tone : song.tones)
        if (where == "no tonal notes" || tone.onsetJump > worst)
            worst = tone.onsetJump, where = ToneName(tone);
    return {"onsets", "tonal notes start without a click",
            !song.tones.empty() && worst <= MaxOnsetJump,
            Format("largest first step %.2f of the note's peak: %s", worst, where.c_str())};
}

SongTarget VerseTarget(const SongAnalysis& song) {
    const double lift = song.verseTwo - song.verseOne;
    return {"verse",
            Format("second verse (orders 8-9) %g LU louder than the first (6-7)", VerseLift),
            lift >= VerseLift,
            Format("%+.1f LU (%s against %s LUFS)", lift, Lufs(song.verseTwo).c_str(),
                   Lufs(song.verseOne).c_str())};
}

SongTarget OpeningTarget(const SongAnalysis& song, int lastOrder) {
    bool met = lastOrder >= 1;
    double closest = HUGE_VAL;
    int fewest = 1 << 30;
    for (int o = 1; o <= lastOrder; ++o) {
        closest = std::min(closest, song.orders[size_t(o)].loudness - song.orders[0].loudness);
        fewest = std::min(fewest, song.notesPerOrder[size_t(o)]);
    }
    const int opening = song.notesPerOrder.empty() ? 0 : song.notesPerOrder[0];
    met = met && closest > 0 && opening < fewest;
    return {"opening", "order 0 quieter and sparser than every order 1-10", met,
            Format("%.1f LU under the next quietest; %d notes against at least %d", closest,
                   opening, fewest)};
}

SongTarget EndingTarget(const SongAnalysis& song, int lastOrder) {
    int lateStart = -1;
    const int rows = lastOrder >= 0 ? song.rowsPerOrder[size_t(lastOrder)] : 0;
    for (const SheetNote& n : song.notes)
        if (n.order == lastOrder && n.row >= rows - QuietEndRows) lateStart = n.row;
    const double endPeak = Decibels(song.lastRowPeak);
    return {"ending", "the last chord fades out inside order 10",
            lastOrder == GreetingOrders - 1 && lateStart < 0 && endPeak <= EndPeak,
            Format("last row peak %s dBFS; %s", Dbfs(song.lastRowPeak).c_str(),
                   lateStart < 0 ? "no note starts in the last 8 rows"
                                 : Format("a note starts at row %d", lateStart).c_str())};
}

SongTarget StereoTarget(const SongAnalysis& song, int lastOrder) {
    double worst = 0, left = 0, right = 0;
    int where = 0;
    for (int o = 0; o <= lastOrder; ++o)
        if (std::fabs(song.orders[size_t(o)].balance) > std::fabs(worst))
            worst = song.orders[size_t(o)].balance, where = o;
    for (const VoiceFigures& v : song.voices) {
        left = std::min(left, v.greeting.balance);
        right = std::max(right, v.greeting.balance);
    }
    return {"stereo", Format("voices left and right, no order lopsided by %g dB", MaxBalance),
            std::fabs(worst) <= MaxBalance && left <= -VoiceSide && right >= VoiceSide,
            Format("worst order %d at %+.1f dB (right over left); voices from %+.1f to "
                   "%+.1f dB",
                   where, worst, left, right)};
}

// One channel's notes in an order, as the report's words.
std::vector<std::string> NoteWords(const SongAnalysis& song, size_t o, size_t ch) {
    const VoiceFigures& v = song.voices[ch];
    std::vector<std::string> words;
    // Drums, and channels of unknown part (their pitch is not
    // measured): the tracker's note alone.
    const bool drum = !v.roleKnown || (v.role != SongRole::Melody && v.role != SongRole::Harmony &&
                                       v.role != SongRole::Bass);
    int previous = -1;
    for (const SheetNote& n : song.notes) {
        if (n.order != int(o) || n.channel != int(ch)) continue;
        std::string where = std::to_string(n.row);
        if (n.tick) where += "." + std::to_string(n.tick);
        if (drum) {
            words.push_back(n.note == previous ? where : where + ":" + TrackerNoteName(n.note));
            previous = n.note;
            continue;
        }
        words.push_back(TonalNoteWord(song, n, where));
    }
    return words;
}

// The figures of one order, its voices' notes, chords and clashes.
std::string OrderReport(const SongAnalysis& song, size_t o, double at) {
    std::string out;
    const SoundFigures& f = song.orders[o];
    out += "\n";
    out += Format("Order %zu: %.2f s at %d:%04.1f | %s LUFS | peak %s | DC %+.4f %+.4f | "
                  "R-L %+.1f | corr %.2f\n",
                  o, f.seconds, int(at) / 60, at - 60 * int(at / 60), Lufs(f.loudness).c_str(),
                  Dbfs(f.peak).c_str(), f.dcLeft, f.dcRight, f.balance, f.correlation);
    for (size_t ch = 0; ch < song.voices.size(); ++ch) {
        const VoiceFigures& v = song.voices[ch];
        const SoundFigures& vf = v.orders[o];
        const std::vector<std::string> words = NoteWords(song, o, ch);
        if (words.empty() && vf.loudness == -HUGE_VAL) continue;
        out +=
            Format("  %-16s %-7s %6s LUFS  peak %5s  R-L %+5.1f  DC %+.4f  %zu notes\n",
                   v.name.c_str(), v.roleKnown ? RoleName(v.role) : "", Lufs(vf.loudness).c_str(),
                   Dbfs(vf.peak).c_str(), vf.balance, (vf.dcLeft + vf.dcRight) / 2, words.size());
        out += Wrap(words, "      ", ReportWidth);
    }
    std::vector<std::string> chords = {"chords:"};
    for (const SongBeat& b : song.beats)
        if (b.order == int(o))
            chords.push_back(std::string(b.downbeat ? "|" : "") + std::to_string(b.row) +
                             (b.tick ? "." + std::to_string(b.tick) : "") + ":" + b.chord);
    if (chords.size() > 1) out += Wrap(chords, "  ", ReportWidth);
    for (const Clash& c : song.clashes)
        if (c.order == int(o))
            out += Format("  clash at row %d%s: %s\n", c.row,
                          c.tick ? Format(" tick %d", c.tick).c_str() : "", c.what.c_str());
    return out;
}

// Two to a line, in columns.
std::string Columns(const std::vector<std::string>& cells) {
    std::string out;
    for (size_t i = 0; i < cells.size(); i += 2)
        out += "  " + cells[i] + (i + 1 < cells.size() ? "  |  " + cells[i + 1] : "") + "\n";
    return out;
}

std::string ToneCell(const ToneFigures& t) {
    return Format("s%-2d %-4s ", t.sample + 1, TrackerNoteName(t.note).c_str()) +
           (t.frequency > 0
                ? Format("%8.2f Hz %-4s %+5.1f c", t.frequency, PitchName(t.pitch).c_str(), t.cents)
                : Format("%-23s", "no steady pitch")) +
           Format("  %.2f ", t.onsetJump) +
           (t.ringSeconds < HUGE_VAL ? Format("%4.2f s", t.ringSeconds) : std::string("held"));
}

// The whole song: the greeting's figures, the voices and every note played alone.
std::string WholeSongReport(const SongAnalysis& song) {
    std::string out = "\nThe whole song\n";
    const int lastOrder = std::min(GreetingOrders, int(song.orders.size())) - 1;
    out += Format("  orders 0-%d, what the greeting plays: %.1f s, %s LUFS, true peak %s dBTP, "
                  "peak %s dBFS\n",
                  lastOrder, OrderSeconds(song, 0, lastOrder), Lufs(song.greeting.loudness).c_str(),
                  Dbfs(song.truePeak).c_str(), Dbfs(song.greeting.peak).c_str());
    out += Format("  second verse (orders 8-9) %s LUFS, first (6-7) %s LUFS: %+.1f LU\n",
                  Lufs(song.verseTwo).c_str(), Lufs(song.verseOne).c_str(),
                  song.verseTwo - song.verseOne);
    std::vector<std::string> voices = {"voices alone over orders 0-10 (LUFS):"};
    for (const VoiceFigures& v : song.roles.empty() ? song.voices : song.roles)
        voices.push_back(v.name + " " + Lufs(v.greeting.loudness) + ";");
    out += Wrap(voices, "  ", ReportWidth);
    out += "  tonal notes played alone: sample, tracker note, Hz, pitch, cents, first step, "
           "sounds for\n";
    std::vector<std::string> cells;
    for (const ToneFigures& t : song.tones)
        cells.push_back(ToneCell(t));
    out += Columns(cells);
    cells.clear();
    for (const ToneFigures& t : song.drums)
        cells.push_back(Format("s%-2d %-4s  %.2f  %4.2f s  %5.0f -> %5.0f Hz", t.sample + 1,
                               TrackerNoteName(t.note).c_str(), t.onsetJump,
                               t.ringSeconds < HUGE_VAL ? t.ringSeconds : 0, t.startHz, t.lateHz));
    if (!cells.empty()) {
        out += "  drums played alone: sample, tracker note, first step, sounds for, pitch by zero\n"
               "  crossings over the first 20 ms -> half way through its sound\n";
        out += Columns(cells);
    }
    out += Format("  clashes: %zu\n", song.clashes.size());
    return out;
}

} // namespace

std::vector<SongTarget> CheckSongTargets(const SongAnalysis& song) {
    const int lastOrder = std::min(GreetingOrders, int(song.orders.size())) - 1;
    const double s = OrderSeconds(song, 0, lastOrder);
    return {TuneTarget(song),
            HarmonyTarget(song),
            MelodyTarget(song, lastOrder),
            DrumsTarget(song),
            DcTarget(song),
            OnsetsTarget(song),
            VerseTarget(song),
            OpeningTarget(song, lastOrder),
            EndingTarget(song, lastOrder),
            {"length", Format("orders 0-10 last %g-%g s", MinSeconds, MaxSeconds),
             s >= MinSeconds && s <= MaxSeconds, Format("%.1f s", s)},
            {"truepeak", Format("true peak at most %g dBTP", MaxTruePeak),
             Decibels(song.truePeak) <= MaxTruePeak,
             Format("%s dBTP", Dbfs(song.truePeak).c_str())},
            {"loudness", Format("integrated loudness %g to %g LUFS", MinLoudness, MaxLoudness),
             song.greeting.loudness >= MinLoudness && song.greeting.loudness <= MaxLoudness,
             Format("%s LUFS", Lufs(song.greeting.loudness).c_str())},
            StereoTarget(song, lastOrder)};
}

std::string SongReport(const SongAnalysis& song, const std::string& title) {
    std::string out;
    const double rowSeconds = song.speed * 2.5 / song.tempo;
    out += "Song report: " + title + "\n";
    out += Format("%d channels; speed %d, tempo %d at the start (a row lasts %.0f ms)\n",
                  song.channels, song.speed, song.tempo, rowSeconds * 1000);
    out +=
        "Loudness in LUFS (BS.1770-4), peaks in dBFS, R-L: right over left in dB (K-weighted).\n";
    out +=
        "Notes: row:sounding pitch(tracker note)rows, +J: arpeggio; drums: the rows they strike.\n";
    out += "Order 11 is the tail the greeting never plays.\n";
    if (song.voices.empty() || !song.voices[0].roleKnown)
        out += "No roles or chord chart for this module: channels by number, tracker notes only, "
               "no harmony check.\n";

    double at = 0;
    for (size_t o = 0; o < song.orders.size(); ++o) {
        out += OrderReport(song, o, at);
        at += song.orders[o].seconds;
    }
    out += WholeSongReport(song);

    out += "\nTargets\n";
    for (const SongTarget& t : CheckSongTargets(song))
        out += Format("  [%s] %s\n         %s\n", t.met ? " ok " : "MISS", t.name.c_str(),
                      t.figure.c_str());
    return out;
}

// The song report: per order the figures, each voice's notes, the chords and
// the clashes; then the whole song, every note played alone, and the targets.
#include "songcheck/Text.h"

#include <algorithm>

namespace {

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

// One channel's notes in an order, as the report's words.
std::vector<std::string> NoteWords(const SongAnalysis& song, size_t o, size_t ch) {
    const VoiceFigures& v = song.voices[ch];
    std::vector<std::string> words;
    // Drums, and channels of unknown part (their pitch is not
    // measured): the tracker's note alone.
    const bool drum = !v.roleKnown || !Tonal(v.role);
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

// Each voice that plays in order `o`: its figures and its notes.
std::string VoiceLines(const SongAnalysis& song, size_t o) {
    std::string out;
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
    return out;
}

// The chords of order `o` and its clashes.
std::string ChordLines(const SongAnalysis& song, size_t o) {
    std::string out;
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

// In a sung order, the melody over the pads together and its most hidden note.
std::string SungLine(const SongAnalysis& song, size_t o) {
    const VoiceFigures *melody = nullptr, *pads = nullptr;
    for (const VoiceFigures& v : song.roles) {
        if (v.role == SongRole::Melody) melody = &v;
        if (v.role == SongRole::Pads) pads = &v;
    }
    const SungFigures* buried = nullptr;
    for (const SungFigures& n : song.sung)
        if (n.order == int(o) && (!buried || n.over < buried->over)) buried = &n;
    if (!melody || !pads || !buried) return "";
    return Format("  melody over the pads %+.1f dB; its least note over the backing in its band "
                  "%+.1f dB (%s, row %d)\n",
                  melody->orders[o].loudness - pads->orders[o].loudness, buried->over,
                  PitchName(buried->pitch).c_str(), buried->row);
}

// The figures of one order, its voices' notes, chords and clashes.
std::string OrderReport(const SongAnalysis& song, size_t o, double at) {
    const SoundFigures& f = song.orders[o];
    return "\n" +
           Format("Order %zu: %.2f s at %d:%04.1f | %s LUFS | peak %s | DC %+.4f %+.4f | "
                  "R-L %+.1f | corr %.2f\n",
                  o, f.seconds, int(at) / 60, at - 60 * int(at / 60), Lufs(f.loudness).c_str(),
                  Dbfs(f.peak).c_str(), f.dcLeft, f.dcRight, f.balance, f.correlation) +
           VoiceLines(song, o) + SungLine(song, o) + ChordLines(song, o);
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
    const int lastOrder = LastGreetingOrder(song);
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

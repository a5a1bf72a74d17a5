// The song check's analysis: the whole mix, each voice and role alone, every
// note alone, the notes' ends, and the chart; the figures the song report
// and the song's tests read.
#include "songcheck/SongCheck.h"

#include "common/Error.h"
#include "music/ModuleCheck.h"
#include "songcheck/Harmony.h"
#include "songcheck/Heard.h"
#include "songcheck/Loudness.h"
#include "songcheck/Render.h"
#include "songcheck/Text.h"

#include <algorithm>
#include <array>
#include <set>

namespace {

constexpr std::array<SongRole, 8> Roles = {SongRole::Melody, SongRole::Pads,  SongRole::Harmony,
                                           SongRole::Bass,   SongRole::Kick,  SongRole::Snare,
                                           SongRole::Hats,   SongRole::Cymbal};

// A render's figures per order and over the greeting.
void OrderFigures(const Render& r, const SoundMeter& m, std::vector<SoundFigures>& orders,
                  SoundFigures& greeting) {
    for (size_t o = 0; o < r.orderBegin.size(); ++o)
        orders.push_back(m.Figures(r.orderBegin[o], r.orderEnd[o]));
    greeting = m.Figures(0, r.greetingEnd);
}

// The whole mix: per order, over the greeting, its true peak, its last row
// and the two verses.
bool MeasureMix(std::span<const uint8_t> bytes, SongAnalysis& a) {
    const std::optional<Render> r = RenderSong(bytes, std::vector<bool>(size_t(a.channels), true));
    if (!r) return false;
    const SoundMeter m(r->left, r->right);
    OrderFigures(*r, m, a.orders, a.greeting);
    a.truePeak = std::max(TruePeak(std::span(r->left).first(r->greetingEnd)),
                          TruePeak(std::span(r->right).first(r->greetingEnd)));
    a.lastRowPeak = m.Figures(r->lastRowBegin, r->greetingEnd).peak;
    auto span = [&](size_t first, size_t last) {
        if (last >= r->orderBegin.size()) return -HUGE_VAL;
        return m.Figures(r->orderBegin[first], r->orderEnd[last]).loudness;
    };
    a.verseOne = span(6, 7);
    a.verseTwo = span(8, 9);
    return true;
}

// The channels in `audible` alone, per order and over the greeting, and
// how they sound against `sheet` when `heard` is given.
bool MeasureAlone(std::span<const uint8_t> bytes, const std::vector<bool>& audible, VoiceFigures& v,
                  const Sheet* sheet = nullptr, Hearing* heard = nullptr) {
    const std::optional<Render> r = RenderSong(bytes, audible);
    if (r) OrderFigures(*r, SoundMeter(r->left, r->right), v.orders, v.greeting);
    if (r && heard) *heard = Hear(*sheet, *r);
    return r.has_value();
}

bool MeasureVoices(std::span<const uint8_t> bytes, const std::vector<SongVoice>& voices,
                   bool rolesKnown, const Sheet& sheet, SongAnalysis& a,
                   std::vector<Hearing>& heard) {
    heard.resize(size_t(a.channels));
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
        if (!MeasureAlone(bytes, alone, v, &sheet, &heard[size_t(ch)])) return false;
        a.voices.push_back(std::move(v));
    }
    return true;
}

// Each role's channels together; a role of one channel is that voice's figures.
bool MeasureRoles(std::span<const uint8_t> bytes, const std::vector<SongVoice>& voices,
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
        } else if (!MeasureAlone(bytes, audible, v)) {
            return false;
        }
        a.roles.push_back(std::move(v));
    }
    return true;
}

// Whether a channel's pitch is measured: known roles only.
bool TonalChannel(const std::vector<SongVoice>& voices, bool rolesKnown, int ch) {
    return rolesKnown && Tonal(voices[size_t(ch)].role);
}

// The (sample, note) pairs the song plays, each to be measured alone once:
// the tonal ones with the notes their arpeggios add, and the drums.
using ToneSet = std::set<std::pair<int, int>>;
void TonesPlayed(const Sheet& sheet, const std::vector<SongVoice>& voices, bool rolesKnown,
                 ToneSet& tones, ToneSet& drums) {
    for (const SheetNote& n : sheet.notes) {
        if (!TonalChannel(voices, rolesKnown, n.channel)) {
            drums.insert({n.sample, n.note});
            continue;
        }
        for (int up = 0; up < 16; ++up)
            if (up == 0 || n.arpeggio >> up & 1) tones.insert({n.sample, n.note + up});
    }
}

bool MeasureTones(std::span<const uint8_t> bytes, const ToneSet& wanted, bool tonal,
                  ToneTable& table) {
    for (const auto& [sample, note] : wanted) {
        const std::optional<ToneFigures> t = MeasureTone(bytes, sample, note, tonal);
        if (!t) return false;
        table[{sample, note}] = *t;
    }
    return true;
}

// A note sounds until the next note, an off, a cut, a volume of 0, or its
// sample dies away.
void EndNotes(Sheet& sheet, const std::vector<SongVoice>& voices, bool rolesKnown,
              const ToneTable& tones, const ToneTable& drums) {
    for (size_t i = 0; i < sheet.notes.size(); ++i) {
        SheetNote& n = sheet.notes[i];
        const auto& table = TonalChannel(voices, rolesKnown, n.channel) ? tones : drums;
        const auto t = table.find({n.sample, n.note});
        if (t != table.end() && t->second.ringSeconds < HUGE_VAL)
            n.end = std::min(n.end, n.start + static_cast<int64_t>(std::ceil(
                                                  t->second.ringSeconds / sheet.tickSeconds[i])));
        n.rows = double(n.end - n.start) / sheet.speedAt[i];
    }
}

// The notes, each played alone, and their ends.
bool MeasureNotes(std::span<const uint8_t> bytes, const std::vector<SongVoice>& voices,
                  bool rolesKnown, const ToneSet& tonal, const ToneSet& drum, Sheet& sheet,
                  ToneTable& tones, SongAnalysis& a) {
    ToneTable drums;
    if (!MeasureTones(bytes, tonal, true, tones) || !MeasureTones(bytes, drum, false, drums))
        return false;
    for (auto& [key, t] : tones)
        a.tones.push_back(t);
    for (auto& [key, t] : drums)
        a.drums.push_back(t);
    EndNotes(sheet, voices, rolesKnown, tones, drums);
    return true;
}

// The melody's notes in the sung orders against everything else, each in
// its own band.
bool MeasureSung(std::span<const uint8_t> bytes, const std::vector<SongVoice>& voices,
                 const Sheet& sheet, const ToneTable& tones, SongAnalysis& a) {
    std::vector<bool> melody(size_t(a.channels)), backing(size_t(a.channels));
    for (size_t ch = 0; ch < melody.size(); ++ch) {
        melody[ch] = voices[ch].role == SongRole::Melody;
        backing[ch] = !melody[ch];
    }
    if (std::find(melody.begin(), melody.end(), true) == melody.end()) return true;
    const std::optional<Render> lead = RenderSong(bytes, melody);
    const std::optional<Render> rest = lead ? RenderSong(bytes, backing) : std::nullopt;
    if (rest)
        a.sung =
            SungOverBacking(sheet, melody, *lead, *rest, tones, FirstSungOrder, GreetingOrders - 1);
    return rest.has_value();
}

// The rows of the pattern that `order` names; 0 for none.
int RowsAt(const openmpt::module& module, int order) {
    const int pattern = module.get_order_pattern(order);
    return pattern >= 0 && pattern < module.get_num_patterns()
               ? module.get_pattern_num_rows(pattern)
               : 0;
}

// What measuring a module takes is counted before any of it is done, and
// refused beyond what a report does in seconds: the song rendered whole, per
// channel and per role of several channels, the melody and its backing
// (seconds of sound), the sheet's cells, and each note played alone, which
// loads the module twice. The greeting's song asks for 15 renders of 94 s,
// 8448 cells and 64 notes.
constexpr double MostRenderedSeconds = 4000;
constexpr size_t MostCells = 1 << 20;
constexpr size_t MostNotesAlone = 600;
constexpr size_t MostNoteLoadBytes = size_t{1} << 30;

bool RendersWithinBudget(const openmpt::module& module, const std::vector<SongVoice>& voices,
                         bool rolesKnown) {
    size_t renders = 1 + size_t(module.get_num_channels()) + (rolesKnown ? 2 : 0), cells = 0;
    for (SongRole role : Roles)
        renders +=
            rolesKnown && std::count_if(voices.begin(), voices.end(),
                                        [&](const SongVoice& v) { return v.role == role; }) > 1;
    for (int order = 0; order < module.get_num_orders(); ++order)
        cells += size_t(RowsAt(module, order)) * size_t(module.get_num_channels());
    const double seconds = module.get_duration_seconds();
    if (double(renders) * seconds <= MostRenderedSeconds && cells <= MostCells) return true;
    return SetError("measuring the module would take too long (%zu renders of %.0f s, %zu cells "
                    "of notes); not measured",
                    renders, seconds, cells);
}

bool NotesWithinBudget(std::span<const uint8_t> bytes, size_t notes) {
    if (notes <= MostNotesAlone && notes * 2 * bytes.size() <= MostNoteLoadBytes) return true;
    return SetError("measuring the module would take too long (%zu notes to play alone, each "
                    "loading its %zu bytes twice); not measured",
                    notes, bytes.size());
}

} // namespace

bool Tonal(SongRole role) {
    return role == SongRole::Melody || role == SongRole::Pads || role == SongRole::Harmony ||
           role == SongRole::Bass;
}

std::optional<SongAnalysis> AnalyseSong(std::span<const uint8_t> bytes,
                                        const std::vector<SongVoice>& voices,
                                        const std::vector<SongBeat>& beats) {
    SongAnalysis a;
    const auto module = LoadModule(bytes, "stop");
    if (!module) return std::nullopt;
    // libopenmpt plays silence where a cut file's samples are missing.
    if (!ModuleIsWhole(bytes, module->get_metadata("type"))) {
        SetError("the module is cut short: parts of it that its headers point at are missing");
        return std::nullopt;
    }
    if (!HasSomethingToPlay(
            module->get_num_orders(), [&](int order) { return RowsAt(*module, order); },
            [&] { return module->get_duration_seconds(); })) {
        SetError("the module has nothing to play: no order names a pattern with rows");
        return std::nullopt;
    }
    a.channels = module->get_num_channels();
    a.speed = module->get_current_speed();
    a.tempo = module->get_current_tempo();
    const bool rolesKnown = voices.size() == static_cast<size_t>(a.channels);
    if (module->get_duration_seconds() > LongestRender) {
        SetError("the module plays longer than 10 minutes; not measured");
        return std::nullopt;
    }
    // The notes first, to know what measuring them takes.
    if (!RendersWithinBudget(*module, voices, rolesKnown)) return std::nullopt;
    Sheet sheet = ReadSheet(*module, a.speed, a.tempo);
    a.rowsPerOrder = sheet.rowsPerOrder;
    ToneSet tonal, drum;
    TonesPlayed(sheet, voices, rolesKnown, tonal, drum);
    if (!NotesWithinBudget(bytes, tonal.size() + drum.size())) return std::nullopt;
    // The whole mix, each voice alone, each role; the notes, each played
    // alone, ending where their channels fall silent.
    ToneTable tones;
    std::vector<Hearing> heard;
    if (!MeasureMix(bytes, a) || !MeasureVoices(bytes, voices, rolesKnown, sheet, a, heard) ||
        (rolesKnown && !MeasureRoles(bytes, voices, a)) ||
        !MeasureNotes(bytes, voices, rolesKnown, tonal, drum, sheet, tones, a))
        return std::nullopt;
    HearNoteEnds(sheet, heard);
    a.notes = sheet.notes;
    if (rolesKnown && !MeasureSung(bytes, voices, sheet, tones, a)) return std::nullopt;
    a.chartKnown = rolesKnown && !beats.empty();
    if (a.chartKnown) CheckChart(sheet, voices, beats, tones, a);
    return a;
}

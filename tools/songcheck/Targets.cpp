// The targets the greeting's music is held to, each judged from the
// analysis with the figure that decided it.
#include "songcheck/Loudness.h"
#include "songcheck/Text.h"

#include <algorithm>

namespace {

// The targets' limits.
constexpr double MaxCents = 3;
constexpr double MelodyLead = 3;  // dB over every other tonal voice and the pads, orders 6-10
constexpr double SungOver = 6;    // dB, each sung note over the backing in its band
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

const VoiceFigures* FindRole(const SongAnalysis& song, SongRole role) {
    for (const VoiceFigures& v : song.roles)
        if (v.role == role) return &v;
    return nullptr;
}

// How many notes start in order `o`.
int NotesIn(const SongAnalysis& song, int o) {
    return int(std::count_if(song.notes.begin(), song.notes.end(),
                             [o](const SheetNote& n) { return n.order == o; }));
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

// The melody's least lead over `other` in the sung orders, and where.
struct Lead {
    double least = HUGE_VAL;
    std::string where;
};
void LeastLead(const VoiceFigures& melody, const VoiceFigures& other, int lastOrder, Lead& lead) {
    for (int o = FirstSungOrder; o <= lastOrder; ++o) {
        const double d = melody.orders[size_t(o)].loudness - other.orders[size_t(o)].loudness;
        if (d < lead.least) lead = {d, Format("order %d, over %s", o, other.name.c_str())};
    }
}

SongTarget MelodyTarget(const SongAnalysis& song, int lastOrder) {
    const VoiceFigures* melody = FindRole(song, SongRole::Melody);
    Lead lead{HUGE_VAL, "no melody voice"};
    for (const VoiceFigures& v : song.voices)
        if (melody && v.roleKnown && v.role != SongRole::Melody && Tonal(v.role))
            LeastLead(*melody, v, lastOrder, lead);
    if (const VoiceFigures* pads = FindRole(song, SongRole::Pads); melody && pads)
        LeastLead(*melody, *pads, lastOrder, lead);
    const SungFigures* buried = nullptr;
    for (const SungFigures& n : song.sung)
        if (!buried || n.over < buried->over) buried = &n;
    const bool met = melody && lastOrder >= FirstSungOrder && lead.least >= MelodyLead && buried &&
                     buried->over >= SungOver;
    return {"melody",
            Format("melody on top in orders 6-10: %g dB over each voice and the pads, each "
                   "note %g dB",
                   MelodyLead, SungOver),
            met,
            Format("lead %+.1f dB (%s); ", lead.least, lead.where.c_str()) +
                (buried ? Format("note %+.1f dB in its band (%s, order %d row %d)", buried->over,
                                 PitchName(buried->pitch).c_str(), buried->order, buried->row)
                        : std::string("no sung notes"))};
}

// A note sounds on where its channel alone is still heard after the end
// its sheet writes, as after an effect the player ignores.
SongTarget CutsTarget(const SongAnalysis& song) {
    int overran = 0;
    const SheetNote* worst = nullptr;
    for (const SheetNote& n : song.notes)
        if (n.end > n.written) {
            ++overran;
            if (!worst || n.end - n.written > worst->end - worst->written) worst = &n;
        }
    const std::string who = worst && size_t(worst->channel) < song.voices.size()
                                ? song.voices[size_t(worst->channel)].name
                                : std::string();
    return {"cuts", "every note falls silent where the song ends it", overran == 0,
            worst ? Format("%d notes sound on; the longest %lld ticks: %s from order %d row %d",
                           overran, static_cast<long long>(worst->end - worst->written),
                           who.c_str(), worst->order, worst->row)
                  : std::string("every channel alone is silent after its notes' ends")};
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
        fewest = std::min(fewest, NotesIn(song, o));
    }
    const int opening = NotesIn(song, 0);
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

} // namespace

int LastGreetingOrder(const SongAnalysis& song) {
    return std::min(GreetingOrders, int(song.orders.size())) - 1;
}

double OrderSeconds(const SongAnalysis& song, int first, int last) {
    double s = 0;
    for (int o = first; o <= last && o < int(song.orders.size()); ++o)
        s += song.orders[size_t(o)].seconds;
    return s;
}

std::vector<SongTarget> CheckSongTargets(const SongAnalysis& song) {
    const int lastOrder = LastGreetingOrder(song);
    const double s = OrderSeconds(song, 0, lastOrder);
    return {TuneTarget(song),
            HarmonyTarget(song),
            MelodyTarget(song, lastOrder),
            CutsTarget(song),
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

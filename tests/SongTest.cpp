// The greeting's music held to its targets (in tune, no clashes, balanced,
// with a form and an ending) from a render through libopenmpt; the meters
// those targets trust, on inputs whose answers are known; the report command.
#include "makedata/Song.h"
#include "common/Error.h"
#include "s3m/S3mWriter.h"
#include "songcheck/Loudness.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <numbers>
#include <set>
#include <sstream>

namespace {

constexpr double Pi = std::numbers::pi;

std::vector<float> Sine(double frequency, double amplitude, double seconds, double phase = 0) {
    std::vector<float> x(static_cast<size_t>(seconds * SongRate));
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(amplitude *
                                  std::sin(2 * Pi * frequency * double(i) / SongRate + phase));
    return x;
}

SongAnalysis Analyse(const std::vector<uint8_t>& module, const std::vector<SongVoice>& voices = {},
                     const std::vector<SongBeat>& beats = {}) {
    std::optional<SongAnalysis> a = AnalyseSong(module, voices, beats);
    if (!a) ADD_FAILURE() << ErrorText();
    return a.value_or(SongAnalysis{});
}

// The song, rendered and measured once for this test program.
const SongAnalysis& Song() {
    static const SongAnalysis song = Analyse(ComposeSong(), SongVoices(), SongBeats());
    return song;
}

} // namespace

TEST(SongTargets, TheGreetingsMusicMeetsEveryTarget) {
    std::set<std::string> keys;
    for (const SongTarget& t : CheckSongTargets(Song())) {
        EXPECT_TRUE(t.met) << t.name << ": " << t.figure;
        keys.insert(t.key);
    }
    EXPECT_EQ(keys, (std::set<std::string>{"tune", "harmony", "melody", "drums", "dc", "onsets",
                                           "verse", "opening", "ending", "length", "truepeak",
                                           "loudness", "stereo", "cuts"}));
    // The harmony target trusts the chart: every beat fits the module, in
    // playing order, and every order of the greeting has beats.
    const std::vector<SongBeat>& beats = Song().beats;
    EXPECT_EQ(beats.size(), SongBeats().size());
    EXPECT_TRUE(std::adjacent_find(beats.begin(), beats.end(), [](const auto& p, const auto& b) {
                    return std::tie(b.order, b.row, b.tick) <= std::tie(p.order, p.row, p.tick);
                }) == beats.end());
    for (int o = 0; o < GreetingOrders; ++o)
        EXPECT_TRUE(std::any_of(beats.begin(), beats.end(), [o](auto& b) { return b.order == o; }))
            << "order " << o << " has no beats";
    // Its report, in lines of at most 100 columns.
    std::istringstream lines(SongReport(Song(), "the song"));
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 100u) << line;
}

TEST(SongMeter, LoudnessAndLevelsOfKnownSignals) {
    const std::vector<float> silence(5 * SongRate, 0.0f), tone = Sine(997, 0.1, 5);
    // Silence is gated away (-70 LUFS), and so is a part 30 dB under the rest
    // (-10 LU relative gate): only the 3 blocks that straddle the tone's end
    // are let in beside it (at 3/4, 1/2 and 1/4 of its power, 50 in all).
    std::vector<float> gapped = tone, quiet = Sine(997, 0.00316, 5);
    gapped.insert(gapped.end(), silence.begin(), silence.end());
    gapped.insert(gapped.end(), quiet.begin(), quiet.end());
    const std::vector<float> none(gapped.size(), 0.0f);
    const std::vector<float> full = Sine(997, 1, 5);
    const struct {
        const std::vector<float>&left, &right;
        double lufs;
    } cases[] = {{full, silence, -3.01}, // the standard's calibration (its K-weighting)
                 {tone, silence, -23.01},
                 {tone, tone, -20.0},
                 {gapped, none, -23.01 + 10 * std::log10(48.5 / 50)}};
    for (const auto& c : cases)
        EXPECT_NEAR(SoundMeter(c.left, c.right).Figures(0, c.left.size()).loudness, c.lufs, 0.02);
    EXPECT_EQ(SoundMeter(silence, silence).Figures(0, silence.size()).loudness, -HUGE_VAL);
    // A side 6 dB down, a DC offset on the other: balance, DC, peak, correlation.
    std::vector<float> offset = tone;
    for (float& v : offset)
        v += 0.01f;
    const std::vector<float> half = Sine(997, 0.05, 5);
    const SoundFigures f = SoundMeter(offset, half).Figures(0, offset.size());
    EXPECT_NEAR(f.balance, -6.02, 0.01);
    EXPECT_NEAR(f.dcLeft, 0.01, 1e-4);
    EXPECT_NEAR(f.dcRight, 0, 1e-4);
    EXPECT_NEAR(f.peak, 0.11, 1e-4);
    EXPECT_NEAR(f.correlation, 1, 1e-4);
}

// Lead and bass play the test module's looped square wave, which starts at
// its crest: a click.
TEST(SongCheck, FindsClashesWithTheChartAndClicks) {
    S3mModule m = MakeTestModuleDescription(1, 6, 125);
    m.channels = 2;
    m.patterns[0] = {};
    auto put = [&](int row, size_t channel, int octave, int semitone) -> S3mCell& {
        return m.patterns[0].rows[size_t(row)][channel] = {S3mNote(octave, semitone), 1, 40};
    };
    put(0, 0, 4, 11); // B4 over C: not in it, a major seventh over C3
    put(0, 1, 3, 0);
    put(16, 0, 4, 5); // F4 over B2: the tritone inside G7 is fine
    put(16, 1, 2, 11);
    put(32, 0, 4, 4); // E4, held on into F: players ignore
    m.patterns[0].rows[40][0] = {.command = S3mCommand('S'), .info = 0xC0}; // SC0
    m.patterns[0].rows[32][1].note = S3mNoteOff; // the bass released in time
    S3mCell& delayed = put(48, 1, 3, 5);         // F3 from tick 3
    delayed.command = S3mCommand('S');
    delayed.info = 0xD3;
    const uint16_t c = 1 << 0 | 1 << 4 | 1 << 7, g7 = 1 << 7 | 1 << 11 | 1 << 2 | 1 << 5,
                   f = 1 << 5 | 1 << 9 | 1 << 0;
    const SongAnalysis a =
        Analyse(WriteS3m(m), {{"lead", SongRole::Melody}, {"bass", SongRole::Bass}},
                {{0, 0, 0, true, c, "C"},
                 {0, 16, 0, true, g7, "G7"},
                 {0, 32, 0, true, c, "C"},
                 {0, 48, 0, false, f, "F"},   // a change off the downbeat
                 {0, 48, 3, false, f, "F"}}); // no change: intervals only
    std::vector<std::string> found;
    for (const Clash& x : a.clashes)
        found.push_back(std::to_string(x.row) + "." + std::to_string(x.tick) + " " + x.what);
    EXPECT_EQ(found,
              (std::vector<std::string>{"0.0 B4 (lead) is not in C",
                                        "0.0 B4 (lead) against C3 (bass): major seventh over C",
                                        "48.0 E4 (lead) is not in F",
                                        "48.3 E4 (lead) against F3 (bass): major seventh over F"}));
    // The check hears that E4 go on, and only that one.
    EXPECT_EQ(std::count_if(a.notes.begin(), a.notes.end(),
                            [](const SheetNote& n) { return n.end > n.written; }),
              1);
    ASSERT_EQ(a.tones.size(), 6u);
    for (const ToneFigures& t : a.tones)
        EXPECT_GT(t.onsetJump, 0.9) << t.note;
}

TEST(SongCheck, TheLastRowIsFoundAndHoldsNothingOfTheNextOrder) {
    // Twelve short orders, a note on every row; order 10 ends silent or
    // sounding, and order 11 starts loud at once. Nothing of order 11 counts
    // in order 10, nor the decoder's return to the start in order 0.
    for (bool silentEnd : {true, false}) {
        S3mModule m = MakeTestModuleDescription(12, 1, 255);
        if (silentEnd) {
            m.patterns[10].rows[62][0] = S3mCell{.note = S3mNoteOff};
            m.patterns[10].rows[63][0] = S3mCell{};
        }
        const SongAnalysis a = Analyse(WriteS3m(m));
        ASSERT_EQ(a.orders.size(), 12u);
        // 64 ticks of 432 frames (2.5 / 255 s), to within a chunk of 64 frames.
        for (size_t o = 0; o < a.orders.size(); ++o)
            EXPECT_NEAR(a.orders[o].seconds, 64 * 432.0 / SongRate, 64.0 / SongRate) << o;
        if (silentEnd)
            EXPECT_LT(a.lastRowPeak, 0.001);
        else
            EXPECT_GT(a.lastRowPeak, 0.03);
    }
}

// The report command on a module file, and what it refuses: each refusal
// is one line on standard error, and nothing is measured (files that are not
// regular files are the data reader's, InputTest). The usage errors.
TEST(MakeDataCommandLine, ReportsOrRefusesAndNamesTheFault) {
    TempDir dir;
    const std::vector<uint8_t> song = ComposeSong();
    WriteBytes(dir / "small.s3m", MakeTestModule(2, 6, 125));
    WriteBytes(dir / "text.s3m", {'n', 'o', 't', '\n'});
    WriteBytes(dir / "half.s3m", {song.begin(), song.begin() + ptrdiff_t(song.size() / 2)});
    // No orders; 16 channels for 40 orders: 17 renders of 307 s.
    S3mModule none = MakeTestModuleDescription(2, 6, 125),
              big = MakeTestModuleDescription(40, 6, 125);
    none.orders.clear();
    big.channels = 16;
    WriteBytes(dir / "none.s3m", WriteS3m(none));
    WriteBytes(dir / "long.s3m", WriteS3m(big));
    auto report = [&](const char* name) {
        return std::vector<std::string>{"--song-report", (dir / name).string()};
    };
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err; // parts of each; empty: nothing
    } cases[] = {
        {report("small.s3m"), 0, "\nOrder 1: 7.68 s at 0:07.7 |", ""},
        {report("text.s3m"), 1, "", "text.s3m: not a module libopenmpt can play: "},
        {report("half.s3m"), 1, "",
         "half.s3m: the module is cut short: parts of it that its headers point at are missing\n"},
        {report("none.s3m"), 1, "",
         "none.s3m: the module has nothing to play: no order names a pattern with rows\n"},
        {report("long.s3m"), 1, "",
         "long.s3m: measuring the module would take too long (17 renders of 307 s, 40960 cells "
         "of notes); not measured\n"},
        {{"--help"}, 0, "--song-report", ""},
        {{"--version"}, 0, "ekudemo-makedata " EKUDEMO_VERSION "\n", ""},
        {{}, 2, "", "usage: ekudemo-makedata OUTDIR"},
        {{"--bogus"}, 2, "", "usage: ekudemo-makedata OUTDIR"},
        {{"a", "b"}, 2, "", "usage: ekudemo-makedata OUTDIR"},
        {{"--song-report", "x.s3m", "out"}, 2, "", "usage: ekudemo-makedata OUTDIR"}};
    RunOptions here;
    here.workDir = dir.Path();
    for (const auto& c : cases) {
        std::vector<std::string> argv = {ProgramPath("ekudemo-makedata").string()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const RunResult run = RunProgram(argv, here);
        SCOPED_TRACE(argv.back() + ": " + run.err);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(c.out.empty() ? run.out.empty() : Contains(run.out, c.out));
        EXPECT_TRUE(c.err.empty()
                        ? run.err.empty()
                        : Contains(run.err, "ekudemo-makedata: ") && Contains(run.err, c.err));
        EXPECT_TRUE(c.status != 1 || run.err.find('\n') == run.err.size() - 1); // said once
    }
    // Nothing was written but the files above: no folder named after an option.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 5);
}

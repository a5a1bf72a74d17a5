// The greeting's music held to its targets (in tune, no clashes, balanced,
// with a form and an ending) from a render through libopenmpt, and the
// measuring itself on inputs whose answers are known.
#include "makedata/Song.h"
#include "s3m/S3mWriter.h"
#include "songcheck/SongCheck.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

std::vector<float> Sine(double frequency, double amplitude, double seconds, double phase = 0) {
    std::vector<float> x(static_cast<size_t>(seconds * SongRate));
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(amplitude *
                                  std::sin(2 * Pi * frequency * double(i) / SongRate + phase));
    return x;
}

// The song, rendered and measured once for this test program.
const SongAnalysis& Song() {
    static const SongAnalysis song = AnalyseSong(ComposeSong(), SongVoices(), SongBeats());
    return song;
}

void ExpectTarget(const char* key) {
    for (const SongTarget& t : CheckSongTargets(Song()))
        if (std::string(t.key) == key) {
            EXPECT_TRUE(t.met) << t.name << ": " << t.figure;
            return;
        }
    ADD_FAILURE() << "no target " << key;
}

// A module of `channels` channels, centred, with one looped sine sample of
// `period` values at `c2spd` and one empty pattern.
S3mModule SineModule(int channels, int period, uint32_t c2spd) {
    S3mModule m;
    m.channels = channels;
    m.channelPan.fill(8);
    S3mSample s;
    s.name = "sine";
    s.c2spd = c2spd;
    for (int i = 0; i < period * 400; ++i)
        s.data.push_back(static_cast<int8_t>(std::lround(100 * std::sin(2 * Pi * i / period))));
    s.loop = true;
    s.loopEnd = static_cast<uint32_t>(s.data.size());
    m.samples.push_back(s);
    m.patterns.emplace_back();
    m.orders = {0};
    return m;
}

void Put(S3mModule& m, int row, int channel, int octave, int semitone) {
    S3mCell& c = m.patterns[0].rows[size_t(row)][size_t(channel)];
    c.note = S3mNote(octave, semitone);
    c.instrument = 1;
    c.volume = 40;
}

SongBeat Beat(int row, uint16_t tones, const char* name) {
    return {0, row, 0, row % 16 == 0, tones, name};
}

constexpr uint16_t Tones(std::initializer_list<int> classes) {
    uint16_t t = 0;
    for (int c : classes)
        t = static_cast<uint16_t>(t | 1u << c);
    return t;
}

} // namespace

// --- The measuring -----------------------------------------------------------

TEST(SongCheck, KWeightingAt48kHzIsTheStandardsFilter) {
    // The coefficients BS.1770-4 lists for 48 kHz.
    const Biquad shelf = KWeightShelf(48000), highPass = KWeightHighPass(48000);
    EXPECT_NEAR(shelf.b0, 1.53512485958697, 1e-9);
    EXPECT_NEAR(shelf.b1, -2.69169618940638, 1e-9);
    EXPECT_NEAR(shelf.b2, 1.19839281085285, 1e-9);
    EXPECT_NEAR(shelf.a1, -1.69065929318241, 1e-9);
    EXPECT_NEAR(shelf.a2, 0.73248077421585, 1e-9);
    EXPECT_EQ(highPass.b0, 1);
    EXPECT_EQ(highPass.b1, -2);
    EXPECT_EQ(highPass.b2, 1);
    EXPECT_NEAR(highPass.a1, -1.99004745483398, 1e-9);
    EXPECT_NEAR(highPass.a2, 0.99007225036621, 1e-9);
}

TEST(SongCheck, LoudnessOfSinesAndGating) {
    // A full-scale 997 Hz sine in one channel reads -3.01 LUFS; 20 dB down, -23.01.
    const std::vector<float> silence(static_cast<size_t>(5 * SongRate), 0.0f);
    EXPECT_NEAR(IntegratedLoudness(Sine(997, 1, 5), silence), -3.01, 0.02);
    EXPECT_NEAR(IntegratedLoudness(Sine(997, 0.1, 5), silence), -23.01, 0.02);
    // Both channels: 3 dB more.
    EXPECT_NEAR(IntegratedLoudness(Sine(997, 0.1, 5), Sine(997, 0.1, 5)), -20.0, 0.02);
    // Silence is gated away (-70 LUFS), and so is a part 30 dB under the
    // rest (-10 LU relative gate): neither lowers the figure.
    std::vector<float> gapped = Sine(997, 0.1, 5), quiet = Sine(997, 0.00316, 5);
    gapped.insert(gapped.end(), silence.begin(), silence.end());
    gapped.insert(gapped.end(), quiet.begin(), quiet.end());
    const std::vector<float> none(gapped.size(), 0.0f);
    // Only the 3 blocks that straddle the tone's end are let in beside it
    // (at 3/4, 1/2 and 1/4 of its power, 50 blocks in all).
    EXPECT_NEAR(IntegratedLoudness(gapped, none), -23.01 + 10 * std::log10(48.5 / 50), 0.01);
    EXPECT_EQ(IntegratedLoudness(silence, silence), -HUGE_VAL);
}

TEST(SongCheck, TruePeakFindsThePeakBetweenSamples) {
    // A sine at a quarter of the rate, sampled 45 degrees off its crests:
    // every sample is at 0.707, the wave reaches 1. It fades in and out, so
    // its ends ring no higher.
    std::vector<float> x = Sine(SongRate / 4.0, 1, 1, Pi / 4);
    const size_t fade = x.size() / 4;
    for (size_t i = 0; i < fade; ++i) {
        const float gain = static_cast<float>(0.5 - 0.5 * std::cos(Pi * double(i) / double(fade)));
        x[i] *= gain;
        x[x.size() - 1 - i] *= gain;
    }
    float samplePeak = 0;
    for (float v : x)
        samplePeak = std::max(samplePeak, std::fabs(v));
    EXPECT_NEAR(samplePeak, 0.7071, 1e-3);
    EXPECT_NEAR(TruePeak(x), 1, 0.003);
    EXPECT_NEAR(TruePeak(Sine(997, 0.5, 0.1)), 0.5, 0.002);
}

TEST(SongCheck, MeasuresAFundamentalToATenthOfACent) {
    for (double cents : {-7.0, 0.0, 2.5}) {
        for (double base : {55.0, 440.0, 1760.0}) {
            const double f = base * std::pow(2.0, cents / 1200);
            EXPECT_NEAR(1200 * std::log2(MeasureFrequency(Sine(f, 0.5, 1), SongRate) / f), 0, 0.1)
                << base << " Hz " << cents << " cents";
        }
    }
    // A 25 % pulse: strong harmonics, the same fundamental.
    std::vector<float> pulse(SongRate);
    const double f = 311.127;
    for (size_t i = 0; i < pulse.size(); ++i)
        pulse[i] = std::fmod(double(i) * f / SongRate, 1.0) < 0.25 ? 0.5f : -0.5f;
    EXPECT_NEAR(1200 * std::log2(MeasureFrequency(pulse, SongRate) / f), 0, 0.1);
    EXPECT_EQ(MeasureFrequency(std::vector<float>(SongRate, 0.0f), SongRate), 0);
}

TEST(SongCheck, NotesOfAModuleArePitchedAndTimed) {
    // A 64-value sine at c2spd 16744 sounds 261.6 Hz (C4) at the tracker's C-4.
    S3mModule m = SineModule(1, 64, 16744);
    Put(m, 0, 0, 4, 0);
    Put(m, 16, 0, 3, 9);
    m.patterns[0].rows[32][0].note = S3mNoteOff;
    m.orders = {0, 0};
    const SongAnalysis a = AnalyseSong(WriteS3m(m), {{"sine", SongRole::Melody}}, {});
    ASSERT_EQ(a.tones.size(), 2u);
    EXPECT_EQ(a.tones[0].note, 3 * 12 + 9);
    EXPECT_EQ(a.tones[0].pitch, 57); // A3
    EXPECT_EQ(a.tones[1].note, 4 * 12);
    EXPECT_EQ(a.tones[1].pitch, 60);
    EXPECT_NEAR(a.tones[1].frequency, 261.6, 0.1);
    EXPECT_NEAR(a.tones[1].cents, 0, 0.5);
    EXPECT_EQ(a.tones[1].ringSeconds, HUGE_VAL); // looped
    EXPECT_LT(a.tones[1].onsetJump, 0.15);       // starts at a zero crossing
    // Two orders of 64 rows of 6 ticks at tempo 125: 7.68 s each.
    ASSERT_EQ(a.orders.size(), 2u);
    EXPECT_NEAR(a.orders[0].seconds, 7.68, 0.01);
    EXPECT_NEAR(a.orders[1].seconds, 7.68, 0.01);
    ASSERT_EQ(a.notes.size(), 4u);
    EXPECT_EQ(a.notes[0].rows, 16);
    EXPECT_EQ(a.notes[1].rows, 16); // until the note off
    EXPECT_EQ(a.notesPerOrder, (std::vector<int>{2, 2}));
    // A sine near the middle: no DC, about as loud on both sides, in phase.
    EXPECT_NEAR(a.orders[0].dcLeft, 0, 1e-3);
    EXPECT_NEAR(a.orders[0].balance, 0, 1.5);
    EXPECT_NEAR(a.orders[0].correlation, 1, 1e-3);
}

TEST(SongCheck, OrdersEndWhereTheNextBegins) {
    // Twelve short orders with a note on every row; the last two rows of
    // order 10 are silent and order 11 starts loud at once. Nothing of order
    // 11 may count in order 10, nor the decoder's return to the start after
    // the end in order 0.
    S3mModule m = MakeTestModuleDescription(12, 1, 255);
    S3mPattern& tenth = m.patterns[10];
    tenth.rows[62][0] = S3mCell{.note = S3mNoteOff};
    tenth.rows[63][0] = S3mCell{};
    const SongAnalysis a = AnalyseSong(WriteS3m(m), {}, {});
    ASSERT_EQ(a.orders.size(), 12u);
    // 64 ticks of 432 frames (2.5 / 255 s, rounded to whole frames), to
    // within a chunk of 64 frames.
    const double order = 64 * 432.0 / SongRate, chunk = 64.0 / SongRate;
    for (size_t o = 0; o < a.orders.size(); ++o)
        EXPECT_NEAR(a.orders[o].seconds, order, chunk) << "order " << o;
    EXPECT_NEAR(a.greeting.seconds, GreetingOrders * order, chunk);
    EXPECT_LT(a.lastRowPeak, 0.001); // under -60 dBFS
    EXPECT_GT(a.orders[11].peak, 0.05);
}

TEST(SongCheck, ASampleStartingAtItsPeakClicks) {
    S3mModule m = SineModule(1, 64, 16744);
    // A cosine: the first value is the crest.
    for (size_t i = 0; i < m.samples[0].data.size(); ++i)
        m.samples[0].data[i] =
            static_cast<int8_t>(std::lround(100 * std::cos(2 * Pi * double(i) / 64)));
    Put(m, 0, 0, 4, 0);
    const SongAnalysis a = AnalyseSong(WriteS3m(m), {{"cosine", SongRole::Melody}}, {});
    ASSERT_EQ(a.tones.size(), 1u);
    EXPECT_GT(a.tones[0].onsetJump, 0.9);
}

TEST(SongCheck, FindsNotesOutsideTheChordAndClashingIntervals) {
    // Lead and bass; the chart says C for rows 0-15, G7 for 16-31, C from 32.
    S3mModule m = SineModule(2, 64, 16744);
    Put(m, 0, 0, 4, 11);                         // B4 over C: not in the chord
    Put(m, 0, 1, 3, 0);                          // C3: a major seventh under B4
    Put(m, 16, 0, 4, 5);                         // F4 over G7
    Put(m, 16, 1, 2, 11);                        // B2: the tritone inside G7 is fine
    Put(m, 32, 0, 4, 7);                         // G4 over C
    m.patterns[0].rows[32][1].note = S3mNoteOff; // the bass released in time
    Put(m, 48, 0, 4, 4);                         // E4; the bass delayed past the beat
    Put(m, 48, 1, 3, 5);                         // F3 from tick 3: under E4, a major seventh
    m.patterns[0].rows[48][1].command = S3mCommand('S');
    m.patterns[0].rows[48][1].info = 0xD3;
    const std::vector<SongVoice> voices = {{"lead", SongRole::Melody}, {"bass", SongRole::Bass}};
    const uint16_t c = Tones({0, 4, 7}), g7 = Tones({7, 11, 2, 5});
    const std::vector<SongBeat> beats = {Beat(0, c, "C"),
                                         Beat(16, g7, "G7"),
                                         Beat(32, c, "C"),
                                         Beat(48, c, "C"),
                                         {0, 48, 3, true, c, "C"}};
    const SongAnalysis a = AnalyseSong(WriteS3m(m), voices, beats);
    std::ostringstream all;
    for (const Clash& x : a.clashes)
        all << x.row << "." << x.tick << " " << x.what << "\n";
    ASSERT_EQ(a.clashes.size(), 4u) << all.str();
    EXPECT_EQ(a.clashes[0].row, 0);
    EXPECT_EQ(a.clashes[0].what, "B4 (lead) is not in C");
    EXPECT_EQ(a.clashes[1].what, "B4 (lead) against C3 (bass): major seventh over C");
    // At tick 3 of row 48 the delayed F3 sounds under E4.
    EXPECT_EQ(a.clashes[2].row, 48);
    EXPECT_EQ(a.clashes[2].tick, 3);
    EXPECT_EQ(a.clashes[2].what, "F3 (bass) is not in C");
    EXPECT_EQ(a.clashes[3].what, "E4 (lead) against F3 (bass): major seventh over C");
}

TEST(SongCheck, AHeldNoteAcrossAChordChangeIsFound) {
    S3mModule m = SineModule(2, 64, 16744);
    Put(m, 0, 0, 4, 4); // E4, held on into the F chord
    Put(m, 0, 1, 3, 0);
    Put(m, 16, 1, 3, 5);
    const std::vector<SongVoice> voices = {{"pad", SongRole::Harmony}, {"bass", SongRole::Bass}};
    const std::vector<SongBeat> beats = {Beat(0, Tones({0, 4, 7}), "C"),
                                         Beat(16, Tones({5, 9, 0}), "F")};
    const SongAnalysis a = AnalyseSong(WriteS3m(m), voices, beats);
    ASSERT_EQ(a.clashes.size(), 2u);
    EXPECT_EQ(a.clashes[0].what, "E4 (pad) is not in F");
    EXPECT_EQ(a.clashes[1].what, "E4 (pad) against F3 (bass): major seventh over F");
}

// --- The song's chart ------------------------------------------------------

TEST(SongChart, EveryChannelHasARoleAndEveryOrderItsBeats) {
    const S3mModule module = ComposeSongModule();
    ASSERT_EQ(SongVoices().size(), size_t(module.channels));
    const std::vector<SongBeat> beats = SongBeats();
    ASSERT_FALSE(beats.empty());
    std::vector<int> perOrder(module.orders.size(), 0);
    for (size_t i = 0; i < beats.size(); ++i) {
        const SongBeat& b = beats[i];
        ASSERT_GE(b.order, 0);
        ASSERT_LT(size_t(b.order), module.orders.size());
        EXPECT_TRUE(b.row >= 0 && b.row < S3mRows && b.tick >= 0 && b.tick < module.initialSpeed)
            << "beat " << i;
        EXPECT_NE(b.tones, 0) << "beat " << i;
        EXPECT_TRUE(b.chord && *b.chord) << "beat " << i;
        if (i > 0) {
            const SongBeat& p = beats[i - 1];
            EXPECT_LT(std::tie(p.order, p.row, p.tick), std::tie(b.order, b.row, b.tick))
                << "beat " << i << " out of playing order";
        }
        ++perOrder[size_t(b.order)];
    }
    for (int o = 0; o < GreetingOrders; ++o) {
        EXPECT_GT(perOrder[size_t(o)], 0) << "order " << o << " has no beats";
    }
}

// --- The song's targets ------------------------------------------------------

TEST(SongTargets, InTuneWithCleanOnsets) {
    ExpectTarget("tune");
    ExpectTarget("onsets");
}

TEST(SongTargets, EveryBeatFitsItsChord) {
    ExpectTarget("harmony");
    std::ostringstream first;
    for (size_t i = 0; i < Song().clashes.size() && i < 10; ++i) {
        const Clash& c = Song().clashes[i];
        first << "order " << c.order << " row " << c.row << ": " << c.what << "\n";
    }
    EXPECT_TRUE(Song().clashes.empty()) << first.str();
}

TEST(SongTargets, BalancedMix) {
    ExpectTarget("melody");
    ExpectTarget("drums");
    ExpectTarget("dc");
    ExpectTarget("stereo");
}

TEST(SongTargets, AFormWithAnEnding) {
    ExpectTarget("opening");
    ExpectTarget("verse");
    ExpectTarget("ending");
    ExpectTarget("length");
}

TEST(SongTargets, LevelForSharing) {
    ExpectTarget("truepeak");
    ExpectTarget("loudness");
}

// --- The report command ------------------------------------------------------

TEST(SongReport, ReportsAModuleFileInLinesOf100Columns) {
    TempDir dir;
    WriteBytes(dir / "small.s3m", MakeTestModule(2, 6, 125));
    const RunResult run = RunProgram(
        {ProgramPath("ekudemo-makedata").string(), "--song-report", (dir / "small.s3m").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Order 1: 7.68 s"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Targets"), std::string::npos);
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 100u) << line;
}

TEST(SongReport, AModuleCutShortIsRefusedQuickly) {
    TempDir dir;
    const std::vector<uint8_t> whole = ComposeSong();
    RunOptions options;
    options.timeoutSeconds = 60;
    for (size_t size : {size_t{96}, size_t{200}, whole.size() / 2}) {
        WriteBytes(dir / "cut.s3m",
                   std::vector<uint8_t>(whole.begin(), whole.begin() + ptrdiff_t(size)));
        const RunResult run = RunProgram(
            {ProgramPath("ekudemo-makedata").string(), "--song-report", (dir / "cut.s3m").string()},
            options);
        EXPECT_FALSE(run.timedOut) << size;
        EXPECT_EQ(run.signal, 0) << size;
        EXPECT_TRUE(run.status == 0 || (run.status == 1 && !run.err.empty())) << size << run.err;
        // Never measured as if it were whole.
        EXPECT_EQ(run.status, 1) << size;
        EXPECT_EQ(run.out, "") << size;
    }
}

TEST(SongReport, RefusesWhatIsNotAModule) {
    TempDir dir;
    WriteBytes(dir / "text.s3m", {'n', 'o', 't', '\n'});
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const std::string program = ProgramPath("ekudemo-makedata").string();
    RunOptions options;
    options.timeoutSeconds = 20;
    for (const std::string name : {"text.s3m", "pipe", "missing.s3m", ""}) {
        const RunResult run =
            RunProgram({program, "--song-report", (dir / name).string()}, options);
        EXPECT_EQ(run.status, 1) << name << ": " << run.err;
        EXPECT_NE(run.err.find("ekudemo-makedata: "), std::string::npos) << name;
        EXPECT_TRUE(run.out.empty()) << name;
    }
}

TEST(MakeDataCommandLine, HelpVersionAndUsage) {
    TempDir dir;
    const std::string program = ProgramPath("ekudemo-makedata").string();
    RunOptions here;
    here.workDir = dir.Path();
    const RunResult help = RunProgram({program, "--help"}, here);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--song-report"), std::string::npos);
    const RunResult version = RunProgram({program, "--version"}, here);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "ekudemo-makedata " EKUDEMO_VERSION "\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--bogus"}, {"a", "b"}, {"--song-report", "x.s3m", "out"}}) {
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), args.begin(), args.end());
        const RunResult run = RunProgram(argv, here);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("usage: ekudemo-makedata OUTDIR"), std::string::npos) << run.err;
    }
    // Nothing was written: no folder named after an option.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

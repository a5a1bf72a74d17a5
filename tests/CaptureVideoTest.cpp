// The capture program's video, WAV and refusals, run as the program and read
// back with FFmpeg's libraries, on a fast module whose order 11 begins at a
// known time.
#include "common/Data.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <iterator>
#include <map>
#include <sstream>
#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

// MakeTestModule at speed 1, tempo 255: a row lasts 2.5 / 255 s (the mixer
// rounds a tick to whole samples, so a little less).
constexpr double SecondsToOrder11 = 11 * 64 * 2.5 / 255;

// What FFmpeg's own tools read back from a file: each stream's fields as
// ffprobe names them (the packets counted), the first sound stream decoded,
// and the first picture against a still.
using Fields = std::map<std::string, std::string>;

std::vector<Fields> Probe(const fs::path& file) {
    const std::string fields = "stream=codec_type,codec_name,profile,pix_fmt,width,height,"
                               "sample_rate,channels,duration,nb_read_packets";
    const RunResult run = RunProgram({"/usr/bin/ffprobe", "-v", "error", "-count_packets",
                                      "-show_entries", fields, file.string()});
    std::vector<Fields> streams;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        if (line == "[STREAM]")
            streams.emplace_back();
        else if (const size_t eq = line.find('='); eq != std::string::npos && !streams.empty())
            streams.back()[line.substr(0, eq)] = line.substr(eq + 1);
    return streams;
}

// The loudest sample and the number of stereo frames of the first sound stream.
std::pair<double, size_t> Sound(const fs::path& file) {
    const std::string pcm = RunProgram({"/usr/bin/ffmpeg", "-v", "error", "-i", file.string(),
                                        "-map", "0:a:0", "-f", "f32le", "-ac", "2", "pipe:1"})
                                .out;
    std::vector<float> samples(pcm.size() / 4);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 4);
    double peak = 0;
    for (float v : samples)
        peak = std::max(peak, double(std::fabs(v)));
    return {peak, samples.size() / 2};
}

// The first picture against a raw still enlarged `scale` times, in dB as
// FFmpeg's own filter measures it (our conversion to YUV is CaptureYuvTest's).
double FirstPicturePsnr(const fs::path& video, const fs::path& still, int scale) {
    const std::string size = std::to_string(320 * scale) + ":" + std::to_string(200 * scale);
    const RunResult run =
        RunProgram({"/usr/bin/ffmpeg", "-i", video.string(), "-f", "rawvideo", "-pix_fmt", "bgr0",
                    "-s", "320x200", "-i", still.string(), "-lavfi",
                    "[0:v]trim=end_frame=1,format=yuv420p[v];[1:v]scale=" + size +
                        ":flags=neighbor,format=yuv420p[s];[v][s]psnr",
                    "-f", "null", "-"});
    const size_t at = run.err.find("average:");
    return at == std::string::npos ? 0 : std::stod(run.err.substr(at + 8));
}

using Names = std::vector<std::string>;

Names Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

class Capture : public ::testing::Test {
  protected:
    void SetUp() override { CopyDataWithFastMusic(dir.Path(), 12); }
    RunResult Run(const std::vector<std::string>& args, RunOptions options = {}) {
        std::vector<std::string> argv = {ProgramPath("ekudemo-capture").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        options.workDir = dir.Path();
        options.env = Headless;
        return RunProgram(argv, options);
    }
    // Everything in the folder but dat/: what a run has left behind.
    Names Outputs() const {
        Names names;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().filename() != "dat") names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir dir;
};

// Names with a colon are files, never protocols; the same options give the
// same bytes (the encoders' threads do not change what they write).
TEST_F(Capture, VideoHasTheMusicsLengthAndStartsWithTheStill) {
    ASSERT_EQ(Run({"--still", "0", "0", "0", "--raw", "still.raw"}).status, 0);
    RunResult video = Run({"--fps", "10", "--scale", "2", "x:y.mp4"});
    ASSERT_EQ(video.status, 0) << video.err;
    ASSERT_EQ(Run({"--fps", "10", "--scale", "2", "again.mp4"}).status, 0);
    EXPECT_TRUE(ReadBytes(dir / "again.mp4") == ReadBytes(dir / "x:y.mp4")) << "not repeatable";
    EXPECT_EQ(Outputs(), (Names{"again.mp4", "still.raw", "x:y.mp4"}));
    const std::vector<Fields> streams = Probe(dir / "x:y.mp4");
    ASSERT_EQ(streams.size(), 2u);
    Fields v = streams[0], a = streams[1];
    EXPECT_EQ(v["codec_type"] + " " + v["codec_name"] + " " + v["profile"] + " " + v["pix_fmt"] +
                  " " + v["width"] + "x" + v["height"],
              "video h264 High yuv420p 640x400");
    EXPECT_EQ(a["codec_type"] + " " + a["codec_name"] + " " + a["sample_rate"] + " " +
                  a["channels"],
              "audio aac 44100 2");
    // No progress line when standard error is no terminal: a line as it
    // starts, with the frames the video then has, and one when it is written.
    const int count = std::stoi(v["nb_read_packets"]);
    const std::string shown = "0:0" + std::to_string(count / 10) + "." + std::to_string(count % 10);
    EXPECT_EQ(video.err, "ekudemo-capture: writing \"x:y.mp4\": " + std::to_string(count) +
                             " frames (" + shown + ") of 640x400 at 10 fps\n");
    EXPECT_EQ(video.out,
              "\"x:y.mp4\": " + std::to_string((fs::file_size(dir / "x:y.mp4") + 999) / 1000) +
                  " kB, " + shown + ", 640x400 at 10 fps\n");
    // Frames at 0, 0.1, ... s while order 11 has not begun.
    const double frames = std::stod(v["nb_read_packets"]), length = std::stod(v["duration"]);
    EXPECT_NEAR(frames, std::ceil(SecondsToOrder11 * 10), 1);
    EXPECT_NEAR(length, frames / 10, 1e-3);
    EXPECT_NEAR(std::stod(a["duration"]), length, 0.01);
    const auto [peak, soundFrames] = Sound(dir / "x:y.mp4");
    EXPECT_NEAR(double(soundFrames) / 44100, length, 1024.0 / 44100);
    EXPECT_GT(peak, 0.05); // the music is in it
    EXPECT_GT(FirstPicturePsnr(dir / "x:y.mp4", dir / "still.raw", 2), 40);

    // An odd scale, VP9 and Vorbis, another seed; music that ends before
    // order 11 ends the video with it.
    WriteBytes(dir / ModuleFile, MakeTestModule(4, 1, 255));
    ASSERT_EQ(Run({"--still", "0", "0", "0", "--seed", "7", "--raw", "still.raw"}).status, 0);
    ASSERT_EQ(Run({"--fps", "5", "--scale", "3", "--seed", "7", "file:z.webm"}).status, 0);
    for (const char* name : {"a.mkv", "b.mkv"}) // Matroska too, which would draw a random id
        ASSERT_EQ(Run({"--fps", "2", "--scale", "1", name}).status, 0);
    EXPECT_TRUE(ReadBytes(dir / "a.mkv") == ReadBytes(dir / "b.mkv"));
    const std::vector<Fields> odd = Probe(dir / "file:z.webm");
    ASSERT_EQ(odd.size(), 2u);
    v = odd[0], a = odd[1];
    EXPECT_EQ(v["codec_name"] + " " + v["width"] + "x" + v["height"] + " " + a["codec_name"],
              "vp9 960x600 vorbis");
    EXPECT_GT(Sound(dir / "file:z.webm").first, 0.05);
    EXPECT_NEAR(std::stod(v["nb_read_packets"]), std::ceil(4 * 64 * 2.5 / 255 * 5), 1);
    EXPECT_GT(FirstPicturePsnr(dir / "file:z.webm", dir / "still.raw", 3), 40);
}

// 16-bit stereo PCM at 44.1 kHz up to the start of order 11, give or take a
// few milliseconds, in place of an old file; the same again the next time;
// every byte, the header's too, as known.
TEST_F(Capture, WavHoldsTheMusicUpToOrder11) {
    WriteBytes(dir / "music.wav", {'o', 'l', 'd'});
    RunResult run = Run({"--wav", "music.wav"});
    ASSERT_EQ(run.status, 0) << run.err;

    const std::vector<uint8_t> wav = ReadBytes(dir / "music.wav");
    ASSERT_EQ(Run({"--wav", "again.wav"}).status, 0);
    EXPECT_TRUE(ReadBytes(dir / "again.wav") == wav) << "not repeatable";
    EXPECT_EQ(Hash(wav.data(), wav.size()), 3152149641717763398u); // every sample exactly
    // A 44-byte header, then four bytes a frame.
    EXPECT_NEAR(double(wav.size() - 44) / 4 / 44100, SecondsToOrder11, 0.01);
}

// Refused before any work, with the reason and the name, leaving every file
// as it was and nothing new: in each mode an output among what the program
// reads (the output rules themselves are OutputFileTest's), a still past the
// end, a data file missing.
TEST_F(Capture, RefusalsNameTheFaultAndLeaveNoFiles) {
    ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0666), 0);
    fs::create_hard_link(dir / ModuleFile, dir / "song.wav");
    const std::vector<uint8_t> song = ReadBytes(dir / ModuleFile);
    const std::string reads = "\", which the program reads: it is not replaced\n",
                      readsIn = "\" is in \"dat\", which holds what the program reads: nothing is "
                                "written there\n";
    const struct {
        const char* args;
        std::string err; // after "ekudemo-capture: "
    } cases[] = {
        {"--wav fifo.wav", "\"fifo.wav\" is a FIFO: only a regular file is replaced\n"},
        {"--wav song.wav", "\"song.wav\" is \"dat/rimpaaa.s3m" + reads},
        {"--effect tunnel --time 0 dat/bit7.png", "\"dat/bit7.png" + readsIn},
        {"--still 0 0 0 --raw dat/new.raw", "\"dat/new.raw" + readsIn},
        {"--fps 1 ./dat/../dat/x.mp4", "\"./dat/../dat/x.mp4" + readsIn},
        {"--still 11 0 0 late.png",
         "order 11 is past the greeting's end (it ends as order 11 begins): \"late.png\" is not "
         "written\n"},
    };
    for (const auto& c : cases) {
        RunResult run = Run(Words(c.args));
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_EQ(run.err, "ekudemo-capture: " + c.err);
        EXPECT_EQ(Outputs(), (Names{"fifo.wav", "song.wav"})) << c.args;
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.wav"));
    EXPECT_EQ(ReadBytes(dir / ModuleFile), song);
    // The WAV needs only the music; the rest needs the pictures too.
    fs::remove(dir / "fifo.wav");
    fs::remove(dir / "song.wav");
    fs::remove(dir / "dat/kewl.pcx");
    RunResult run = Run({"--wav", "out.wav"});
    EXPECT_EQ(run.status, 0) << run.err;
    fs::remove(dir / "out.wav");
    for (const Names& args : {Names{"out.mp4"}, Names{"--still", "0", "0", "0", "x.png"}}) {
        run = Run(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(
            run.err,
            "ekudemo-capture: cannot open picture \"dat/kewl.pcx\": No such file or directory\n");
    }
    fs::remove(dir / ModuleFile);
    run = Run({"--wav", "out.wav"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, ModuleFile)) << run.err;
    EXPECT_EQ(Outputs(), Names{});
}

TEST_F(Capture, CommandLineSaysWhatItDoes) {
    RunResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "ekudemo-capture --wav OUT.wav\n\nDraws the birthday greeting "
                                   "offline, from the folder that holds dat/: a still,\n"))
        << help.out;
    RunResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "ekudemo-capture " EKUDEMO_VERSION "\n");
    EXPECT_FALSE(Contains(help.out, "Excludes")) << help.out; // not the parser's own dump
    // Unknown options, conflicting modes, options that do not apply to the
    // chosen mode, malformed values and values outside the greeting, names
    // that do not say what is written: the reason (its start after "|"), a
    // usage line, status 2, no file.
    for (const std::string row :
         {"--bogus x.mp4",
          "x.mp4 y.mp4",
          "",
          "--wav w.wav --still 0 0 0",
          "--wav w.wav x.mp4",
          "--still 0 0 0 --effect tunnel --time 0 x.png",
          "--effect tunnel x.png",
          "--time 5 x.png",
          "--still 0 0 0 --fps 30 x.png",
          "--still 0 0 0 --scale 2 x.png",
          "--effect flares --time 0 --verbose x.png",
          "--raw x.mp4",
          "--wav w.wav --raw",
          "--wav w.wav --seed 3",
          "--still 0 0 x.png",
          "--still 0 0 99999999999 x.png",
          "--seed -1 x.mp4",
          "--fps 0 x.mp4",
          "--scale 9 x.mp4",
          "--quality huge x.mp4",
          "--still 0 0 0 --quality best x.png",
          "--still -1 0 0 x.png",
          "--still 0 0 -1 x.png",
          "--still 0 64 0 x.png|--still 0 64 0: order 0 has rows 0 to 63",
          "--still 0 -1 0 x.png|--still 0 -1 0: the order, the row and the time cannot be",
          "--effect tunnel --time -1 x.png|--time -1: the time cannot be negative",
          "--effect plasma --time 0 x.png|unknown effect \"plasma\": use tunnel, flares or",
          "--still 0 0 0 x.jpg|\"x.jpg\": a still's name ends in .png",
          "--effect wobble --time 0 --raw x.png|\"x.png\": a raw frame's name ends in .raw",
          "--wav out.mp3|\"out.mp3\": a WAV's name ends in .wav",
          "--fps 1 x.m3u8|\"x.m3u8\": a video's name ends in .mp4, .mkv, .mov or",
          "--fps 1 x%d.png",
          "--fps 1 x"}) {
        const std::string line = row.substr(0, row.find('|'));
        RunResult run = Run(Words(line));
        EXPECT_EQ(run.status, 2) << line << run.err;
        EXPECT_TRUE(Contains(run.err, "usage: ekudemo-capture")) << line << run.err;
        if (line != row) {
            EXPECT_TRUE(run.err.starts_with("ekudemo-capture: " + row.substr(line.size() + 1)))
                << run.err;
        }
        EXPECT_EQ(Outputs(), Names{}) << line;
    }
}

// Killed at any moment, a capture leaves OUT as it was and nothing else;
// every signal that can be caught ends it with a message.
TEST_F(Capture, KilledOrSignalledAtAnyMomentLeavesNothing) {
    WriteBytes(dir / ModuleFile, MakeTestModule(12, 6, 125)); // about 90 s of music
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    struct Case {
        Names args;
        int signal;
        double after;
    };
    std::vector<Case> cases;
    for (double after : {0.0, 0.2, 1.0})
        cases.push_back({{"--scale", "8", "out.mp4"}, SIGKILL, after});
    for (double after : {0.02, 0.05})
        cases.push_back({{"--wav", "out.wav"}, SIGKILL, after});
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ})
        cases.push_back({{"--scale", "8", "out.mp4"}, signal, 1.5});
    for (const Case& c : cases) {
        const std::string& out = c.args.back();
        WriteBytes(dir / out, old);
        RunOptions options;
        options.interruptAfterSeconds = c.after;
        options.interruptSignal = c.signal;
        RunResult run = Run(c.args, options);
        if (c.signal == SIGKILL && run.status == 0) { // a WAV may be done first: then it is whole
            EXPECT_GT(ReadBytes(dir / out).size(), 44u);
            fs::remove(dir / out);
            continue;
        }
        if (c.signal == SIGKILL) {
            EXPECT_EQ(run.signal, SIGKILL) << c.after << " s: " << run.err;
        } else {
            EXPECT_EQ(run.status, 1) << "signal " << c.signal << ": " << run.err;
            EXPECT_TRUE(
                run.err.ends_with("ekudemo-capture: interrupted; \"out.mp4\" is not written\n"))
                << run.err;
        }
        EXPECT_EQ(Outputs(), (Names{out})) << c.args[0] << " " << c.after;
        EXPECT_EQ(ReadBytes(dir / out), old);
        fs::remove(dir / out);
    }
}

// A small file system of the test's own, where it may mount one (as root):
// the video, the WAV and a raw still each keep the old file and say why.
TEST_F(Capture, FullFileSystemKeepsTheOldFileAndSaysWhy) {
    const fs::path small = dir / "small";
    fs::create_directory(small);
    if (mount("ekudemo-test", small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=128k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        const fs::path& at;
        ~Unmount() { umount(at.c_str()); }
    } unmount{small};
    WriteBytes(small / "filler", std::vector<uint8_t>(100 * 1024, 1));
    for (const Names& args :
         {Names{"--fps", "10", "--scale", "2", "small/out.mp4"}, Names{"--wav", "small/out.wav"},
          Names{"--still", "0", "0", "0", "--raw", "small/out.raw"}}) {
        WriteBytes(dir / args.back(), {'o', 'l', 'd'});
        RunResult run = Run(args);
        EXPECT_EQ(run.status, 1) << args.back();
        EXPECT_TRUE(Contains(run.err, "No space left on device")) << run.err;
        EXPECT_EQ(ReadBytes(dir / args.back()), (std::vector<uint8_t>{'o', 'l', 'd'}));
    }
    Names left;
    for (const auto& entry : fs::directory_iterator(small))
        left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Names{"filler", "out.mp4", "out.raw", "out.wav"}));
}

} // namespace

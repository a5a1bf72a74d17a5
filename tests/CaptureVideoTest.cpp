// The capture program's video, WAV and refusals, run as the program and read
// back with FFmpeg's libraries, on a fast module whose order 11 begins at a
// known time.
#include "capture/Yuv.h"
#include "common/Data.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>
#include <csignal>
#include <iterator>
#include <sstream>
#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

// MakeTestModule at speed 1, tempo 255: a row lasts 2.5 / 255 s (the mixer
// rounds a tick to whole samples, so a little less).
constexpr double SecondsToOrder11 = 11 * 64 * 2.5 / 255;

struct Media {
    int streams[2] = {0, 0}; // video, sound
    AVCodecID codecs[2] = {AV_CODEC_ID_NONE, AV_CODEC_ID_NONE};
    double seconds[2] = {0, 0};
    int width = 0, height = 0, profile = 0, sampleRate = 0, channels = 0;
    int64_t videoFrames = 0, audioSamples = 0; // decoded, priming dropped
    double audioPeak = 0;
    AVFrame* first = nullptr; // the first picture
    ~Media() { av_frame_free(&first); }
};

// Takes in one decoded frame: the first picture, the sound's length and peak.
void Take(int which, AVFrame* frame, Media& media) {
    if (which == 0) {
        if (!media.first) media.first = av_frame_clone(frame);
        return;
    }
    media.audioSamples += frame->nb_samples;
    for (int c = 0; c < frame->ch_layout.nb_channels && c < 8; ++c)
        for (int i = 0; i < frame->nb_samples; ++i)
            media.audioPeak = std::max(
                media.audioPeak, double(std::fabs(reinterpret_cast<float*>(frame->data[c])[i])));
}

// What the header says of each stream's kind, the first one of each kind
// opened for decoding: 0 video, 1 sound, -1 anything else.
int Describe(const AVStream* stream, Media& media, AVCodecContext*& decoder) {
    const AVCodecParameters* par = stream->codecpar;
    const int which = par->codec_type == AVMEDIA_TYPE_VIDEO   ? 0
                      : par->codec_type == AVMEDIA_TYPE_AUDIO ? 1
                                                              : -1;
    if (which < 0 || media.streams[which]++) return -1;
    media.codecs[which] = par->codec_id;
    media.seconds[which] = double(stream->duration) * av_q2d(stream->time_base);
    if (which == 0)
        media.width = par->width, media.height = par->height, media.profile = par->profile;
    if (which == 1)
        media.sampleRate = par->sample_rate, media.channels = par->ch_layout.nb_channels;
    decoder = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
    avcodec_parameters_to_context(decoder, par);
    avcodec_open2(decoder, nullptr, nullptr);
    return which;
}

// Counts the video frames, decodes the first one and all of the sound.
void ReadBack(const fs::path& path, Media& media) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return;
    avformat_find_stream_info(format, nullptr);
    AVCodecContext* decoders[2] = {nullptr, nullptr};
    int indices[2] = {-1, -1};
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVCodecContext* decoder = nullptr;
        const int which = Describe(format->streams[i], media, decoder);
        if (which >= 0) indices[which] = int(i), decoders[which] = decoder;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto decode = [&](int which, const AVPacket* sent) {
        if (!decoders[which] || avcodec_send_packet(decoders[which], sent) < 0) return;
        while (avcodec_receive_frame(decoders[which], frame) >= 0)
            Take(which, frame, media);
    };
    while (av_read_frame(format, packet) >= 0) {
        for (int which = 0; which < 2; ++which)
            if (packet->stream_index == indices[which]) {
                media.videoFrames += which == 0;
                decode(which, packet);
            }
        av_packet_unref(packet);
    }
    decode(0, nullptr);
    decode(1, nullptr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    for (AVCodecContext*& decoder : decoders)
        avcodec_free_context(&decoder);
    avformat_close_input(&format);
}

// Mean absolute difference per sample between a decoded picture and a raw
// still made into the encoder's picture at `scale`.
double MeanDifference(const AVFrame* decoded, const fs::path& still, int scale) {
    const std::vector<uint32_t> words = RawFrameWords(ReadBytes(still));
    SurfacePtr screen = MakeSurface32(320, 200);
    for (int i = 0; i < 64000; ++i)
        Pixel32(screen.get(), i % 320, i / 320) = words[size_t(i)];
    YuvScreen yuv;
    ScreenToYuv(screen.get(), yuv);
    AVFrame* want = av_frame_alloc();
    want->format = AV_PIX_FMT_YUV420P;
    want->width = 320 * scale, want->height = 200 * scale;
    av_frame_get_buffer(want, 0);
    FillPicture(yuv, scale, want);
    double sum = 0, count = 0;
    for (int plane = 0; plane < 3 && decoded->format == AV_PIX_FMT_YUV420P; ++plane)
        for (int y = 0; y < want->height >> (plane ? 1 : 0); ++y)
            for (int x = 0; x < want->width >> (plane ? 1 : 0); ++x, ++count)
                sum += std::abs(decoded->data[plane][y * decoded->linesize[plane] + x] -
                                want->data[plane][y * want->linesize[plane] + x]);
    av_frame_free(&want);
    return count > 0 ? sum / count : 999;
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
    Media media;
    ReadBack(dir / "x:y.mp4", media);
    EXPECT_EQ(media.streams[0], 1);
    EXPECT_EQ(media.streams[1], 1);
    EXPECT_EQ(media.codecs[0], AV_CODEC_ID_H264);
    EXPECT_EQ(media.profile, FF_PROFILE_H264_HIGH);
    // No progress line when standard error is no terminal: a line as it
    // starts, with the frames the video then has, and one when it is written.
    const std::string length = "0:0" + std::to_string(media.videoFrames / 10) + "." +
                               std::to_string(media.videoFrames % 10);
    EXPECT_EQ(video.err,
              "ekudemo-capture: writing \"x:y.mp4\": " + std::to_string(media.videoFrames) +
                  " frames (" + length + ") of 640x400 at 10 fps\n");
    EXPECT_EQ(video.out,
              "\"x:y.mp4\": " + std::to_string((fs::file_size(dir / "x:y.mp4") + 999) / 1000) +
                  " kB, " + length + ", 640x400 at 10 fps\n");
    EXPECT_EQ(media.codecs[1], AV_CODEC_ID_AAC);
    EXPECT_EQ(media.width, 640);
    EXPECT_EQ(media.height, 400);
    EXPECT_EQ(media.sampleRate, 44100);
    EXPECT_EQ(media.channels, 2);
    // Frames at 0, 0.1, ... s while order 11 has not begun.
    EXPECT_NEAR(double(media.videoFrames), std::ceil(SecondsToOrder11 * 10), 1);
    EXPECT_NEAR(media.seconds[0], double(media.videoFrames) / 10, 1e-3);
    EXPECT_NEAR(media.seconds[1], media.seconds[0], 0.01);
    // The decoder keeps the padding of the last AAC frame.
    EXPECT_NEAR(double(media.audioSamples) / 44100, media.seconds[0], 1024.0 / 44100);
    EXPECT_GT(media.audioPeak, 0.05); // the music is in it
    ASSERT_NE(media.first, nullptr);
    EXPECT_LT(MeanDifference(media.first, dir / "still.raw", 2), 0.5);

    // An odd scale, VP9 and Vorbis, another seed; music that ends before
    // order 11 ends the video with it.
    WriteBytes(dir / ModuleFile, MakeTestModule(4, 1, 255));
    ASSERT_EQ(Run({"--still", "0", "0", "0", "--seed", "7", "--raw", "still.raw"}).status, 0);
    ASSERT_EQ(Run({"--fps", "5", "--scale", "3", "--seed", "7", "file:z.webm"}).status, 0);
    ASSERT_EQ(Run({"--fps", "5", "--scale", "3", "--seed", "7", "again.webm"}).status, 0);
    EXPECT_TRUE(ReadBytes(dir / "again.webm") == ReadBytes(dir / "file:z.webm"));
    for (const char* name : {"a.mkv", "b.mkv"}) // Matroska too, which would draw a random id
        ASSERT_EQ(Run({"--fps", "2", "--scale", "1", name}).status, 0);
    EXPECT_TRUE(ReadBytes(dir / "a.mkv") == ReadBytes(dir / "b.mkv"));
    Media odd;
    ReadBack(dir / "file:z.webm", odd);
    EXPECT_EQ(odd.codecs[0], AV_CODEC_ID_VP9);
    EXPECT_EQ(odd.codecs[1], AV_CODEC_ID_VORBIS);
    EXPECT_GT(odd.audioPeak, 0.05);
    EXPECT_EQ(odd.width, 960);
    EXPECT_EQ(odd.height, 600);
    EXPECT_NEAR(double(odd.videoFrames), std::ceil(4 * 64 * 2.5 / 255 * 5), 1);
    EXPECT_NEAR(odd.seconds[1], odd.seconds[0], 0.01);
    ASSERT_NE(odd.first, nullptr);
    EXPECT_LT(MeanDifference(odd.first, dir / "still.raw", 3), 0.5);
}

// 16-bit stereo PCM at 44.1 kHz up to the start of order 11, give or take a
// few milliseconds, in place of an old file; the same again the next time.
TEST_F(Capture, WavHoldsTheMusicUpToOrder11) {
    WriteBytes(dir / "music.wav", {'o', 'l', 'd'});
    RunResult run = Run({"--wav", "music.wav"});
    ASSERT_EQ(run.status, 0) << run.err;

    const std::vector<uint8_t> wav = ReadBytes(dir / "music.wav");
    ASSERT_EQ(Run({"--wav", "again.wav"}).status, 0);
    EXPECT_TRUE(ReadBytes(dir / "again.wav") == wav) << "not repeatable";
    EXPECT_EQ(Hash(wav.data(), wav.size()), 3152149641717763398u); // every sample exactly
    ASSERT_GE(wav.size(), 44u);
    const uint32_t data = uint32_t(wav.size() - 44);
    std::vector<uint8_t> header = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                                   'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                                   0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    for (int i = 0; i < 4; ++i)
        header[size_t(4 + i)] = uint8_t((data + 36) >> 8 * i),
                          header[size_t(40 + i)] = uint8_t(data >> 8 * i);
    EXPECT_EQ(std::vector<uint8_t>(wav.begin(), wav.begin() + 44), header);
    EXPECT_NEAR(double(data) / 4 / 44100, SecondsToOrder11, 0.01);
    size_t loud = 0;
    for (size_t i = 44; i + 1 < wav.size(); i += 2)
        loud += std::abs(int16_t(wav[i] | wav[i + 1] << 8)) > 1000;
    EXPECT_GT(loud, data / 2 / 10);
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
    EXPECT_TRUE(Contains(help.out, "ekudemo-capture --wav OUT.wav")) << help.out;
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

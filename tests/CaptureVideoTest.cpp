// The video and WAV capture, run as the program and read back with FFmpeg's
// libraries, on a fast module whose order 11 begins at a known time.
#include "common/Data.h"
#include "s3m/S3mWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// MakeTestModule at speed 1, tempo 255: a row lasts 2.5 / 255 s (the mixer
// rounds a tick to whole samples, so a little less).
constexpr double SecondsToOrder11 = 11 * 64 * 2.5 / 255;

struct MediaInfo {
    int videoStreams = 0, audioStreams = 0;
    AVCodecID videoCodec = AV_CODEC_ID_NONE, audioCodec = AV_CODEC_ID_NONE;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
    int64_t videoFrames = 0;
    double videoSeconds = 0, audioSeconds = 0;
    int64_t audioSamples = 0; // decoded, priming dropped
    double audioPeak = 0;
    std::vector<uint32_t> firstFrame; // 0x00RRGGBB, width x height
};

double Seconds(const AVStream* stream) {
    return double(stream->duration) * av_q2d(stream->time_base);
}

// A decoded 4:2:0 studio-range BT.601 frame as 0x00RRGGBB words, each chroma
// sample spread over its 2x2 pixels.
std::vector<uint32_t> ToRgb(const AVFrame* frame) {
    if (frame->format != AV_PIX_FMT_YUV420P) return {};
    std::vector<uint32_t> words(size_t(frame->width) * size_t(frame->height));
    auto clamp = [](double v) { return uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < frame->width; ++x) {
            const double l = 1.164 * (frame->data[0][y * frame->linesize[0] + x] - 16);
            const int u8 = frame->data[1][(y / 2) * frame->linesize[1] + x / 2];
            const int v8 = frame->data[2][(y / 2) * frame->linesize[2] + x / 2];
            const double u = u8 - 128, v = v8 - 128;
            words[size_t(y) * size_t(frame->width) + size_t(x)] =
                clamp(l + 1.596 * v) << 16 | clamp(l - 0.392 * u - 0.813 * v) << 8 |
                clamp(l + 2.017 * u);
        }
    return words;
}

// What a stream's header says, into `info`; 0 for video, 1 for sound, -1
// for anything else.
int DescribeStream(const AVStream* stream, MediaInfo& info) {
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        ++info.videoStreams;
        info.videoCodec = par->codec_id;
        info.width = par->width;
        info.height = par->height;
        info.videoSeconds = Seconds(stream);
        return 0;
    }
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
        ++info.audioStreams;
        info.audioCodec = par->codec_id;
        info.sampleRate = par->sample_rate;
        info.channels = par->ch_layout.nb_channels;
        info.audioSeconds = Seconds(stream);
        return 1;
    }
    return -1;
}

// Takes in one decoded frame: the first picture, the sound's length and peak.
void TakeFrame(int which, const AVFrame* frame, MediaInfo& info) {
    if (which == 0) {
        if (info.firstFrame.empty()) info.firstFrame = ToRgb(frame);
        return;
    }
    info.audioSamples += frame->nb_samples;
    for (int c = 0; c < frame->ch_layout.nb_channels && c < 8; ++c) {
        const auto* samples = reinterpret_cast<const float*>(frame->data[c]);
        for (int i = 0; i < frame->nb_samples; ++i)
            info.audioPeak = std::max(info.audioPeak, double(std::fabs(samples[i])));
    }
}

// Counts the video frames, decodes the first one and all of the sound.
MediaInfo ReadBack(const fs::path& path) {
    MediaInfo info;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return info;
    avformat_find_stream_info(format, nullptr);
    AVCodecContext* decoders[2] = {nullptr, nullptr}; // video, audio
    int indices[2] = {-1, -1};
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const int which = DescribeStream(format->streams[i], info);
        if (which < 0 || decoders[which]) continue;
        const AVCodecParameters* par = format->streams[i]->codecpar;
        indices[which] = int(i);
        decoders[which] = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
        avcodec_parameters_to_context(decoders[which], par);
        avcodec_open2(decoders[which], nullptr, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto decode = [&](int which, const AVPacket* sent) {
        if (!decoders[which] || avcodec_send_packet(decoders[which], sent) < 0) return;
        while (avcodec_receive_frame(decoders[which], frame) >= 0)
            TakeFrame(which, frame, info);
    };
    while (av_read_frame(format, packet) >= 0) {
        for (int which = 0; which < 2; ++which)
            if (packet->stream_index == indices[which]) {
                info.videoFrames += which == 0;
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
    return info;
}

// Mean absolute difference per colour channel between a decoded frame and
// the still enlarged K times.
double MeanDifference(const std::vector<uint32_t>& decoded, const std::vector<uint32_t>& still,
                      int scale) {
    const int width = 320 * scale, height = 200 * scale;
    double sum = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t a = decoded[size_t(y) * size_t(width) + size_t(x)];
            const uint32_t b = still[size_t(y / scale) * 320 + size_t(x / scale)];
            for (int shift : {0, 8, 16})
                sum += std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF));
        }
    return sum / (3.0 * width * height);
}

uint32_t Le(const std::vector<uint8_t>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[at + size_t(i)];
    return value;
}

class Capture : public ::testing::Test {
  protected:
    void SetUp() override { CopyDataWithFastMusic(dir.Path(), 12); }

    RunResult Run(const std::vector<std::string>& args, RunOptions options = {}) {
        std::vector<std::string> argv = {ProgramPath("ekudemo-capture").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        options.workDir = dir.Path();
        options.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
        return RunProgram(argv, options);
    }

    // Everything in the folder but dat/: what a run has left behind.
    std::vector<std::string> Outputs() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().filename() != "dat") names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
};

using Names = std::vector<std::string>;

TEST_F(Capture, ShortVideoHasTheMusicsLengthAndStartsWithTheStill) {
    RunResult still = Run({"--still", "0", "0", "0", "--raw", "still.raw"});
    ASSERT_EQ(still.status, 0) << still.err;
    RunResult video = Run({"--fps", "10", "--scale", "2", "out.mp4"});
    ASSERT_EQ(video.status, 0) << video.err;
    EXPECT_EQ(video.err, ""); // no progress bar when standard error is no terminal
    EXPECT_EQ(Outputs(), (Names{"out.mp4", "still.raw"}));

    const MediaInfo info = ReadBack(dir / "out.mp4");
    EXPECT_EQ(info.videoStreams, 1);
    EXPECT_EQ(info.audioStreams, 1);
    EXPECT_EQ(info.videoCodec, AV_CODEC_ID_H264);
    EXPECT_EQ(info.audioCodec, AV_CODEC_ID_AAC);
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 400);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.channels, 2);

    // Frames at 0, 0.1, ... s while order 11 has not begun.
    const double expectedFrames = std::ceil(SecondsToOrder11 * 10);
    EXPECT_NEAR(double(info.videoFrames), expectedFrames, 1);
    EXPECT_NEAR(info.videoSeconds, double(info.videoFrames) / 10, 1e-3);
    EXPECT_NEAR(info.audioSeconds, info.videoSeconds, 0.01);
    // The decoder keeps the padding of the last AAC frame.
    EXPECT_NEAR(double(info.audioSamples) / 44100, info.videoSeconds, 1024.0 / 44100);
    EXPECT_GT(info.audioPeak, 0.05); // the music is in it

    ASSERT_EQ(info.firstFrame.size(), size_t(640 * 400));
    EXPECT_LT(MeanDifference(info.firstFrame, RawFrameWords(ReadBytes(dir / "still.raw")), 2), 1.0);
}

TEST_F(Capture, OddScaleKeepsItsSizeAndPicture) {
    ASSERT_EQ(Run({"--still", "0", "0", "0", "--seed", "7", "--raw", "still.raw"}).status, 0);
    RunResult video = Run({"--fps", "2", "--scale", "3", "--seed", "7", "out.mkv"});
    ASSERT_EQ(video.status, 0) << video.err;
    const MediaInfo info = ReadBack(dir / "out.mkv");
    EXPECT_EQ(info.width, 960);
    EXPECT_EQ(info.height, 600);
    EXPECT_NEAR(double(info.videoFrames), std::ceil(SecondsToOrder11 * 2), 1);
    ASSERT_EQ(info.firstFrame.size(), size_t(960 * 600));
    EXPECT_LT(MeanDifference(info.firstFrame, RawFrameWords(ReadBytes(dir / "still.raw")), 3), 2.0);
}

TEST_F(Capture, MusicEndingBeforeOrder11EndsTheVideoWithIt) {
    WriteBytes(dir / ModuleFile, MakeTestModule(4, 1, 255));
    RunResult video = Run({"--fps", "10", "--scale", "1", "short.mp4"});
    ASSERT_EQ(video.status, 0) << video.err;
    const MediaInfo info = ReadBack(dir / "short.mp4");
    const double musicSeconds = 4 * 64 * 2.5 / 255;
    EXPECT_NEAR(double(info.videoFrames), std::ceil(musicSeconds * 10), 1);
    EXPECT_NEAR(info.audioSeconds, info.videoSeconds, 0.01);
}

TEST_F(Capture, InterruptLeavesTheOldFileAndNoTemporary) {
    // About 90 s of music at 60 fps and scale 8: far from done after a second.
    WriteBytes(dir / ModuleFile, MakeTestModule(12, 6, 125));
    for (int signal : {SIGINT, SIGTERM}) {
        WriteBytes(dir / "out.mp4", {'o', 'l', 'd'});
        RunOptions options;
        options.interruptAfterSeconds = 1.5;
        options.interruptSignal = signal;
        RunResult run = Run({"--scale", "8", "out.mp4"}, options);
        EXPECT_EQ(run.status, 1) << "signal " << signal << ": " << run.err;
        EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
        EXPECT_EQ(Outputs(), (Names{"out.mp4"}));
        EXPECT_EQ(ReadBytes(dir / "out.mp4"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    }
}

TEST_F(Capture, CompleteCaptureReplacesAnExistingFile) {
    WriteBytes(dir / "out.mp4", {'o', 'l', 'd'});
    ASSERT_EQ(Run({"--fps", "1", "--scale", "1", "out.mp4"}).status, 0);
    EXPECT_EQ(Outputs(), (Names{"out.mp4"}));
    EXPECT_EQ(ReadBack(dir / "out.mp4").videoStreams, 1);
    // Shared, not private as temporary files are made.
    EXPECT_NE(fs::status(dir / "out.mp4").permissions() & fs::perms::others_read, fs::perms::none);
}

TEST_F(Capture, FailuresLeaveNoFiles) {
    fs::create_directories(dir / "folder");
    WriteBytes(dir / "plain", {1});
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--fps", "1", "missing/out.mp4"}, "missing/out.mp4"},
        {{"--fps", "1", "plain/out.mp4"}, "plain/out.mp4"},
        {{"--fps", "1", "folder/"}, "not a file name"},
        {{"--fps", "1", "folder"}, "\"folder\""}, // a folder is not replaced
        {{"--wav", "missing/out.wav"}, "missing/out.wav"},
    };
    for (const Case& c : cases) {
        RunResult run = Run(c.args);
        EXPECT_EQ(run.status, 1) << c.args.back();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(Outputs(), (Names{"folder", "plain"})) << c.args.back();
        EXPECT_TRUE(fs::is_empty(dir / "folder"));
    }
}

TEST_F(Capture, MissingDataLeavesNoFiles) {
    for (const char* name : {"kewl.pcx", "rimpaaa.s3m"}) {
        CopyDataWithFastMusic(dir.Path(), 12);
        fs::remove(dir / "dat" / name);
        for (const char* out : {"out.mp4", "--wav"}) {
            std::vector<std::string> args = {out};
            if (args[0] == "--wav") args.push_back("out.wav");
            RunResult run = Run(args);
            const bool needed = args[0] != "--wav" || std::string(name) == "rimpaaa.s3m";
            if (!needed) {
                EXPECT_EQ(run.status, 0) << run.err; // the WAV needs only the music
                fs::remove(dir / "out.wav");
                continue;
            }
            EXPECT_EQ(run.status, 1) << name;
            EXPECT_NE(run.err.find(std::string("dat/") + name), std::string::npos) << run.err;
            EXPECT_EQ(Outputs(), Names{}) << name;
        }
    }
}

TEST_F(Capture, WavHoldsTheMusicUpToOrder11) {
    RunResult run = Run({"--wav", "music.wav"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Outputs(), (Names{"music.wav"}));
    const std::vector<uint8_t> wav = ReadBytes(dir / "music.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(Le(wav, 4, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le(wav, 16, 4), 16u);
    EXPECT_EQ(Le(wav, 20, 2), 1u); // PCM
    EXPECT_EQ(Le(wav, 22, 2), 2u);
    EXPECT_EQ(Le(wav, 24, 4), 44100u);
    EXPECT_EQ(Le(wav, 28, 4), 44100u * 4);
    EXPECT_EQ(Le(wav, 32, 2), 4u);
    EXPECT_EQ(Le(wav, 34, 2), 16u);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(Le(wav, 40, 4), wav.size() - 44);
    // Up to the start of order 11, give or take a few milliseconds.
    EXPECT_NEAR(double(wav.size() - 44) / 4 / 44100, SecondsToOrder11, 0.01);
    size_t loud = 0;
    for (size_t i = 44; i + 1 < wav.size(); i += 2)
        if (std::abs(int16_t(Le(wav, i, 2))) > 1000) ++loud;
    EXPECT_GT(loud, (wav.size() - 44) / 2 / 10);
}

// OUT is refused, before any work and with its reason, unless it names a
// regular file we may replace or a new file; nothing is left anywhere.
TEST_F(Capture, RefusesOutputsThatAreNotOurs) {
    const bool haveNode = mknod((dir / "node").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0666), 0);
    fs::create_directory(dir / "folder");
    WriteBytes(dir / "target.mp4", {'o', 'l', 'd'});
    fs::create_symlink("target.mp4", dir / "link.mp4");
    WriteBytes(dir / "ro.wav", {'o', 'l', 'd'});
    fs::permissions(dir / "ro.wav", fs::perms::owner_read);
    const std::vector<uint8_t> song = ReadBytes(dir / ModuleFile);
    Names before = Outputs();

    struct Case {
        std::vector<std::string> args;
        std::string reason;
    };
    std::vector<Case> cases = {
        {{"--wav", "fifo"}, "is a FIFO"},
        {{"--still", "0", "0", "0", "folder"}, "is a folder"},
        {{"link.mp4"}, "is a symbolic link"},
        {{"--wav", "ro.wav"}, "is read-only"},
        {{"--wav", "dat/rimpaaa.s3m"}, "the program reads"},
        {{"--effect", "tunnel", "--time", "0", "dat/bit7.pcx"}, "the program reads"},
        {{"--still", "0", "0", "0", "--raw", "dat/new.raw"}, "the program reads"},
        {{"--fps", "1", "./dat/../dat/x.mp4"}, "the program reads"},
    };
    // Only containers that hold the whole video in one file.
    for (const char* name : {"x.m3u8", "x.mpd", "x%d.png", "x.ffmeta", "x.txt", "x.sdp", "x"})
        cases.push_back({{"--fps", "1", name}, ".mp4, .mkv, .mov or .webm"});
    if (haveNode) {
        cases.push_back({{"--wav", "node"}, "is a device node"});
        cases.push_back({{"--still", "0", "0", "0", "node"}, "is a device node"});
        cases.push_back({{"node"}, "is a device node"});
    }
    for (const Case& c : cases) {
        RunResult run = Run(c.args);
        EXPECT_EQ(run.status, 1) << c.args.back();
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.args.back() << ": " << run.err;
        EXPECT_NE(run.err.find(c.args.back()), std::string::npos) << run.err;
        EXPECT_EQ(Outputs(), before) << c.args.back();
    }
    if (haveNode) {
        struct stat st {};
        ASSERT_EQ(lstat((dir / "node").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.mp4"));
    EXPECT_EQ(ReadBytes(dir / "target.mp4"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(ReadBytes(dir / "ro.wav"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(ReadBytes(dir / ModuleFile), song);
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

TEST_F(Capture, NamesAreFilesNeverProtocols) {
    const std::string longName = std::string(244, 'v') + ".mp4"; // 248 characters
    for (const std::string& name : {std::string("x:y.mp4"), std::string("file:z.mkv"), longName}) {
        RunResult run = Run({"--fps", "1", "--scale", "1", name});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_EQ(ReadBack(dir / name).videoStreams, 1) << name;
    }
    EXPECT_EQ(Outputs(), (Names{"file:z.mkv", longName, "x:y.mp4"}));
}

// The same options give the same bytes: no random dither in the sound, and
// the encoders' threads do not change what they write.
TEST_F(Capture, CapturesRepeatByteForByte) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--wav", "OUT.wav"},
          {"--fps", "30", "--scale", "2", "OUT.mp4"},
          {"--fps", "10", "--scale", "3", "--seed", "5", "OUT.mkv"}}) {
        std::vector<uint8_t> first;
        for (int run = 0; run < 2; ++run) {
            std::vector<std::string> named = args;
            named.back().replace(0, 3, "run" + std::to_string(run));
            ASSERT_EQ(Run(named).status, 0) << named.back();
            std::vector<uint8_t> bytes = ReadBytes(dir / named.back());
            if (run == 0)
                first = std::move(bytes);
            else
                EXPECT_TRUE(bytes == first) << args.back() << " differs from run to run";
        }
    }
}

TEST_F(Capture, WebmHoldsVp9AndVorbis) {
    if (!avcodec_find_encoder_by_name("libvpx-vp9") || !avcodec_find_encoder_by_name("libvorbis"))
        GTEST_SKIP() << "this FFmpeg has no VP9 or Vorbis encoder";
    RunResult run = Run({"--fps", "5", "--scale", "1", "out.webm"});
    ASSERT_EQ(run.status, 0) << run.err;
    const MediaInfo info = ReadBack(dir / "out.webm");
    EXPECT_EQ(info.videoCodec, AV_CODEC_ID_VP9);
    EXPECT_EQ(info.audioCodec, AV_CODEC_ID_VORBIS);
    EXPECT_NEAR(double(info.videoFrames), std::ceil(SecondsToOrder11 * 5), 1);
    EXPECT_GT(info.audioPeak, 0.05);
}

TEST_F(Capture, StillPastTheEndIsRefused) {
    for (const char* order : {"11", "40"}) {
        RunResult run = Run({"--still", order, "0", "0", "late.png"});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("past the greeting's end"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Outputs(), Names{});
}

TEST_F(Capture, CommandLineSaysWhatItDoes) {
    RunResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("ekudemo-capture --wav OUT.wav"), std::string::npos) << help.out;
    RunResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "ekudemo-capture " EKUDEMO_VERSION "\n");

    // Unknown options, conflicting modes, options that do not apply to the
    // chosen mode and malformed values: a usage line, status 2, no file.
    const std::vector<std::vector<std::string>> errors = {
        {"--bogus", "x.mp4"},
        {"x.mp4", "y.mp4"},
        {},
        {"--wav", "w.wav", "--still", "0", "0", "0"},
        {"--wav", "w.wav", "x.mp4"},
        {"--still", "0", "0", "0", "--effect", "tunnel", "--time", "0", "x.png"},
        {"--effect", "tunnel", "x.png"},
        {"--time", "5", "x.png"},
        {"--still", "0", "0", "0", "--fps", "30", "x.png"},
        {"--still", "0", "0", "0", "--scale", "2", "x.png"},
        {"--effect", "flares", "--time", "0", "--verbose", "x.png"},
        {"--raw", "x.mp4"},
        {"--wav", "w.wav", "--raw"},
        {"--wav", "w.wav", "--seed", "3"},
        {"--still", "0", "0", "x.png"},
        {"--still", "0", "0", "99999999999", "x.png"},
        {"--seed", "-1", "x.mp4"},
        {"--fps", "0", "x.mp4"},
        {"--scale", "9", "x.mp4"},
    };
    for (const auto& args : errors) {
        RunResult run = Run(args);
        std::string line;
        for (const std::string& arg : args)
            line += arg + " ";
        EXPECT_EQ(run.status, 2) << line << run.err;
        EXPECT_NE(run.err.find("usage: ekudemo-capture"), std::string::npos) << line << run.err;
        EXPECT_EQ(Outputs(), Names{}) << line;
    }
}

// Killed at any moment, a capture leaves OUT as it was and nothing else; the
// signals that can be caught end it with a message.
TEST_F(Capture, KilledOrSignalledAtAnyMomentLeavesNothing) {
    WriteBytes(dir / ModuleFile, MakeTestModule(12, 6, 125)); // about 90 s of music
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    struct Case {
        std::vector<std::string> args;
        int signal;
        double after;
    };
    std::vector<Case> cases;
    for (double after : {0.0, 0.05, 0.2, 0.5, 1.0})
        cases.push_back({{"--scale", "8", "out.mp4"}, SIGKILL, after});
    for (double after : {0.0, 0.02, 0.05, 0.1})
        cases.push_back({{"--wav", "out.mp4"}, SIGKILL, after});
    for (int signal : {SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGXCPU})
        cases.push_back({{"--scale", "8", "out.mp4"}, signal, 0.8});
    for (const Case& c : cases) {
        WriteBytes(dir / "out.mp4", old);
        RunOptions options;
        options.interruptAfterSeconds = c.after;
        options.interruptSignal = c.signal;
        RunResult run = Run(c.args, options);
        if (c.signal == SIGKILL && run.status == 0) {
            // The WAV may be done before the signal comes: then it is whole.
            EXPECT_GT(ReadBytes(dir / "out.mp4").size(), 44u);
            continue;
        }
        if (c.signal == SIGKILL) {
            EXPECT_EQ(run.signal, SIGKILL) << c.after << " s: " << run.err;
        } else {
            EXPECT_EQ(run.status, 1) << "signal " << c.signal << ": " << run.err;
            EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
        }
        EXPECT_EQ(Outputs(), (Names{"out.mp4"})) << c.args[0] << " " << c.after;
        EXPECT_EQ(ReadBytes(dir / "out.mp4"), old);
    }
}

// A small file system of the test's own, where it may mount one (as root).
TEST_F(Capture, FullFileSystemKeepsTheOldFileAndSaysWhy) {
    const fs::path small = dir / "small";
    fs::create_directory(small);
    if (mount("ekudemo-test", small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=128k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        const fs::path& at;
        ~Unmount() { umount(at.c_str()); }
    } unmount{small};
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    for (const char* name : {"out.mp4", "out.wav", "out.raw"}) {
        WriteBytes(small / name, old);
        const std::string out = "small/" + std::string(name);
        std::vector<std::string> args = {"--fps", "10", "--scale", "2", out};
        if (std::string(name) == "out.wav") args = {"--wav", out};
        // Only a still this small fits: make it raw and take it beside a big file.
        if (std::string(name) == "out.raw") {
            WriteBytes(small / "filler", std::vector<uint8_t>(100 * 1024, 1));
            args = {"--still", "0", "0", "0", "--raw", out};
        }
        RunResult run = Run(args);
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
        EXPECT_EQ(ReadBytes(small / name), old);
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(small))
        left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Names{"filler", "out.mp4", "out.raw", "out.wav"}));
}

} // namespace

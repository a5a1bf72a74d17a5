// The whole greeting rendered offline: H.264 video with AAC sound through
// FFmpeg's libraries, or the music alone as a WAV file. The music is rendered
// on this thread and is the clock: frame n shows the position the music has
// reached at n / fps seconds.
#include "capture/Video.h"
#include "capture/Capture.h"

#include "driver/Demo.h"
#include "driver/Timeline.h"
#include "effects/Caption.h"
#include "music/Music.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int MixRate = 44100;
constexpr int RenderChunk = 1024; // stereo frames rendered per call
constexpr int WavChunk = 256;     // small, so the WAV stops close to the last order's start
constexpr const char* ModulePath = "dat/rimpaaa.s3m";

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ctrl-C and SIGTERM only raise this flag; the loops check it and leave
// through the normal clean-up, so no partial file survives.
std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
    Interrupted.store(true, std::memory_order_relaxed);
}

class InterruptWatch {
  public:
    InterruptWatch() {
        Interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~InterruptWatch() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

  private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// True while the progress line waits for its next update; a message ends it
// first so it starts on a line of its own.
bool ProgressOnLine = false;

void EndProgressLine() {
    if (ProgressOnLine) std::fputc('\n', stderr);
    ProgressOnLine = false;
}

bool ReportInterrupt(const char* out) {
    if (!Interrupted.load(std::memory_order_relaxed)) return false;
    EndProgressLine();
    std::fprintf(stderr, "ekudemo-capture: interrupted; \"%s\" is not written\n", out);
    return true;
}

// The output grows under a hidden name beside OUT (".OUT.XXXXXX.ext", same
// folder, so the rename cannot cross file systems) and replaces OUT only
// when complete. Anything else removes it.
class TempFile {
  public:
    TempFile() = default;
    ~TempFile() {
        Close();
        if (!path_.empty()) unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Create(const char* out) {
        std::string whole = out;
        std::string::size_type slash = whole.rfind('/');
        std::string folder = slash == std::string::npos ? "" : whole.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? whole : whole.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") {
            std::fprintf(stderr, "ekudemo-capture: \"%s\" is not a file name\n", out);
            return false;
        }
        std::string::size_type dot = name.rfind('.');
        std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
        std::string pattern = folder + "." + name + ".XXXXXX" + extension;
        fd_ = mkstemps(pattern.data(), int(extension.size()));
        if (fd_ < 0) {
            std::fprintf(stderr, "ekudemo-capture: cannot write \"%s\": %s\n", out,
                         std::strerror(errno));
            return false;
        }
        path_ = pattern;
        // mkstemps makes the file private; the result is meant to be shared.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
        return true;
    }

    const char* Path() const { return path_.c_str(); }
    int Fd() const { return fd_; }
    // Hands the descriptor over (to a FILE), or closes it.
    int Release() { return std::exchange(fd_, -1); }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    bool Commit(const char* out) {
        if (std::rename(path_.c_str(), out) != 0) {
            std::fprintf(stderr, "ekudemo-capture: cannot write \"%s\": %s\n", out,
                         std::strerror(errno));
            return false;
        }
        path_.clear();
        return true;
    }

  private:
    std::string path_;
    int fd_ = -1;
};

std::string AvText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// Everything FFmpeg hands out for one file; freed on every path.
struct Encoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    int scale = 1;
    std::vector<int16_t> pending; // interleaved stereo not yet in an AAC frame
    int64_t audioPts = 0;
    // The screen in Y, U and V, one value per screen pixel.
    std::array<uint8_t, ScreenWidth * ScreenHeight> luma{}, blue{}, red{};

    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() {
        av_packet_free(&packet);
        av_frame_free(&sound);
        av_frame_free(&picture);
        avcodec_free_context(&audio);
        avcodec_free_context(&video);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

bool Fail(const char* what, int error) {
    EndProgressLine();
    std::fprintf(stderr, "ekudemo-capture: %s: %s\n", what, AvText(error).c_str());
    return false;
}

bool OpenVideo(Encoder& e, int fps, int scale) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) {
        std::fprintf(stderr, "ekudemo-capture: this FFmpeg has no H.264 encoder (libx264)\n");
        return false;
    }
    e.video = avcodec_alloc_context3(codec);
    e.videoStream = avformat_new_stream(e.format, nullptr);
    if (!e.video || !e.videoStream) return Fail("cannot start the video", AVERROR(ENOMEM));
    e.scale = scale;
    e.video->width = ScreenWidth * scale;
    e.video->height = ScreenHeight * scale;
    e.video->pix_fmt = AV_PIX_FMT_YUV420P;
    e.video->time_base = AVRational{1, fps};
    e.video->framerate = AVRational{fps, 1};
    e.video->gop_size = 2 * fps; // a key frame every two seconds, for seeking
    e.video->color_range = AVCOL_RANGE_MPEG;
    e.video->colorspace = AVCOL_SPC_SMPTE170M;
    e.video->color_primaries = AVCOL_PRI_SMPTE170M;
    e.video->color_trc = AVCOL_TRC_SMPTE170M;
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER)
        e.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (std::strcmp(codec->name, "libx264") == 0) {
        // Encoding is most of a capture's time: the fastest preset keeps it
        // several times faster than real time even at 1280x800, and flat
        // pixel art stays small without the slower tools.
        av_opt_set(e.video->priv_data, "preset", "ultrafast", 0);
        av_opt_set(e.video->priv_data, "crf", "16", 0);
    }
    if (int error = avcodec_open2(e.video, codec, nullptr); error < 0)
        return Fail("cannot start the H.264 encoder", error);
    if (int error = avcodec_parameters_from_context(e.videoStream->codecpar, e.video); error < 0)
        return Fail("cannot describe the video", error);
    e.videoStream->time_base = e.video->time_base;

    e.picture = av_frame_alloc();
    if (!e.picture) return Fail("cannot make a video frame", AVERROR(ENOMEM));
    e.picture->format = e.video->pix_fmt;
    e.picture->width = e.video->width;
    e.picture->height = e.video->height;
    if (int error = av_frame_get_buffer(e.picture, 0); error < 0)
        return Fail("cannot make a video frame", error);
    return true;
}

bool OpenAudio(Encoder& e) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) {
        std::fprintf(stderr, "ekudemo-capture: this FFmpeg has no AAC encoder\n");
        return false;
    }
    bool planarFloat = false;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP) planarFloat = true;
    if (!planarFloat) {
        std::fprintf(stderr, "ekudemo-capture: the AAC encoder does not take planar floats\n");
        return false;
    }
    e.audio = avcodec_alloc_context3(codec);
    e.audioStream = avformat_new_stream(e.format, nullptr);
    if (!e.audio || !e.audioStream) return Fail("cannot start the sound", AVERROR(ENOMEM));
    e.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
    e.audio->sample_rate = MixRate;
    av_channel_layout_default(&e.audio->ch_layout, 2);
    e.audio->bit_rate = 192000;
    e.audio->time_base = AVRational{1, MixRate};
    // The fast coder: several times quicker than the default search, and at
    // this rate a chiptune sounds the same.
    av_opt_set(e.audio->priv_data, "aac_coder", "fast", 0);
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER)
        e.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int error = avcodec_open2(e.audio, codec, nullptr); error < 0)
        return Fail("cannot start the AAC encoder", error);
    if (int error = avcodec_parameters_from_context(e.audioStream->codecpar, e.audio); error < 0)
        return Fail("cannot describe the sound", error);
    e.audioStream->time_base = e.audio->time_base;

    e.sound = av_frame_alloc();
    if (!e.sound) return Fail("cannot make a sound frame", AVERROR(ENOMEM));
    e.sound->format = AV_SAMPLE_FMT_FLTP;
    e.sound->sample_rate = MixRate;
    e.sound->nb_samples = e.audio->frame_size > 0 ? e.audio->frame_size : RenderChunk;
    if (int error = av_channel_layout_copy(&e.sound->ch_layout, &e.audio->ch_layout); error < 0)
        return Fail("cannot make a sound frame", error);
    if (int error = av_frame_get_buffer(e.sound, 0); error < 0)
        return Fail("cannot make a sound frame", error);
    return true;
}

// The container follows OUT's name (.mp4, .mkv, .mov ...), MP4 when the
// name says nothing.
bool OpenEncoder(Encoder& e, const char* path, const char* out, int fps, int scale) {
    const AVOutputFormat* container = av_guess_format(nullptr, out, nullptr);
    if (!container) container = av_guess_format("mp4", nullptr, nullptr);
    if (int error = avformat_alloc_output_context2(&e.format, container, nullptr, path); error < 0)
        return Fail("cannot start the video file", error);
    if (!OpenVideo(e, fps, scale) || !OpenAudio(e)) return false;
    e.packet = av_packet_alloc();
    if (!e.packet) return Fail("cannot start the video file", AVERROR(ENOMEM));
    if (!(e.format->oformat->flags & AVFMT_NOFILE))
        if (int error = avio_open(&e.format->pb, path, AVIO_FLAG_WRITE); error < 0)
            return Fail("cannot write the video file", error);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0); // playable while it downloads
    int error = avformat_write_header(e.format, &options);
    av_dict_free(&options);
    if (error < 0) return Fail("cannot write the video file", error);
    return true;
}

// Sends one frame (null: the end) and writes every packet it gives back.
bool Encode(Encoder& e, AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    int error = avcodec_send_frame(codec, frame);
    if (error < 0) return Fail("cannot encode", error);
    while ((error = avcodec_receive_packet(codec, e.packet)) >= 0) {
        // Every picture lasts one frame; without it the last one counts zero
        // and the video ends a frame before its sound.
        if (codec == e.video && e.packet->duration == 0) e.packet->duration = 1;
        av_packet_rescale_ts(e.packet, codec->time_base, stream->time_base);
        e.packet->stream_index = stream->index;
        error = av_interleaved_write_frame(e.format, e.packet);
        if (error < 0) return Fail("cannot write the video file", error);
    }
    if (error != AVERROR(EAGAIN) && error != AVERROR_EOF) return Fail("cannot encode", error);
    return true;
}

// BT.601 studio range, as H.264 players expect without further notice.
void ScreenToYuvValues(Encoder& e, SDL_Surface* screen) {
    SDL_LockSurface(screen);
    for (int y = 0; y < ScreenHeight; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(screen->pixels) + std::ptrdiff_t(y) * screen->pitch);
        for (int x = 0; x < ScreenWidth; ++x) {
            const int r = int(row[x] >> 16 & 0xFF), g = int(row[x] >> 8 & 0xFF),
                      b = int(row[x] & 0xFF);
            const size_t i = size_t(y) * ScreenWidth + size_t(x);
            e.luma[i] = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            e.blue[i] = uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            e.red[i] = uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    }
    SDL_UnlockSurface(screen);
}

// Fills the frame's planes with each screen pixel as a K×K block. Converting
// the 320×200 screen once and copying blocks is much cheaper than converting
// the enlarged picture. A chroma sample covers 2×2 output pixels: for an odd
// K those can belong to different screen pixels and are averaged.
void FillPicture(Encoder& e) {
    const int k = e.scale;
    AVFrame* f = e.picture;
    const int width = ScreenWidth * k, height = ScreenHeight * k;
    int lastRow = -1;
    for (int y = 0; y < height; ++y) {
        uint8_t* line = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
        const int source = y / k;
        if (source == lastRow) {
            std::memcpy(line, line - f->linesize[0], size_t(width));
            continue;
        }
        lastRow = source;
        const uint8_t* values = &e.luma[size_t(source) * ScreenWidth];
        for (int x = 0; x < ScreenWidth; ++x)
            std::memset(line + x * k, values[x], size_t(k));
    }

    int lastTop = -1, lastBottom = -1;
    for (int cy = 0; cy < height / 2; ++cy) {
        uint8_t* lineU = f->data[1] + std::ptrdiff_t(cy) * f->linesize[1];
        uint8_t* lineV = f->data[2] + std::ptrdiff_t(cy) * f->linesize[2];
        const int top = 2 * cy / k, bottom = (2 * cy + 1) / k;
        if (top == lastTop && bottom == lastBottom) {
            std::memcpy(lineU, lineU - f->linesize[1], size_t(width / 2));
            std::memcpy(lineV, lineV - f->linesize[2], size_t(width / 2));
            continue;
        }
        lastTop = top;
        lastBottom = bottom;
        const size_t t = size_t(top) * ScreenWidth, b = size_t(bottom) * ScreenWidth;
        for (int cx = 0; cx < width / 2; ++cx) {
            const size_t l = size_t(2 * cx / k), r = size_t((2 * cx + 1) / k);
            lineU[cx] =
                uint8_t((e.blue[t + l] + e.blue[t + r] + e.blue[b + l] + e.blue[b + r] + 2) >> 2);
            lineV[cx] =
                uint8_t((e.red[t + l] + e.red[t + r] + e.red[b + l] + e.red[b + r] + 2) >> 2);
        }
    }
}

bool EncodePicture(Encoder& e, SDL_Surface* screen, int64_t n) {
    if (int error = av_frame_make_writable(e.picture); error < 0)
        return Fail("cannot make a video frame", error);
    ScreenToYuvValues(e, screen);
    FillPicture(e);
    e.picture->pts = n;
    return Encode(e, e.video, e.videoStream, e.picture);
}

// Encodes the first `frames` pending stereo frames as one AAC frame.
bool EncodeSound(Encoder& e, int frames) {
    if (int error = av_frame_make_writable(e.sound); error < 0)
        return Fail("cannot make a sound frame", error);
    auto* left = reinterpret_cast<float*>(e.sound->data[0]);
    auto* right = reinterpret_cast<float*>(e.sound->data[1]);
    for (int i = 0; i < frames; ++i) {
        left[i] = float(e.pending[size_t(2 * i)]) / 32768.0f;
        right[i] = float(e.pending[size_t(2 * i + 1)]) / 32768.0f;
    }
    e.pending.erase(e.pending.begin(), e.pending.begin() + 2 * frames);
    e.sound->nb_samples = frames;
    e.sound->pts = e.audioPts;
    e.audioPts += frames;
    return Encode(e, e.audio, e.audioStream, e.sound);
}

bool QueueSound(Encoder& e, std::span<const int16_t> samples) {
    e.pending.insert(e.pending.end(), samples.begin(), samples.end());
    const int size = e.audio->frame_size > 0 ? e.audio->frame_size : RenderChunk;
    while (e.pending.size() >= size_t(2 * size))
        if (!EncodeSound(e, size)) return false;
    return true;
}

// The last short sound frame, both encoders drained, the file closed.
bool FinishEncoder(Encoder& e) {
    if (!e.pending.empty()) {
        const int size = e.audio->frame_size > 0 ? e.audio->frame_size : RenderChunk;
        const bool shortLast = e.audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        if (!shortLast) e.pending.resize(size_t(2 * size), 0);
        if (!EncodeSound(e, int(e.pending.size() / 2))) return false;
    }
    if (!Encode(e, e.video, e.videoStream, nullptr) || !Encode(e, e.audio, e.audioStream, nullptr))
        return false;
    if (int error = av_write_trailer(e.format); error < 0)
        return Fail("cannot finish the video file", error);
    if (e.format->pb)
        if (int error = avio_closep(&e.format->pb); error < 0)
            return Fail("cannot finish the video file", error);
    return true;
}

// A one-line progress report, only for a person watching a terminal. The
// greeting's length is not known before it is played; the music's position
// against the last order gives the share done.
struct Progress {
    bool enabled = false;
    Clock::time_point start = Clock::now();
    Clock::time_point last = start;
};

void ShowProgress(Progress& p, int64_t frames, int fps, int32_t order, int32_t row) {
    if (!p.enabled) return;
    const Clock::time_point now = Clock::now();
    if (now - p.last < std::chrono::milliseconds(100)) return;
    p.last = now;
    const double done =
        std::clamp((double(order) * 64 + row + 1) / (double(EndOrder) * 64), 1e-6, 1.0);
    const double elapsed = std::chrono::duration<double>(now - p.start).count();
    const double speed = elapsed > 0 ? double(frames) / fps / elapsed : 0;
    const int left = int(elapsed * (1 - done) / done + 0.5);
    std::fprintf(stderr, "\r%3d%%  frame %lld of about %lld  %.1fx real time  %d:%02d left  ",
                 int(done * 100), static_cast<long long>(frames),
                 static_cast<long long>(double(frames) / done + 0.5), speed, left / 60, left % 60);
    ProgressOnLine = true;
}

// Renders the music on up to `target` stereo frames in all; false when the
// encoder fails. Sets `ended` once the music gives less than asked.
bool RenderMusicTo(Encoder& e, int64_t target, int64_t& rendered, bool& ended) {
    std::array<int16_t, 2 * RenderChunk> chunk;
    while (rendered < target && !ended) {
        const int want = int(std::min<int64_t>(target - rendered, RenderChunk));
        const int got = std::clamp(FMUSIC_Render(SongHandle, chunk.data(), want), 0, want);
        rendered += got;
        if (got < want || FMUSIC_IsFinished(SongHandle)) ended = true;
        if (!QueueSound(e, std::span<const int16_t>(chunk.data(), size_t(2 * got)))) return false;
    }
    return true;
}

int CaptureFrames(SDL_Surface* screen, const SurfaceSlotArray& slots, int fps, int scale,
                  unsigned seed, const char* out, int64_t maxFrames, CaptureTimes& times) {
    TempFile temp;
    if (!temp.Create(out)) return 1;
    temp.Close(); // FFmpeg opens it by name
    Encoder e;
    if (!OpenEncoder(e, temp.Path(), out, fps, scale)) return 1;

    Progress progress;
    progress.enabled = isatty(2);
    const Clock::time_point loopStart = Clock::now();
    std::srand(seed);
    int64_t rendered = 0, frames = 0;
    bool ended = false;
    for (int64_t n = 0; maxFrames == 0 || n < maxFrames; ++n) {
        if (ReportInterrupt(out)) return 1;
        Clock::time_point t = Clock::now();
        if (!RenderMusicTo(e, n * MixRate / fps, rendered, ended)) return 1;
        times.music += Since(t);

        t = Clock::now();
        CurrentOrder.store(FMUSIC_GetOrder(SongHandle), std::memory_order_relaxed);
        const int32_t row = FMUSIC_GetRow(SongHandle);
        FrameTime = int32_t(n * 1000 / fps);
        SDL_FillRect(screen, nullptr, 0);
        // The greeting is over at its last order, or earlier if the music is.
        const bool over = ended || DrawScene(screen, slots, row);
        times.drawing += Since(t);
        if (over) break;

        t = Clock::now();
        if (!EncodePicture(e, screen, n)) return 1;
        times.encoding += Since(t);
        frames = n + 1;
        ShowProgress(progress, frames, fps, CurrentOrder.load(std::memory_order_relaxed), row);
    }
    EndProgressLine();
    if (frames == 0) {
        std::fprintf(stderr, "ekudemo-capture: the music gives nothing to capture\n");
        return 1;
    }

    // The sound runs to the end of the last frame; silence fills in where the
    // music ended inside it.
    Clock::time_point t = Clock::now();
    const int64_t end = frames * MixRate / fps;
    if (!RenderMusicTo(e, end, rendered, ended)) return 1;
    times.music += Since(t);
    t = Clock::now();
    if (rendered < end) {
        const std::vector<int16_t> silence(size_t(2 * (end - rendered)), 0);
        if (!QueueSound(e, silence)) return 1;
    }
    if (!FinishEncoder(e)) return 1;
    times.encoding += Since(t);
    times.loop = Since(loopStart);
    times.frames = frames;
    if (ReportInterrupt(out) || !temp.Commit(out)) return 1;
    return 0;
}

void PutLe(std::vector<uint8_t>& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.push_back(uint8_t(value >> (8 * i)));
}

// The canonical 44-byte header of 16-bit stereo PCM at the mixing rate.
std::vector<uint8_t> WavHeader(uint32_t dataBytes) {
    std::vector<uint8_t> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    PutLe(h, 36 + dataBytes, 4);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(h, 16, 4);
    PutLe(h, 1, 2); // PCM
    PutLe(h, 2, 2); // channels
    PutLe(h, MixRate, 4);
    PutLe(h, MixRate * 4, 4); // bytes per second
    PutLe(h, 4, 2);           // bytes per frame
    PutLe(h, 16, 2);          // bits per sample
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    PutLe(h, dataBytes, 4);
    return h;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

int WriteWav(const char* out) {
    TempFile temp;
    if (!temp.Create(out)) return 1;
    std::unique_ptr<std::FILE, FileCloser> file(fdopen(temp.Fd(), "wb"));
    if (!file) {
        std::fprintf(stderr, "ekudemo-capture: cannot write \"%s\": %s\n", out,
                     std::strerror(errno));
        return 1;
    }
    temp.Release();

    const std::vector<uint8_t> blank = WavHeader(0);
    bool written = std::fwrite(blank.data(), 1, blank.size(), file.get()) == blank.size();
    // RIFF sizes are 32-bit: stop well before they would wrap.
    constexpr uint64_t MaxDataBytes = 0xFFFFFFFFu - 64;
    uint64_t dataBytes = 0;
    std::array<int16_t, 2 * WavChunk> chunk;
    std::array<uint8_t, 4 * WavChunk> bytes;
    while (written && FMUSIC_GetOrder(SongHandle) < EndOrder) {
        if (ReportInterrupt(out)) return 1;
        const int got = std::clamp(FMUSIC_Render(SongHandle, chunk.data(), WavChunk), 0, WavChunk);
        for (size_t i = 0; i < size_t(2 * got); ++i) {
            bytes[2 * i] = uint8_t(uint16_t(chunk[i]));
            bytes[2 * i + 1] = uint8_t(uint16_t(chunk[i]) >> 8);
        }
        written = std::fwrite(bytes.data(), 1, size_t(4 * got), file.get()) == size_t(4 * got);
        dataBytes += uint64_t(4 * got);
        if (dataBytes > MaxDataBytes) {
            std::fprintf(stderr, "ekudemo-capture: the music is too long for a WAV file\n");
            return 1;
        }
        if (got < WavChunk || FMUSIC_IsFinished(SongHandle)) break;
    }
    const std::vector<uint8_t> header = WavHeader(uint32_t(dataBytes));
    written = written && std::fseek(file.get(), 0, SEEK_SET) == 0 &&
              std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
    if (std::fclose(file.release()) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "ekudemo-capture: cannot write \"%s\": %s\n", out,
                     std::strerror(errno));
        return 1;
    }
    if (ReportInterrupt(out) || !temp.Commit(out)) return 1;
    return 0;
}

} // namespace

int CaptureVideoTimed(int fps, int scale, unsigned seed, const char* out, int64_t maxFrames,
                      CaptureTimes* times) {
    if (fps < 1 || scale < 1) return 1;
    // Loaded as the greeting loads it, but silent: the music is rendered here.
    SurfaceSlotArray slots;
    if (!LoadGreetingData(slots)) return 1;
    InterruptWatch watch;
    av_log_set_level(AV_LOG_ERROR); // the encoders' chatter is not ours to show
    SDL_Surface* screen = MakeFrameSurface();
    int status = 1;
    CaptureTimes ignored;
    if (screen && !ReportInterrupt(out))
        status = CaptureFrames(screen, slots, fps, scale, seed, out, maxFrames,
                               times ? *times : ignored);

    SDL_FreeSurface(screen);
    FreeGreetingData(slots);
    SDL_Quit();
    return status;
}

int CaptureVideo(int fps, int scale, unsigned seed, const char* out) {
    return CaptureVideoTimed(fps, scale, seed, out, 0, nullptr);
}

int CaptureWav(const char* out) {
    const char* const data[] = {ModulePath};
    if (!Readable(data)) return 1;
    InterruptWatch watch;
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    InitMusic(ModulePath);
    const int status = Interrupted.load() ? (ReportInterrupt(out), 1) : WriteWav(out);
    StopMusic();
    SDL_Quit();
    return status;
}

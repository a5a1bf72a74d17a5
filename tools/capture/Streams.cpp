#include "capture/Streams.h"

#include "capture/MediaIo.h"
#include "common/Error.h"
#include "driver/Demo.h"
#include "output/OutputFile.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cerrno>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

constexpr Container Containers[] = {
    {".mp4", "mp4", "libx264", "aac"},
    {".mkv", "matroska", "libx264", "aac"},
    {".mov", "mov", "libx264", "aac"},
    {".webm", "webm", "libvpx-vp9", "libvorbis"},
};

bool ShowLog = false;

constexpr int DefaultSoundFrame =
    1024; // stereo frames per sound frame when the encoder leaves it open

int SoundFrameSize(const OutputStream& s) {
    return s.codec->frame_size > 0 ? s.codec->frame_size : DefaultSoundFrame;
}

// A new stream of the file with its encoder's context.
bool AddStream(MediaFile& m, OutputStream& s, const AVCodec* codec) {
    s.codec = avcodec_alloc_context3(codec);
    s.stream = avformat_new_stream(m.format, nullptr);
    if (!s.codec || !s.stream) return SetAvError("cannot start a stream", AVERROR(ENOMEM));
    if (m.format->oformat->flags & AVFMT_GLOBALHEADER)
        s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    return true;
}

// What opening the video and the sound have in common: the encoder started
// and the stream described.
bool OpenStream(OutputStream& s, const char* name) {
    if (int error = avcodec_open2(s.codec, s.codec->codec, nullptr); error < 0)
        return SetAvError((std::string("cannot start the ") + name + " encoder").c_str(), error);
    if (int error = avcodec_parameters_from_context(s.stream->codecpar, s.codec); error < 0)
        return SetAvError("cannot describe a stream", error);
    s.stream->time_base = s.codec->time_base;
    return true;
}

// The constant quality each video encoder is asked for, by VideoQuality
// (smaller numbers look better and take more room), and the sound's bits a
// second.
constexpr const char* X264Crf[] = {"32", "24", "16"};
constexpr const char* Vp9Crf[] = {"34", "20", "12"};
constexpr int64_t SoundBitRate[] = {128000, 192000, 192000};

VideoQuality Quality = VideoQuality::Normal;

// The video encoder's settings, the same for a capture and a measurement.
void SetVideo(AVCodecContext* c, int fps, int scale) {
    c->width = ScreenWidth * scale;
    c->height = ScreenHeight * scale;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, fps};
    c->framerate = AVRational{fps, 1};
    c->gop_size = 5 * fps; // a key frame every five seconds, for seeking
    // The encoder's own threads, as many as it likes for the cores there are;
    // x264's frame threads give the same bytes from run to run.
    c->thread_count = 0;
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
    const auto quality = size_t(Quality);
    if (std::strcmp(c->codec->name, "libx264") == 0) {
        // Encoding is most of a capture's time: the fastest preset keeps it
        // several times faster than real time even at 1280x800, with the few
        // tools that pay for themselves on pixel art enlarged by whole
        // numbers: CABAC and the 8x8 transform (High profile, which every
        // phone plays), one B-frame, and a short look-ahead whose macroblock
        // tree spends the bits on what later frames reuse (half of them
        // repeat the one before). No deblocking: it blurs the pixels' edges.
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "profile", "high", 0);
        av_opt_set(c->priv_data, "crf", X264Crf[quality], 0);
        av_opt_set(c->priv_data, "x264-params",
                   "cabac=1:8x8dct=1:bframes=1:mbtree=1:rc-lookahead=10", 0);
    } else if (std::strcmp(c->codec->name, "libvpx-vp9") == 0) {
        // VP9 for .webm: constant quality, at libvpx's fastest.
        c->bit_rate = 0;
        av_opt_set(c->priv_data, "crf", Vp9Crf[quality], 0);
        av_opt_set(c->priv_data, "deadline", "realtime", 0);
        av_opt_set(c->priv_data, "cpu-used", "8", 0);
    }
}

bool OpenVideo(MediaFile& m, const Container& container, int fps, int scale) {
    OutputStream& s = m.video;
    if (!AddStream(m, s, avcodec_find_encoder_by_name(container.video))) return false;
    AVCodecContext* c = s.codec;
    SetVideo(c, fps, scale);
    // The pictures come from the frame loop, which owns them.
    return OpenStream(s, container.video);
}

bool OpenAudio(MediaFile& m, const Container& container) {
    const AVCodec* codec = avcodec_find_encoder_by_name(container.audio);
    bool planarFloat = false;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP) planarFloat = true;
    if (!planarFloat)
        return SetError("the %s encoder does not take planar floats", container.audio);
    OutputStream& s = m.audio;
    if (!AddStream(m, s, codec)) return false;
    AVCodecContext* c = s.codec;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = MixRate;
    av_channel_layout_default(&c->ch_layout, 2);
    c->bit_rate = SoundBitRate[size_t(Quality)];
    c->time_base = AVRational{1, MixRate};
    // The fast coder: several times quicker than the default search, and at
    // this rate a chiptune sounds the same.
    if (std::strcmp(codec->name, "aac") == 0) av_opt_set(c->priv_data, "aac_coder", "fast", 0);
    if (!OpenStream(s, container.audio)) return false;
    s.frame = av_frame_alloc();
    if (!s.frame) return SetAvError("cannot make a sound frame", AVERROR(ENOMEM));
    s.frame->format = AV_SAMPLE_FMT_FLTP;
    s.frame->sample_rate = MixRate;
    s.frame->nb_samples = SoundFrameSize(s);
    if (int error = av_channel_layout_copy(&s.frame->ch_layout, &c->ch_layout); error < 0)
        return SetAvError("cannot make a sound frame", error);
    if (int error = av_frame_get_buffer(s.frame, 0); error < 0)
        return SetAvError("cannot make a sound frame", error);
    return true;
}

void CloseStream(OutputStream& s) {
    av_packet_free(&s.packet);
    av_frame_free(&s.frame);
    avcodec_free_context(&s.codec);
    s.pending.clear();
}

// Encodes the first `frames` pending stereo frames as one sound frame.
bool WriteSound(MediaFile& m, int frames) {
    OutputStream& s = m.audio;
    if (int error = av_frame_make_writable(s.frame); error < 0)
        return SetAvError("cannot make a sound frame", error);
    auto* left = reinterpret_cast<float*>(s.frame->data[0]);
    auto* right = reinterpret_cast<float*>(s.frame->data[1]);
    for (int i = 0; i < frames; ++i) {
        left[i] = float(s.pending[size_t(2 * i)]) / 32768.0f;
        right[i] = float(s.pending[size_t(2 * i + 1)]) / 32768.0f;
    }
    s.pending.erase(s.pending.begin(), s.pending.begin() + 2 * frames);
    s.frame->nb_samples = frames;
    s.frame->pts = s.nextPts;
    s.nextPts += frames;
    return EncodeFrame(m, s, s.frame);
}

} // namespace

bool SetAvError(const char* what, int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return SetError("%s: %s", what, text);
}

const Container* ContainerFor(const char* out) {
    const char* dot = std::strrchr(out, '.');
    const char* slash = std::strrchr(out, '/');
    for (const Container& c : Containers)
        if (dot && (!slash || dot > slash) && strcasecmp(dot, c.extension) == 0) return &c;
    SetError("\"%s\": a video's name ends in .mp4, .mkv, .mov or .webm", out);
    return nullptr;
}

const Container* FindContainer(const char* out) {
    const Container* found = ContainerFor(out);
    if (!found) return nullptr;
    for (const char* encoder : {found->video, found->audio})
        if (!avcodec_find_encoder_by_name(encoder)) {
            SetError("this FFmpeg has no %s encoder, which %s needs", encoder, found->extension);
            return nullptr;
        }
    return found;
}

void ShowEncoderLog(bool show) {
    ShowLog = show;
}

void SetVideoQuality(VideoQuality quality) {
    Quality = quality;
}

AVCodecContext* OpenVideoEncoder(const Container& container, int fps, int scale) {
    AVCodecContext* c = avcodec_alloc_context3(avcodec_find_encoder_by_name(container.video));
    if (!c) return nullptr;
    SetVideo(c, fps, scale);
    if (avcodec_open2(c, c->codec, nullptr) < 0) avcodec_free_context(&c);
    return c;
}

bool OpenMedia(MediaFile& m, OutputFile& file, const Container& container, int fps, int scale) {
    av_log_set_level(ShowLog ? AV_LOG_INFO : AV_LOG_QUIET);
    m.file = &file;
    if (int error =
            avformat_alloc_output_context2(&m.format, nullptr, container.muxer, file.path.c_str());
        error < 0)
        return SetAvError("cannot start the video file", error);
    if (!UseFileIo(m.format, file))
        return SetAvError("cannot start the video file", AVERROR(ENOMEM));
    // Packets are put in time order only once every stream has one waiting,
    // never early because one stream runs ahead: the file's order then
    // depends on the packets alone, not on which thread was quicker.
    m.format->max_interleave_delta = 0;
    // Matroska draws a random segment identifier unless asked to repeat itself.
    if (std::strcmp(container.muxer, "matroska") == 0 || std::strcmp(container.muxer, "webm") == 0)
        m.format->flags |= AVFMT_FLAG_BITEXACT;
    if (!OpenVideo(m, container, fps, scale) || !OpenAudio(m, container)) return false;
    m.video.packet = av_packet_alloc();
    m.audio.packet = av_packet_alloc();
    if (!m.video.packet || !m.audio.packet)
        return SetAvError("cannot start the video file", AVERROR(ENOMEM));
    AVDictionary* options = nullptr;
    if (std::strcmp(container.muxer, "mp4") == 0 || std::strcmp(container.muxer, "mov") == 0)
        av_dict_set(&options, "movflags", "+faststart", 0); // playable while it downloads
    int error = avformat_write_header(m.format, &options);
    av_dict_free(&options);
    if (error < 0) return SetAvError("cannot write the video file", error);
    return true;
}

bool EncodeFrame(MediaFile& m, OutputStream& s, AVFrame* frame) {
    int error = avcodec_send_frame(s.codec, frame);
    if (error < 0) return SetAvError("cannot encode", error);
    while ((error = avcodec_receive_packet(s.codec, s.packet)) >= 0) {
        // Every picture lasts one frame; without it the last one counts zero
        // and the video ends a frame before its sound.
        if (&s == &m.video && s.packet->duration == 0) s.packet->duration = 1;
        av_packet_rescale_ts(s.packet, s.codec->time_base, s.stream->time_base);
        s.packet->stream_index = s.stream->index;
        std::lock_guard<std::mutex> lock(m.muxing);
        error = av_interleaved_write_frame(m.format, s.packet);
        if (error < 0) return SetAvError("cannot write the video file", error);
    }
    if (error != AVERROR(EAGAIN) && error != AVERROR_EOF) return SetAvError("cannot encode", error);
    return true;
}

bool QueueSound(MediaFile& m, std::span<const int16_t> samples) {
    OutputStream& s = m.audio;
    s.pending.insert(s.pending.end(), samples.begin(), samples.end());
    const int size = SoundFrameSize(s);
    while (s.pending.size() >= size_t(2 * size))
        if (!WriteSound(m, size)) return false;
    return true;
}

bool FinishSound(MediaFile& m) {
    OutputStream& s = m.audio;
    if (!s.pending.empty()) {
        const int size = SoundFrameSize(s);
        const bool shortLast = s.codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        if (!shortLast) s.pending.resize(size_t(2 * size), 0);
        if (!WriteSound(m, int(s.pending.size() / 2))) return false;
    }
    return EncodeFrame(m, m.audio, nullptr);
}

bool FinishMedia(MediaFile& m) {
    std::lock_guard<std::mutex> lock(m.muxing);
    if (int error = av_write_trailer(m.format); error < 0)
        return SetAvError("cannot finish the video file", error);
    avio_flush(m.format->pb);
    if (m.format->pb->error < 0)
        return SetAvError("cannot finish the video file", m.format->pb->error);
    return true;
}

void CloseMedia(MediaFile& m) {
    CloseStream(m.audio);
    CloseStream(m.video);
    if (m.format) {
        FreeFileIo(m.format);
        avformat_free_context(m.format);
        m.format = nullptr;
    }
}

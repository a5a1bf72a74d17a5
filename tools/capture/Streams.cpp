#include "capture/Streams.h"

#include "capture/Progress.h"
#include "driver/Demo.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cstring>
#include <string>

namespace {

constexpr int DefaultSoundFrame =
    1024; // stereo frames per sound frame when the encoder leaves it open

int SoundFrameSize(const OutputStream& s) {
    return s.codec->frame_size > 0 ? s.codec->frame_size : DefaultSoundFrame;
}

// A new stream of the file with its encoder's context.
bool AddStream(MediaFile& m, OutputStream& s, const AVCodec* codec) {
    s.codec = avcodec_alloc_context3(codec);
    s.stream = avformat_new_stream(m.format, nullptr);
    if (!s.codec || !s.stream) return AvFail("cannot start a stream", AVERROR(ENOMEM));
    if (m.format->oformat->flags & AVFMT_GLOBALHEADER)
        s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    return true;
}

// What opening the video and the sound have in common: the encoder started,
// the stream described, and the frame it is fed through.
bool OpenStream(OutputStream& s, const char* name, AVFrame* frame) {
    if (int error = avcodec_open2(s.codec, s.codec->codec, nullptr); error < 0)
        return AvFail((std::string("cannot start the ") + name + " encoder").c_str(), error);
    if (int error = avcodec_parameters_from_context(s.stream->codecpar, s.codec); error < 0)
        return AvFail("cannot describe a stream", error);
    s.stream->time_base = s.codec->time_base;
    s.frame = frame;
    if (!s.frame) return AvFail("cannot make a frame", AVERROR(ENOMEM));
    return true;
}

bool AllocateFrame(OutputStream& s) {
    if (int error = av_frame_get_buffer(s.frame, 0); error < 0)
        return AvFail("cannot make a frame", error);
    return true;
}

bool OpenVideo(MediaFile& m, int fps, int scale) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) {
        CaptureMessage("this FFmpeg has no H.264 encoder (libx264)");
        return false;
    }
    OutputStream& s = m.video;
    if (!AddStream(m, s, codec)) return false;
    AVCodecContext* c = s.codec;
    c->width = ScreenWidth * scale;
    c->height = ScreenHeight * scale;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, fps};
    c->framerate = AVRational{fps, 1};
    c->gop_size = 2 * fps; // a key frame every two seconds, for seeking
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
    if (std::strcmp(codec->name, "libx264") == 0) {
        // Encoding is most of a capture's time: the fastest preset keeps it
        // several times faster than real time even at 1280x800, and flat
        // pixel art stays small without the slower tools.
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "crf", "16", 0);
    }
    if (!OpenStream(s, "H.264", av_frame_alloc())) return false;
    s.frame->format = c->pix_fmt;
    s.frame->width = c->width;
    s.frame->height = c->height;
    return AllocateFrame(s);
}

bool OpenAudio(MediaFile& m) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) {
        CaptureMessage("this FFmpeg has no AAC encoder");
        return false;
    }
    bool planarFloat = false;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP) planarFloat = true;
    if (!planarFloat) {
        CaptureMessage("the AAC encoder does not take planar floats");
        return false;
    }
    OutputStream& s = m.audio;
    if (!AddStream(m, s, codec)) return false;
    AVCodecContext* c = s.codec;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = MixRate;
    av_channel_layout_default(&c->ch_layout, 2);
    c->bit_rate = 192000;
    c->time_base = AVRational{1, MixRate};
    // The fast coder: several times quicker than the default search, and at
    // this rate a chiptune sounds the same.
    av_opt_set(c->priv_data, "aac_coder", "fast", 0);
    if (!OpenStream(s, "AAC", av_frame_alloc())) return false;
    s.frame->format = AV_SAMPLE_FMT_FLTP;
    s.frame->sample_rate = MixRate;
    s.frame->nb_samples = SoundFrameSize(s);
    if (int error = av_channel_layout_copy(&s.frame->ch_layout, &c->ch_layout); error < 0)
        return AvFail("cannot make a sound frame", error);
    return AllocateFrame(s);
}

void CloseStream(OutputStream& s) {
    av_frame_free(&s.frame);
    avcodec_free_context(&s.codec);
    s.pending.clear();
}

// Encodes the first `frames` pending stereo frames as one sound frame.
bool WriteSound(MediaFile& m, int frames) {
    OutputStream& s = m.audio;
    if (int error = av_frame_make_writable(s.frame); error < 0)
        return AvFail("cannot make a sound frame", error);
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
    return WriteFrame(m, s, s.frame);
}

} // namespace

bool AvFail(const char* what, int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    CaptureMessage("%s: %s", what, text);
    return false;
}

bool OpenMedia(MediaFile& m, const char* path, const char* out, int fps, int scale) {
    // The container follows OUT's name (.mp4, .mkv, .mov ...), MP4 when the
    // name says nothing.
    const AVOutputFormat* container = av_guess_format(nullptr, out, nullptr);
    if (!container) container = av_guess_format("mp4", nullptr, nullptr);
    if (int error = avformat_alloc_output_context2(&m.format, container, nullptr, path); error < 0)
        return AvFail("cannot start the video file", error);
    if (!OpenVideo(m, fps, scale) || !OpenAudio(m)) return false;
    m.packet = av_packet_alloc();
    if (!m.packet) return AvFail("cannot start the video file", AVERROR(ENOMEM));
    if (!(m.format->oformat->flags & AVFMT_NOFILE))
        if (int error = avio_open(&m.format->pb, path, AVIO_FLAG_WRITE); error < 0)
            return AvFail("cannot write the video file", error);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0); // playable while it downloads
    int error = avformat_write_header(m.format, &options);
    av_dict_free(&options);
    if (error < 0) return AvFail("cannot write the video file", error);
    return true;
}

bool WriteFrame(MediaFile& m, OutputStream& s, AVFrame* frame) {
    int error = avcodec_send_frame(s.codec, frame);
    if (error < 0) return AvFail("cannot encode", error);
    while ((error = avcodec_receive_packet(s.codec, m.packet)) >= 0) {
        // Every picture lasts one frame; without it the last one counts zero
        // and the video ends a frame before its sound.
        if (&s == &m.video && m.packet->duration == 0) m.packet->duration = 1;
        av_packet_rescale_ts(m.packet, s.codec->time_base, s.stream->time_base);
        m.packet->stream_index = s.stream->index;
        error = av_interleaved_write_frame(m.format, m.packet);
        if (error < 0) return AvFail("cannot write the video file", error);
    }
    if (error != AVERROR(EAGAIN) && error != AVERROR_EOF) return AvFail("cannot encode", error);
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

bool FinishMedia(MediaFile& m) {
    OutputStream& s = m.audio;
    if (!s.pending.empty()) {
        const int size = SoundFrameSize(s);
        const bool shortLast = s.codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        if (!shortLast) s.pending.resize(size_t(2 * size), 0);
        if (!WriteSound(m, int(s.pending.size() / 2))) return false;
    }
    if (!WriteFrame(m, m.video, nullptr) || !WriteFrame(m, m.audio, nullptr)) return false;
    if (int error = av_write_trailer(m.format); error < 0)
        return AvFail("cannot finish the video file", error);
    if (m.format->pb)
        if (int error = avio_closep(&m.format->pb); error < 0)
            return AvFail("cannot finish the video file", error);
    return true;
}

void CloseMedia(MediaFile& m) {
    av_packet_free(&m.packet);
    CloseStream(m.audio);
    CloseStream(m.video);
    if (m.format) {
        if (m.format->pb) avio_closep(&m.format->pb);
        avformat_free_context(m.format);
        m.format = nullptr;
    }
}

// The video file's FFmpeg side, built as FFmpeg's doc/examples/mux.c is: one
// OutputStream per stream (AddStream, OpenVideo, OpenAudio, WriteFrame,
// CloseStream) and the media file that holds them. H.264 and AAC.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

inline constexpr int MixRate = 44100;

// One encoded stream of the file and the frame it is fed through.
struct OutputStream {
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    int64_t nextPts = 0;
    std::vector<int16_t> pending; // sound: interleaved stereo not yet in a frame
};

struct MediaFile {
    AVFormatContext* format = nullptr;
    OutputStream video, audio;
    AVPacket* packet = nullptr;
};

// Everything up to the file's header, written to `path`; `out` (OUT as the
// user gave it) chooses the container. False after a message.
bool OpenMedia(MediaFile& m, const char* path, const char* out, int fps, int scale);
// Sends one frame (null: the end) and writes every packet it gives back.
bool WriteFrame(MediaFile& m, OutputStream& s, AVFrame* frame);
// Adds interleaved stereo samples, encoding every whole sound frame.
bool QueueSound(MediaFile& m, std::span<const int16_t> samples);
// The last short sound frame, both encoders drained, the trailer written and
// the file closed.
bool FinishMedia(MediaFile& m);
// Frees everything; the file is closed if it is still open.
void CloseMedia(MediaFile& m);

// "ekudemo-capture: WHAT: FFmpeg's text for ERROR"; false.
bool AvFail(const char* what, int error);

// The video file's FFmpeg side, built as FFmpeg's doc/examples/mux.c is: one
// OutputStream per stream (AddStream, OpenVideo, OpenAudio, EncodeFrame,
// CloseStream) and the media file that holds them. FFmpeg writes only through
// our own I/O on the output's descriptor: it never opens a path itself, and
// no name is taken for one of its protocols.
#pragma once

#include "music/Music.h"

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct OutputFile;

// A container the capture writes, chosen by OUT's ending, and its encoders.
// Each of them holds the whole video in one file.
struct Container {
    const char* extension;
    const char* muxer;
    const char* video;
    const char* audio;
};

// OUT's container by its name alone, or null after SetError when it ends
// otherwise.
const Container* ContainerFor(const char* out);
// OUT's container, or null after SetError when its name ends otherwise or
// this FFmpeg lacks one of the encoders.
const Container* FindContainer(const char* out);
// FFmpeg's own log lines on standard error (for --verbose); off by default.
void ShowEncoderLog(bool show);

// How a video weighs its file's size against how close it stays to the
// frames drawn (--quality). Normal fits the greeting in 10 MB and looks the
// same as the frames; Small takes about two thirds of that and softens the
// finest detail; Best is for keeping, about half as large again.
enum class VideoQuality { Small, Normal, Best };
// The quality of the videos opened from now on; Normal by default.
void SetVideoQuality(VideoQuality quality);

// One encoded stream of the file.
struct OutputStream {
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr; // sound: the frame it is fed through
    AVPacket* packet = nullptr;
    int64_t nextPts = 0;
    std::vector<int16_t> pending; // sound: interleaved stereo not yet in a frame
};

// The sound may be encoded on one thread while the pictures are on another:
// each stream is used by one thread only, and writing into the file takes
// turns. The muxer orders the packets by time whoever comes first.
struct MediaFile {
    AVFormatContext* format = nullptr;
    OutputFile* file = nullptr; // where the I/O goes
    OutputStream video, audio;
    std::mutex muxing;
};

// Everything up to the file's header, written into `file`. False after
// SetError, as every routine here fails.
bool OpenMedia(MediaFile& m, OutputFile& file, const Container& container, int fps, int scale);
// The video encoder alone, as OpenMedia sets it up, for measuring it.
AVCodecContext* OpenVideoEncoder(const Container& container, int fps, int scale);
// Sends one frame (null: the end) and writes every packet it gives back.
bool EncodeFrame(MediaFile& m, OutputStream& s, AVFrame* frame);
// Adds interleaved stereo samples, encoding every whole sound frame.
bool QueueSound(MediaFile& m, std::span<const int16_t> samples);
// The last short sound frame and the sound encoder drained.
bool FinishSound(MediaFile& m);
// Once both encoders are drained (FinishSound, and EncodeFrame with no
// frame): the trailer written and everything flushed into the file (which
// the caller then commits).
bool FinishMedia(MediaFile& m);
// Frees everything; the file is closed if it is still open.
void CloseMedia(MediaFile& m);

// SetError("WHAT: FFmpeg's text for ERROR"); false.
bool SetAvError(const char* what, int error);

#include "capture/MediaIo.h"

#include "output/OutputFile.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int IoBufferSize = 1 << 16;

int WriteToFile(void* opaque, uint8_t* bytes, int size) {
    auto* file = static_cast<OutputFile*>(opaque);
    for (int done = 0; done < size;) {
        const ssize_t n = write(file->fd, bytes + done, size_t(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return AVERROR(errno);
        done += int(n);
    }
    return size;
}

int64_t SeekFd(int fd, int64_t offset, int whence) {
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return fstat(fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

int64_t SeekInFile(void* opaque, int64_t offset, int whence) {
    return SeekFd(static_cast<OutputFile*>(opaque)->fd, offset, whence);
}

// Reading back what was written, at a position of its own: MP4's fast start
// moves the index to the front when the file is complete.
struct ReadBack {
    int fd;
    int64_t position;
};

int ReadFromFile(void* opaque, uint8_t* bytes, int size) {
    auto* r = static_cast<ReadBack*>(opaque);
    const ssize_t n = pread(r->fd, bytes, size_t(size), off_t(r->position));
    if (n < 0) return AVERROR(errno);
    if (n == 0) return AVERROR_EOF;
    r->position += n;
    return int(n);
}

int64_t SeekReadBack(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<ReadBack*>(opaque);
    if (whence == AVSEEK_SIZE) return SeekFd(r->fd, 0, AVSEEK_SIZE);
    whence &= ~AVSEEK_FORCE;
    const int64_t size = SeekFd(r->fd, 0, AVSEEK_SIZE);
    const int64_t at = whence == SEEK_SET   ? offset
                       : whence == SEEK_CUR ? r->position + offset
                       : whence == SEEK_END ? size + offset
                                            : -1;
    if (at < 0) return AVERROR(EINVAL);
    r->position = at;
    return at;
}

AVIOContext* MakeIo(void* opaque, bool write) {
    auto* buffer = static_cast<uint8_t*>(av_malloc(IoBufferSize));
    if (!buffer) return nullptr;
    AVIOContext* io = write ? avio_alloc_context(buffer, IoBufferSize, 1, opaque, nullptr,
                                                 WriteToFile, SeekInFile)
                            : avio_alloc_context(buffer, IoBufferSize, 0, opaque, ReadFromFile,
                                                 nullptr, SeekReadBack);
    if (!io) av_free(buffer);
    return io;
}

void FreeIo(AVIOContext*& io) {
    if (!io) return;
    av_freep(&io->buffer);
    avio_context_free(&io);
}

// The muxer opens nothing but the file it writes, for reading it back.
int OpenForMuxer(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary**) {
    auto* file = static_cast<OutputFile*>(s->opaque);
    if ((flags & AVIO_FLAG_WRITE) || !url || !s->url || std::strcmp(url, s->url) != 0)
        return AVERROR(EPERM);
    auto* r = new ReadBack{file->fd, 0};
    *pb = MakeIo(r, false);
    if (*pb) return 0;
    delete r;
    return AVERROR(ENOMEM);
}

int CloseForMuxer(AVFormatContext*, AVIOContext* pb) {
    delete static_cast<ReadBack*>(pb->opaque);
    FreeIo(pb);
    return 0;
}

} // namespace

bool UseFileIo(AVFormatContext* format, OutputFile& file) {
    format->opaque = &file;
    format->io_open = OpenForMuxer;
    format->io_close2 = CloseForMuxer;
    format->pb = MakeIo(&file, true);
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    return format->pb != nullptr;
}

void FreeFileIo(AVFormatContext* format) {
    FreeIo(format->pb);
}

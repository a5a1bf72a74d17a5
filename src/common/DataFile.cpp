#include "common/DataFile.h"

#include "common/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

// Why a file that is not a regular file cannot be read, or null.
const char* NotARegularFile(mode_t mode) {
    if (S_ISREG(mode)) return nullptr;
    if (S_ISDIR(mode)) return "is a folder, not a file";
    if (S_ISFIFO(mode)) return "is a FIFO (named pipe), not a regular file";
    if (S_ISCHR(mode)) return "is a character device, not a regular file";
    if (S_ISBLK(mode)) return "is a block device, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    return "is not a regular file";
}

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// Reads `fd` to its end, or to `want` bytes, into `bytes`, which it grows as
// it goes and leaves holding what was read. 0, or the errno of a failed read.
int ReadUpTo(int fd, size_t want, std::vector<uint8_t>& bytes) {
    size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have == want) break;
            // A file that says it is empty may still have bytes (files of /proc).
            bytes.resize(std::min(want, have + 65536));
        }
        const ssize_t got = read(fd, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) break;
        have += size_t(got);
    }
    bytes.resize(have);
    return 0;
}

} // namespace

bool ReadDataFile(const char* path, const char* what, size_t limit, DataLimit atLimit,
                  std::vector<uint8_t>& bytes) {
    bytes.clear();
    // O_NONBLOCK: opening a FIFO waits for a writer otherwise. Whatever was
    // opened is looked at through the descriptor, so nothing can be swapped in
    // between the look and the read.
    const Descriptor file{open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0) {
        const int error = errno;
        SetError("cannot open %s \"%s\": %s", what, path, std::strerror(error));
        errno = error; // the sound library tells a missing file by it
        return false;
    }
    struct stat info;
    if (fstat(file.fd, &info) != 0)
        return SetError("cannot read %s \"%s\": %s", what, path, std::strerror(errno));
    if (const char* reason = NotARegularFile(info.st_mode))
        return SetError("%s \"%s\" %s", what, path, reason);
    const int flags = fcntl(file.fd, F_GETFL);
    if (flags < 0 || fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return SetError("cannot read %s \"%s\": %s", what, path, std::strerror(errno));

    const uint64_t size = uint64_t(info.st_size);
    if (atLimit == DataLimit::Refuse && size > limit)
        return SetError("%s \"%s\" is larger than the %zu bytes it may have", what, path, limit);
    // One byte more than the limit tells a file that grew while it was read.
    const size_t want = atLimit == DataLimit::Refuse ? limit + 1 : limit;
    try {
        // A byte to spare, where the end of the file shows without growing.
        bytes.resize(size_t(std::min<uint64_t>(size + 1, want)));
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return SetError("cannot read %s \"%s\": out of memory", what, path);
    }
    if (const int error = ReadUpTo(file.fd, want, bytes)) {
        bytes.clear();
        return SetError("cannot read %s \"%s\": %s", what, path, std::strerror(error));
    }
    if (bytes.size() > limit) {
        bytes.clear();
        return SetError("%s \"%s\" is larger than the %zu bytes it may have", what, path, limit);
    }
    return true;
}

std::string DataFolder = "dat";

std::string DataFolderPath(const std::string& path) {
    const size_t slash = path.find('/');
    return slash == std::string::npos ? path : DataFolder + path.substr(slash);
}

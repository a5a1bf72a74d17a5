#include "capture/OutputFile.h"

#include "capture/Progress.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

namespace {

void OnInterrupt(int) {
    Interrupted.store(true, std::memory_order_relaxed);
}

} // namespace

InterruptWatch::InterruptWatch() {
    Interrupted.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
}

InterruptWatch::~InterruptWatch() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool ReportInterrupt(const char* out) {
    if (!Interrupted.load(std::memory_order_relaxed)) return false;
    CaptureMessage("interrupted; \"%s\" is not written", out);
    return true;
}

TempFile::~TempFile() {
    Close();
    if (!path_.empty()) unlink(path_.c_str());
}

bool TempFile::Create(const char* out) {
    std::string whole = out;
    std::string::size_type slash = whole.rfind('/');
    std::string folder = slash == std::string::npos ? "" : whole.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? whole : whole.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        CaptureMessage("\"%s\" is not a file name", out);
        return false;
    }
    std::string::size_type dot = name.rfind('.');
    std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    std::string pattern = folder + "." + name + ".XXXXXX" + extension;
    fd_ = mkstemps(pattern.data(), int(extension.size()));
    if (fd_ < 0) {
        CaptureMessage("cannot write \"%s\": %s", out, std::strerror(errno));
        return false;
    }
    path_ = pattern;
    // mkstemps makes the file private; the result is meant to be shared.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    return true;
}

int TempFile::Release() {
    return std::exchange(fd_, -1);
}

void TempFile::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool TempFile::Commit(const char* out) {
    if (std::rename(path_.c_str(), out) != 0) {
        CaptureMessage("cannot write \"%s\": %s", out, std::strerror(errno));
        return false;
    }
    path_.clear();
    return true;
}

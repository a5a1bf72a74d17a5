// Where the capture's files grow until they are complete, and the watch for
// Ctrl-C and SIGTERM that lets a capture stop cleanly.
#pragma once

#include <atomic>
#include <csignal>
#include <string>

// Set by Ctrl-C or SIGTERM while an InterruptWatch lives; the loops check it
// and leave through the normal clean-up, so no partial file survives.
extern std::atomic<bool> Interrupted;

class InterruptWatch {
  public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

  private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// True, after a message, when the capture was interrupted.
bool ReportInterrupt(const char* out);

// The output grows under a hidden name beside OUT (".OUT.XXXXXX.ext", same
// folder, so the rename cannot cross file systems) and replaces OUT only
// when complete. Anything else removes it.
class TempFile {
  public:
    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Create(const char* out);
    const char* Path() const { return path_.c_str(); }
    int Fd() const { return fd_; }
    // Hands the descriptor over (to a FILE).
    int Release();
    void Close();
    bool Commit(const char* out);

  private:
    std::string path_;
    int fd_ = -1;
};

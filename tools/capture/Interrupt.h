// The watch for Ctrl-C, SIGTERM and the other signals that end a program,
// which lets a capture stop cleanly with a message.
#pragma once

#include <csignal>
#include <cstddef>

// While it lives, the signals that end a program mark the capture as
// interrupted instead. (The output is an unnamed file until it is complete,
// so even a signal that cannot be caught leaves nothing.)
class InterruptWatch {
  public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

  private:
    static constexpr size_t WatchedCount = 8;
    struct sigaction old_[WatchedCount] {};
};

// True, after SetError saying that `out` is not written, once the capture
// has been interrupted.
bool CheckInterrupt(const char* out);

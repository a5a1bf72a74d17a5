#include "capture/Interrupt.h"

#include "common/Error.h"

#include <atomic>
#include <iterator>

namespace {

// Set by one of WatchedSignals while an InterruptWatch lives; the loops check
// it through CheckInterrupt and leave through the normal clean-up.
std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Everything that ends a program by default and can be caught, bar the
// faults; SIGPIPE too, so that a closed standard error ends a capture cleanly.
constexpr int WatchedSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,
                                  SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ};

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
    static_assert(std::size(WatchedSignals) == WatchedCount);
    for (size_t i = 0; i < std::size(WatchedSignals); ++i)
        sigaction(WatchedSignals[i], &action, &old_[i]);
}

InterruptWatch::~InterruptWatch() {
    for (size_t i = 0; i < std::size(WatchedSignals); ++i)
        sigaction(WatchedSignals[i], &old_[i], nullptr);
}

bool CheckInterrupt(const char* out) {
    if (!Interrupted.load(std::memory_order_relaxed)) return false;
    SetError("interrupted; \"%s\" is not written", out);
    return true;
}

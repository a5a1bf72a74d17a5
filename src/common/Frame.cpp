#include "common/Frame.h"

#include <ctime>

int32_t FrameTime = 0;

int32_t MilliClock() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t ms = int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return int32_t(uint32_t(uint64_t(ms))); // wraps like a 32-bit millisecond counter
}

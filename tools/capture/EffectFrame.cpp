#include "capture/Capture.h"

#include <cstdio>

int CaptureEffect(const char*, int32_t, unsigned, bool, const char*) {
    std::fprintf(stderr, "ekudemo-capture: effect frames are not built yet\n");
    return 1;
}

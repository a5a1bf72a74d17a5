#include "capture/Capture.h"

#include <cstdio>

int CaptureStill(int32_t, int32_t, int32_t, unsigned, bool, const char*) {
    std::fprintf(stderr, "ekudemo-capture: stills are not built yet\n");
    return 1;
}

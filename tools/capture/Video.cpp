#include "capture/Capture.h"

#include <cstdio>

int CaptureVideo(int, int, unsigned, const char*) {
    std::fprintf(stderr, "ekudemo-capture: video capture is not built yet\n");
    return 1;
}

int CaptureWav(const char*) {
    std::fprintf(stderr, "ekudemo-capture: WAV capture is not built yet\n");
    return 1;
}

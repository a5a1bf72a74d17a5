#include "Song.h"

#include "s3m/S3mWriter.h"

std::vector<uint8_t> ComposeSong() {
    return {};
}

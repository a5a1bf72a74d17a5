// The music alone as a WAV file: 16-bit stereo PCM at the mixing rate, up to
// the greeting's end.
#include "capture/Capture.h"
#include "capture/Interrupt.h"
#include "capture/Progress.h"
#include "common/ByteOrder.h"

#include "common/Data.h"
#include "driver/Timeline.h"
#include "music/Music.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr int WavChunk = 256; // small, so the WAV stops close to the last order's start

// The canonical 44-byte header of 16-bit stereo PCM at the mixing rate.
std::array<uint8_t, 44> WavHeader(uint32_t dataBytes) {
    std::array<uint8_t, 44> h{'R', 'I', 'F', 'F', 0,   0,   0,   0,
                              'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    PutLe32(h, 4, 36 + dataBytes);
    PutLe32(h, 16, 16);
    PutLe16(h, 20, 1); // PCM
    PutLe16(h, 22, 2); // channels
    PutLe32(h, 24, MixRate);
    PutLe32(h, 28, MixRate * 4); // bytes per second
    PutLe16(h, 32, 4);           // bytes per frame
    PutLe16(h, 34, 16);          // bits per sample
    h[36] = 'd';
    h[37] = 'a';
    h[38] = 't';
    h[39] = 'a';
    PutLe32(h, 40, dataBytes);
    return h;
}

int WriteWav(OutputFile& file, const char* out) {
    if (!WriteOutput(file, WavHeader(0).data(), 44)) return 1;
    // RIFF sizes are 32-bit: stop well before they would wrap.
    constexpr uint64_t MaxDataBytes = 0xFFFFFFFFu - 64;
    uint64_t dataBytes = 0;
    std::array<int16_t, 2 * WavChunk> chunk;
    std::vector<uint8_t> bytes;
    bytes.reserve(1 << 16);
    for (;;) {
        const bool more = FMUSIC_GetOrder(SongHandle) < EndOrder;
        int got = 0;
        if (more) {
            if (ReportInterrupt(out)) return 1;
            got = std::clamp(FMUSIC_Render(SongHandle, chunk.data(), WavChunk), 0, WavChunk);
            const size_t at = bytes.size();
            bytes.resize(at + size_t(4 * got));
            for (size_t i = 0; i < size_t(2 * got); ++i)
                PutLe16(bytes, at + 2 * i, uint16_t(chunk[i]));
            dataBytes += uint64_t(4 * got);
            if (dataBytes > MaxDataBytes) {
                CaptureMessage("the music is too long for a WAV file");
                return 1;
            }
        }
        const bool last = !more || got < WavChunk || FMUSIC_IsFinished(SongHandle);
        if (last || bytes.size() + 4 * WavChunk > bytes.capacity()) {
            if (!WriteOutput(file, bytes.data(), bytes.size())) return 1;
            bytes.clear();
        }
        if (last) break;
    }
    const std::array<uint8_t, 44> header = WavHeader(uint32_t(dataBytes));
    if (pwrite(file.fd, header.data(), header.size(), 0) != ssize_t(header.size())) {
        CaptureMessage("cannot write \"%s\": %s", out, std::strerror(errno));
        return 1;
    }
    if (ReportInterrupt(out) || !CommitOutput(file)) return 1;
    return 0;
}

} // namespace

int CaptureWav(const char* out) {
    InterruptWatch watch;
    OutputFile file;
    if (!OpenOutput(file, CaptureProgram, out, CaptureInputs())) return 1;
    const char* const data[] = {ModuleFile};
    if (!Readable(data)) return 1;
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    InitMusic(ModuleFile);
    const int status = Interrupted.load() ? (ReportInterrupt(out), 1) : WriteWav(file, out);
    StopMusic();
    SDL_Quit();
    return status;
}

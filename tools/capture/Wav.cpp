// The music alone as a WAV file: 16-bit stereo PCM at the mixing rate, up to
// the greeting's end.
#include "capture/Capture.h"
#include "capture/Interrupt.h"
#include "common/ByteOrder.h"

#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"
#include "driver/Timeline.h"
#include "music/Music.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
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

// RIFF sizes are 32-bit: stop well before they would wrap.
constexpr uint64_t MaxDataBytes = 0xFFFFFFFFu - 64;

// The music rendered on by one chunk, its samples added to `bytes` as
// little-endian words. Returns the stereo frames rendered, or -1 after
// SetError when the capture must stop.
int RenderWavChunk(const char* out, std::vector<uint8_t>& bytes, uint64_t& dataBytes) {
    if (CheckInterrupt(out)) return -1;
    std::array<int16_t, 2 * WavChunk> chunk;
    const int got = std::clamp(FMUSIC_Render(SongHandle, chunk.data(), WavChunk), 0, WavChunk);
    const size_t at = bytes.size();
    bytes.resize(at + size_t(4 * got));
    for (size_t i = 0; i < size_t(2 * got); ++i)
        PutLe16(bytes, at + 2 * i, uint16_t(chunk[i]));
    dataBytes += uint64_t(4 * got);
    if (dataBytes > MaxDataBytes) {
        SetError("the music is too long for a WAV file");
        return -1;
    }
    return got;
}

// The samples up to the greeting's end, after a header that is filled in
// once their length is known. The file is written in large pieces.
bool WriteSamples(OutputFile& file, const char* out, uint64_t& dataBytes) {
    if (!WriteOutput(file, WavHeader(0).data(), 44)) return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(1 << 16);
    for (bool last = false; !last;) {
        int got = 0;
        const bool more = FMUSIC_GetOrder(SongHandle) < EndOrder;
        if (more && (got = RenderWavChunk(out, bytes, dataBytes)) < 0) return false;
        last = !more || got < WavChunk || FMUSIC_IsFinished(SongHandle);
        if (last || bytes.size() + 4 * WavChunk > bytes.capacity()) {
            if (!WriteOutput(file, bytes.data(), bytes.size())) return false;
            bytes.clear();
        }
    }
    return true;
}

bool WriteWav(OutputFile& file, const char* out) {
    uint64_t dataBytes = 0;
    if (!WriteSamples(file, out, dataBytes)) return false;
    const std::array<uint8_t, 44> header = WavHeader(uint32_t(dataBytes));
    if (pwrite(file.fd, header.data(), header.size(), 0) != ssize_t(header.size()))
        return SetError("cannot write \"%s\": %s", out, std::strerror(errno));
    return !CheckInterrupt(out) && CommitOutput(file);
}

} // namespace

int CaptureWav(const char* out) {
    InterruptWatch watch;
    OutputFile file;
    if (!OpenOutput(file, out, CaptureInputs())) return CaptureFailed();
    // Only the music, without a sound device: rendered here.
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    bool written = false;
    if (LoadMusic(DataFolderPath(ModuleFile).c_str())) {
        written = !CheckInterrupt(out) && WriteWav(file, out);
        StopMusic();
    }
    SDL_Quit();
    return written ? 0 : CaptureFailed();
}

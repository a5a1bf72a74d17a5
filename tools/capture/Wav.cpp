// The music alone as a WAV file: 16-bit stereo PCM at the mixing rate, up to
// the greeting's end.
#include "capture/Capture.h"
#include "capture/OutputFile.h"
#include "capture/Progress.h"

#include "driver/Timeline.h"
#include "music/Music.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int MixRate = 44100;
constexpr int WavChunk = 256; // small, so the WAV stops close to the last order's start
constexpr const char* ModulePath = "dat/rimpaaa.s3m";

void PutLe(std::vector<uint8_t>& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.push_back(uint8_t(value >> (8 * i)));
}

// The canonical 44-byte header of 16-bit stereo PCM at the mixing rate.
std::vector<uint8_t> WavHeader(uint32_t dataBytes) {
    std::vector<uint8_t> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    PutLe(h, 36 + dataBytes, 4);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(h, 16, 4);
    PutLe(h, 1, 2); // PCM
    PutLe(h, 2, 2); // channels
    PutLe(h, MixRate, 4);
    PutLe(h, MixRate * 4, 4); // bytes per second
    PutLe(h, 4, 2);           // bytes per frame
    PutLe(h, 16, 2);          // bits per sample
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    PutLe(h, dataBytes, 4);
    return h;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

int WriteWav(const char* out) {
    TempFile temp;
    if (!temp.Create(out)) return 1;
    std::unique_ptr<std::FILE, FileCloser> file(fdopen(temp.Fd(), "wb"));
    if (!file) {
        CaptureMessage("cannot write \"%s\": %s", out, std::strerror(errno));
        return 1;
    }
    temp.Release();

    const std::vector<uint8_t> blank = WavHeader(0);
    bool written = std::fwrite(blank.data(), 1, blank.size(), file.get()) == blank.size();
    // RIFF sizes are 32-bit: stop well before they would wrap.
    constexpr uint64_t MaxDataBytes = 0xFFFFFFFFu - 64;
    uint64_t dataBytes = 0;
    std::array<int16_t, 2 * WavChunk> chunk;
    std::array<uint8_t, 4 * WavChunk> bytes;
    while (written && FMUSIC_GetOrder(SongHandle) < EndOrder) {
        if (ReportInterrupt(out)) return 1;
        const int got = std::clamp(FMUSIC_Render(SongHandle, chunk.data(), WavChunk), 0, WavChunk);
        for (size_t i = 0; i < size_t(2 * got); ++i) {
            bytes[2 * i] = uint8_t(uint16_t(chunk[i]));
            bytes[2 * i + 1] = uint8_t(uint16_t(chunk[i]) >> 8);
        }
        written = std::fwrite(bytes.data(), 1, size_t(4 * got), file.get()) == size_t(4 * got);
        dataBytes += uint64_t(4 * got);
        if (dataBytes > MaxDataBytes) {
            CaptureMessage("the music is too long for a WAV file");
            return 1;
        }
        if (got < WavChunk || FMUSIC_IsFinished(SongHandle)) break;
    }
    const std::vector<uint8_t> header = WavHeader(uint32_t(dataBytes));
    written = written && std::fseek(file.get(), 0, SEEK_SET) == 0 &&
              std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
    if (std::fclose(file.release()) != 0) written = false;
    if (!written) {
        CaptureMessage("cannot write \"%s\": %s", out, std::strerror(errno));
        return 1;
    }
    if (ReportInterrupt(out) || !temp.Commit(out)) return 1;
    return 0;
}

} // namespace

int CaptureWav(const char* out) {
    const char* const data[] = {ModulePath};
    if (!Readable(data)) return 1;
    InterruptWatch watch;
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND);
    InitMusic(ModulePath);
    const int status = Interrupted.load() ? (ReportInterrupt(out), 1) : WriteWav(out);
    StopMusic();
    SDL_Quit();
    return status;
}

// Arbitrary bytes as the greeting's module, through our sound library with no
// audio device: load, play a few thousand frames with the order callback in
// place, free. The bytes reach the loader as a file (a memory file named by
// its descriptor), exactly the path FMUSIC_LoadSong takes.
#include "music/SoundLib.h"

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int OrderChanges = 0;

void CountOrder(FMUSIC_MODULE* mod, unsigned char) {
    // What the greeting's callback does: ask for the order.
    if (FMUSIC_GetOrder(mod) >= 0) ++OrderChanges;
}

int OpenMemoryFile() {
    int fd = memfd_create("module", 0);
    if (fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND) || !FSOUND_Init(44100, 32, 2)) {
        std::fprintf(stderr, "the sound library did not start: %d\n", FSOUND_GetError());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = OpenMemoryFile();
    static char path[64];
    if (path[0] == 0) std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);

    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) std::abort();
    FMUSIC_MODULE* song = FMUSIC_LoadSong(path);
    if (!song) return 0;
    FMUSIC_SetOrderCallback(song, CountOrder, 1);
    FMUSIC_PlaySong(song);
    static std::array<int16_t, 2 * 1024> buffer;
    for (int block = 0; block < 4; ++block) {
        if (FMUSIC_Render(song, buffer.data(), 1024) < 1024) break;
        // The main thread's questions between blocks.
        (void)FMUSIC_GetRow(song);
        (void)FMUSIC_IsFinished(song);
    }
    FMUSIC_FreeSong(song);
    return 0;
}

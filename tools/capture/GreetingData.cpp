#include "capture/Capture.h"

#include "common/Data.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// dat/ itself and every file of it the greeting reads.
constexpr auto Inputs = [] {
    std::array<const char*, DataFiles.size() + 1> inputs{};
    inputs[0] = "dat";
    for (size_t i = 0; i < DataFiles.size(); ++i)
        inputs[i + 1] = DataFiles[i];
    return inputs;
}();

} // namespace

std::span<const char* const> CaptureInputs() {
    return Inputs;
}

bool Readable(std::span<const char* const> paths) {
    for (const char* path : paths) {
        // Without blocking: a FIFO in place of a data file must not hang here.
        const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "ekudemo-capture: cannot read \"%s\": %s\n", path,
                         std::strerror(errno));
            return false;
        }
        close(fd);
    }
    return true;
}

bool LoadGreetingData(SurfaceSlotArray& slots, unsigned seed) {
    slots.fill(nullptr);
    // What a frame needs from dat/: the module and the slot pictures; the
    // font is optional (no captions without it).
    if (!Readable({&ModuleFile, 1})) return false;
    for (const DataPicture& picture : DataPictures)
        if (picture.slot != NoSlot && !Readable({&picture.path, 1})) return false;
    SDL_Surface* noSprite = nullptr;
    return StartUp({.program = "ekudemo-capture",
                    .music = MusicUse::Silent,
                    .font = true,
                    .display = false,
                    .flares = false,
                    .seed = seed},
                   slots, noSprite) == 0;
}

void FreeGreetingData(SurfaceSlotArray& slots) {
    SDL_Surface* noSprite = nullptr;
    ShutDown(slots, noSprite);
}

SDL_Surface* MakeFrameSurface() {
    SDL_Surface* frame =
        SDL_CreateRGBSurface(SDL_SWSURFACE, ScreenWidth, ScreenHeight, 32, 0, 0, 0, 0);
    if (!frame)
        std::fprintf(stderr, "ekudemo-capture: cannot make the frame: %s\n", SDL_GetError());
    else
        SDL_FillRect(frame, nullptr, 0);
    return frame;
}

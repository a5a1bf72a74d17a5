#include "capture/Capture.h"

#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"

#include <cstdio>
#include <string>
#include <vector>

std::span<const char* const> CaptureInputs() {
    // The data folder itself and every file of it the greeting reads; the
    // name's letter masks lie in the folder too.
    static std::vector<std::string> paths;
    static std::vector<const char*> inputs;
    paths = {DataFolder, DataFolderPath(GreetingFile)};
    for (const char* file : DataFiles)
        paths.push_back(DataFolderPath(file));
    inputs.clear();
    for (const std::string& path : paths)
        inputs.push_back(path.c_str());
    return inputs;
}

bool LoadGreetingData(SurfaceSlotArray& slots, unsigned seed) {
    // Every loader refuses a missing or special file by name, without
    // blocking on a FIFO; the font is optional (no captions without it).
    SDL_Surface* noSprite = nullptr;
    return StartUp({.program = CaptureProgram,
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
        SetError("cannot make the frame: %s", SDL_GetError());
    else
        SDL_FillRect(frame, nullptr, 0);
    return frame;
}

int CaptureFailed() {
    PrintError();
    return 1;
}

int CaptureUsageError() {
    PrintError();
    for (size_t i = 0; i < CaptureUsages.size(); ++i)
        std::fprintf(stderr, "%s %s %s\n", i == 0 ? "usage:" : "      ", CaptureProgram,
                     CaptureUsages[i]);
    std::fputs("Run with --help for more information.\n", stderr);
    return 2;
}

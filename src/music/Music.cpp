#include "music/Music.h"

#include "common/Error.h"

#include <array>
#include <cstdio>
#include <cstdlib>

std::atomic<int32_t> CurrentOrder{0};
FMUSIC_MODULE* SongHandle = nullptr;

namespace {

constexpr float RequiredVersion = 3.5f;

// Indexed by the library's error code.
constexpr std::array<const char*, 19> ErrorTexts{
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};

// The library checked and the sound system started. False after SetError
// with the library's own text, which the greeting prints as it is.
bool StartSound() {
    if (FSOUND_GetVersion() < RequiredVersion)
        return SetError(
            "Error : You are using the wrong DLL version!  You should be using FMOD %.02f",
            static_cast<double>(RequiredVersion));
    if (!FSOUND_Init(MixRate, 32, 2)) return SetError("%s", MusicErrorText(FSOUND_GetError()));
    return true;
}

// The module loaded and its order callback installed. False after the sound
// library's SetError, which names the file and what is wrong with it.
bool LoadSong(const char* path) {
    SongHandle = FMUSIC_LoadSong(path);
    if (!SongHandle) return false;
    FMUSIC_SetOrderCallback(SongHandle, OnOrderChange, 1);
    return true;
}

// The greeting's start-up failures happen before any window exists: the
// line goes to standard output and the process ends there.
[[noreturn]] void EndWithLine(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
    std::exit(1);
}

} // namespace

bool LoadMusic(const char* path) {
    if (!StartSound()) return false;
    if (LoadSong(path)) return true;
    FSOUND_Close(); // nothing is left started
    return false;
}

void InitMusic(const char* path) {
    if (!StartSound()) EndWithLine(ErrorText());
    if (!LoadSong(path)) {
        // The library's texts say neither which file nor what is wrong with
        // it: the reason the sound library recorded says both.
        PrintError();
        EndWithLine(MusicErrorText(FSOUND_GetError()));
    }
}

void PlayMusic() {
    FMUSIC_PlaySong(SongHandle);
}

void StopMusic() {
    FMUSIC_FreeSong(SongHandle);
    SongHandle = nullptr; // released: nobody may use the handle again
    FSOUND_Close();
}

// Runs on the playback thread.
void OnOrderChange(FMUSIC_MODULE* module, unsigned char) {
    CurrentOrder.store(FMUSIC_GetOrder(module), std::memory_order_relaxed);
}

const char* MusicErrorText(int code) {
    const unsigned index = static_cast<unsigned>(code);
    return index < ErrorTexts.size() ? ErrorTexts[index] : "Unknown error";
}

// The greeting's binding to the sound library: start-up, playback, the order
// callback that keeps CurrentOrder fresh, shutdown, and the error texts.
#pragma once

#include "music/SoundLib.h"

#include <atomic>
#include <cstdint>

// The rate the music is mixed at, in stereo frames a second, whether played
// or rendered offline.
inline constexpr int MixRate = 44100;

// The module's current order. Written by the playback thread's order callback
// and by the frame loop once per frame; read by the timeline several times a
// frame. Every access is one whole 32-bit load or store.
extern std::atomic<int32_t> CurrentOrder;
// The loaded module; null until LoadMusic or InitMusic has loaded it.
extern FMUSIC_MODULE* SongHandle;

// Checks the library, starts the sound system, loads the module and installs
// the order callback. False, after SetError, when any of it fails; nothing is
// left started then.
bool LoadMusic(const char* path);
// The greeting's start-up of the same: returns only on success. On failure it
// prints the library's message on standard output (after the file and the
// reason on standard error, when the module could not be loaded) and ends
// the process with status 1.
void InitMusic(const char* path);
void PlayMusic();
void StopMusic();
void OnOrderChange(FMUSIC_MODULE* module, unsigned char param);
const char* MusicErrorText(int code);

#include "music/Music.h"

std::atomic<int32_t> CurrentOrder{0};
FMUSIC_MODULE* SongHandle = nullptr;

void InitMusic(const char*) {}
void PlayMusic() {}
void StopMusic() {}
void OnOrderChange(FMUSIC_MODULE*, unsigned char) {}
const char* MusicErrorText(int) { return "Unknown error"; }

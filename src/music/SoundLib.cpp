// Placeholder until the libopenmpt layer lands: everything fails politely.
#include "music/SoundLib.h"

float FSOUND_GetVersion() { return 3.5f; }
signed char FSOUND_SetOutput(int) { return 1; }
signed char FSOUND_Init(int, int, unsigned int) { return 0; }
int FSOUND_GetError() { return FMOD_ERR_INIT; }
void FSOUND_Close() {}
FMUSIC_MODULE* FMUSIC_LoadSong(const char*) { return nullptr; }
signed char FMUSIC_SetOrderCallback(FMUSIC_MODULE*, FMUSIC_CALLBACK, int) { return 0; }
signed char FMUSIC_PlaySong(FMUSIC_MODULE*) { return 0; }
int FMUSIC_GetOrder(FMUSIC_MODULE*) { return 0; }
int FMUSIC_GetRow(FMUSIC_MODULE*) { return 0; }
signed char FMUSIC_IsFinished(FMUSIC_MODULE*) { return 1; }
signed char FMUSIC_FreeSong(FMUSIC_MODULE*) { return 0; }
int FMUSIC_Render(FMUSIC_MODULE*, int16_t*, int) { return 0; }
void FMUSIC_SetPosition(FMUSIC_MODULE*, int, int) {}

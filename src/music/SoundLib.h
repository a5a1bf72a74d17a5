// Our own small sound library with the FSOUND/FMUSIC interface the greeting
// was written against: libopenmpt decodes the module, SDL audio plays it, and
// SDL's audio thread is the playback thread that runs the order callback.
#pragma once

#include <cstddef>
#include <cstdint>

struct FMUSIC_MODULE; // opaque handle of a loaded module

using FMUSIC_CALLBACK = void (*)(FMUSIC_MODULE* mod, unsigned char param);

// Error codes, as FSOUND_GetError reports them.
enum FMOD_ERRORS {
    FMOD_ERR_NONE,
    FMOD_ERR_BUSY,
    FMOD_ERR_UNINITIALIZED,
    FMOD_ERR_INIT,
    FMOD_ERR_ALLOCATED,
    FMOD_ERR_PLAY,
    FMOD_ERR_OUTPUT_FORMAT,
    FMOD_ERR_COOPERATIVELEVEL,
    FMOD_ERR_CREATEBUFFER,
    FMOD_ERR_FILE_NOTFOUND,
    FMOD_ERR_FILE_FORMAT,
    FMOD_ERR_FILE_BAD,
    FMOD_ERR_MEMORY,
    FMOD_ERR_VERSION,
    FMOD_ERR_INVALID_PARAM,
    FMOD_ERR_NO_EAX,
    FMOD_ERR_CHANNEL_ALLOC,
    FMOD_ERR_RECORD,
    FMOD_ERR_MEDIAPLAYER,
};

// Output types for FSOUND_SetOutput. With FSOUND_OUTPUT_NOSOUND no audio
// device is opened and the caller renders the music itself (FMUSIC_Render).
enum FSOUND_OUTPUTTYPES {
    FSOUND_OUTPUT_NOSOUND = 0,
    FSOUND_OUTPUT_SDL = 1, // the default
};

// The largest module file FMUSIC_LoadSong reads; a longer one is refused.
inline constexpr size_t ModuleSizeLimit = 8 << 20;

float FSOUND_GetVersion();
signed char FSOUND_SetOutput(int outputtype); // before FSOUND_Init
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
int FSOUND_GetError();
void FSOUND_Close();

// Loads a whole MOD, S3M, XM or IT module from a regular file. A file cut
// short, or one with nothing to play, is FMOD_ERR_FILE_BAD. Besides the code,
// a failure records its reason with SetError (common/Error.h).
FMUSIC_MODULE* FMUSIC_LoadSong(const char* name);
signed char FMUSIC_SetOrderCallback(FMUSIC_MODULE* mod, FMUSIC_CALLBACK callback, int orderstep);
signed char FMUSIC_PlaySong(FMUSIC_MODULE* mod);
int FMUSIC_GetOrder(FMUSIC_MODULE* mod);
int FMUSIC_GetRow(FMUSIC_MODULE* mod);
signed char FMUSIC_IsFinished(FMUSIC_MODULE* mod); // true once a played song has ended
signed char FMUSIC_FreeSong(FMUSIC_MODULE* mod);

// Extensions for offline use (capture, tests), on a song loaded with
// FSOUND_OUTPUT_NOSOUND:
// Renders up to `frames` interleaved stereo 16-bit frames at the mixing rate on
// the calling thread, moving the reported position and running the order
// callback exactly as playback does. Returns the frames rendered: fewer than
// asked once the song ends, 0 after.
int FMUSIC_Render(FMUSIC_MODULE* mod, int16_t* out, int frames);
// Sets the reported position (order and row) without playing; the decoder
// follows when the position exists in the module.
void FMUSIC_SetPosition(FMUSIC_MODULE* mod, int order, int row);
// The rows of the pattern at `order`; -1 when the song has no such order.
int FMUSIC_GetPatternLength(FMUSIC_MODULE* mod, int orderno);
// The seconds from the song's start until it first reaches `order`, or its
// whole length when it ends before; -1 without a song. Leaves the song at its
// start, as FMUSIC_PlaySong does: for use before rendering.
double FMUSIC_GetTimeToOrder(FMUSIC_MODULE* mod, int order);

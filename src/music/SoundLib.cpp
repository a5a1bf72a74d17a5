// The sound library over libopenmpt and SDL audio.
//
// Threads: the main thread loads, starts, seeks and frees songs; SDL's audio
// thread renders the playing song and runs its order callback. Everything a
// decoder touches is guarded by DecoderLock, which the audio callback holds
// while it renders, so freeing a song waits for the chunk in progress. The
// reported position is one 64-bit atomic (order and row together), stored
// after every chunk of at most ChunkFrames frames, so the main thread reads
// it without a lock and never sees an order of one chunk with the row of
// another. Order callbacks run with DecoderLock held: they may read the
// position (FMUSIC_GetOrder, FMUSIC_GetRow, FMUSIC_IsFinished) but must not
// render, seek or free.
#include "music/SoundLib.h"

#include "common/Error.h"
#include "music/ModuleLoad.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

struct FMUSIC_MODULE {
    openmpt_module* decoder = nullptr;
    // (order << 32) | row, both as 32-bit two's complement.
    std::atomic<uint64_t> position{0};
    std::atomic<bool> finished{false};
    // Guarded by DecoderLock:
    FMUSIC_CALLBACK orderCallback = nullptr;
    int orderStep = 1;
    int32_t lastOrder = 0; // the order the callback last saw
    bool ended = false;    // the decoder has nothing more to give
};

namespace {

constexpr float InterfaceVersion = 3.5f;
constexpr int ChunkFrames = 256;     // the position moves on after every chunk
constexpr Uint16 DeviceFrames = 512; // about 11.6 ms at 44100 Hz

std::atomic<int> LastError{FMOD_ERR_NONE};
// Main thread only.
int OutputType = FSOUND_OUTPUT_SDL;
bool Initialized = false;
bool DeviceOpen = false;
int MixRate = 44100;

std::mutex DecoderLock;
FMUSIC_MODULE* PlayingSong = nullptr; // the song the audio thread renders; guarded by DecoderLock

signed char LibraryError(int code) {
    LastError.store(code, std::memory_order_relaxed);
    return 0;
}

uint64_t PackPosition(int32_t order, int32_t row) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(order)) << 32) | static_cast<uint32_t>(row);
}
int32_t UnpackOrder(uint64_t p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p >> 32));
}
int32_t UnpackRow(uint64_t p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p));
}

// Renders up to `frames` frames of `song` into `out` in chunks, moving the
// reported position and running the order callback after each chunk. Caller
// holds DecoderLock. Returns the frames rendered.
int RenderLocked(FMUSIC_MODULE* song, int16_t* out, int frames) {
    int done = 0;
    while (done < frames && !song->ended) {
        const int want = std::min(ChunkFrames, frames - done);
        const int got = static_cast<int>(openmpt_module_read_interleaved_stereo(
            song->decoder, MixRate, static_cast<size_t>(want), out + 2 * done));
        done += got;
        if (got < want) {
            // The decoder has reset its position by now: keep the last one
            // reported while the song still played.
            song->ended = true;
            song->finished.store(true, std::memory_order_release);
            break;
        }
        const int32_t order = openmpt_module_get_current_order(song->decoder);
        const int32_t row = openmpt_module_get_current_row(song->decoder);
        song->position.store(PackPosition(order, row), std::memory_order_release);
        if (order != song->lastOrder) {
            song->lastOrder = order;
            if (song->orderCallback && order % song->orderStep == 0)
                song->orderCallback(song, static_cast<unsigned char>(order));
        }
    }
    return done;
}

// SDL's audio thread: silence unless a song plays.
void AudioCallback(void*, Uint8* stream, int length) {
    std::memset(stream, 0, static_cast<size_t>(length));
    std::lock_guard<std::mutex> lock(DecoderLock);
    if (PlayingSong) RenderLocked(PlayingSong, reinterpret_cast<int16_t*>(stream), length / 4);
}

void StopIfPlaying(FMUSIC_MODULE* song) {
    std::lock_guard<std::mutex> lock(DecoderLock);
    if (song == nullptr || PlayingSong == song) PlayingSong = nullptr;
}

// A process that ends with the device open (a start-up failure calls exit
// right away) must stop the audio thread first: the audio library is
// unloaded at exit, under the feet of a thread still running in it.
void CloseDeviceAtExit() {
    if (DeviceOpen) {
        SDL_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        DeviceOpen = false;
    }
}

// The rows of the pattern at `order`; -1 when there is no such order.
int32_t PatternRows(openmpt_module* decoder, int32_t order) {
    if (order < 0 || order >= openmpt_module_get_num_orders(decoder)) return -1;
    const int32_t pattern = openmpt_module_get_order_pattern(decoder, order);
    if (pattern < 0 || pattern >= openmpt_module_get_num_patterns(decoder)) return -1;
    return openmpt_module_get_pattern_num_rows(decoder, pattern);
}

} // namespace

float FSOUND_GetVersion() {
    return InterfaceVersion;
}

signed char FSOUND_SetOutput(int outputtype) {
    if (Initialized) return LibraryError(FMOD_ERR_BUSY);
    if (outputtype != FSOUND_OUTPUT_NOSOUND && outputtype != FSOUND_OUTPUT_SDL)
        return LibraryError(FMOD_ERR_INVALID_PARAM);
    OutputType = outputtype;
    return 1;
}

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int) {
    if (Initialized) return LibraryError(FMOD_ERR_BUSY);
    if (mixrate < 4000 || mixrate > 192000 || maxsoftwarechannels < 0)
        return LibraryError(FMOD_ERR_INVALID_PARAM);
    MixRate = mixrate;
    if (OutputType == FSOUND_OUTPUT_SDL) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return LibraryError(FMOD_ERR_INIT);
        SDL_AudioSpec want{};
        want.freq = mixrate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = DeviceFrames;
        want.callback = AudioCallback;
        // No obtained spec: SDL converts to the device's format for us.
        if (SDL_OpenAudio(&want, nullptr) != 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return LibraryError(FMOD_ERR_INIT);
        }
        DeviceOpen = true;
        static const bool closesAtExit = std::atexit(CloseDeviceAtExit) == 0;
        (void)closesAtExit;
        SDL_PauseAudio(0); // silence until a song plays
    }
    Initialized = true;
    LastError.store(FMOD_ERR_NONE, std::memory_order_relaxed);
    return 1;
}

int FSOUND_GetError() {
    return LastError.load(std::memory_order_relaxed);
}

void FSOUND_Close() {
    StopIfPlaying(nullptr);
    if (DeviceOpen) {
        SDL_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        DeviceOpen = false;
    }
    Initialized = false;
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name) {
    if (!Initialized) {
        SetError("the sound system is not started");
        LibraryError(FMOD_ERR_UNINITIALIZED);
        return nullptr;
    }
    if (!name) {
        SetError("no music file named");
        LibraryError(FMOD_ERR_INVALID_PARAM);
        return nullptr;
    }
    int code = FMOD_ERR_NONE;
    openmpt_module* decoder = OpenModule(name, code);
    if (!decoder) {
        LibraryError(code);
        return nullptr;
    }
    FMUSIC_MODULE* song = new (std::nothrow) FMUSIC_MODULE;
    if (!song) {
        openmpt_module_destroy(decoder);
        SetError("music \"%s\" cannot be loaded: out of memory", name);
        LibraryError(FMOD_ERR_MEMORY);
        return nullptr;
    }
    song->decoder = decoder;
    return song;
}

signed char FMUSIC_SetOrderCallback(FMUSIC_MODULE* mod, FMUSIC_CALLBACK callback, int orderstep) {
    if (!mod || orderstep < 1) return LibraryError(FMOD_ERR_INVALID_PARAM);
    std::lock_guard<std::mutex> lock(DecoderLock);
    mod->orderCallback = callback;
    mod->orderStep = orderstep;
    return 1;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* mod) {
    if (!mod) return LibraryError(FMOD_ERR_INVALID_PARAM);
    if (!Initialized) return LibraryError(FMOD_ERR_UNINITIALIZED);
    std::lock_guard<std::mutex> lock(DecoderLock);
    openmpt_module_set_position_order_row(mod->decoder, 0, 0);
    mod->position.store(PackPosition(0, 0), std::memory_order_release);
    mod->finished.store(false, std::memory_order_release);
    mod->lastOrder = 0;
    mod->ended = false;
    if (DeviceOpen) PlayingSong = mod;
    return 1;
}

int FMUSIC_GetOrder(FMUSIC_MODULE* mod) {
    return mod ? UnpackOrder(mod->position.load(std::memory_order_acquire)) : -1;
}

int FMUSIC_GetRow(FMUSIC_MODULE* mod) {
    return mod ? UnpackRow(mod->position.load(std::memory_order_acquire)) : -1;
}

signed char FMUSIC_IsFinished(FMUSIC_MODULE* mod) {
    return mod && mod->finished.load(std::memory_order_acquire) ? 1 : 0;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* mod) {
    if (!mod) return LibraryError(FMOD_ERR_INVALID_PARAM);
    // Once PlayingSong no longer names it, the audio thread cannot reach it.
    StopIfPlaying(mod);
    openmpt_module_destroy(mod->decoder);
    delete mod;
    return 1;
}

int FMUSIC_Render(FMUSIC_MODULE* mod, int16_t* out, int frames) {
    if (!mod || !out || frames <= 0) return 0;
    std::lock_guard<std::mutex> lock(DecoderLock);
    if (PlayingSong == mod) return 0; // the audio thread is playing it
    // Offline renders repeat exactly: no random dither on the 16-bit output.
    openmpt_module_ctl_set_integer(mod->decoder, "dither", 0);
    return RenderLocked(mod, out, frames);
}

void FMUSIC_SetPosition(FMUSIC_MODULE* mod, int order, int row) {
    if (!mod) return;
    std::lock_guard<std::mutex> lock(DecoderLock);
    mod->position.store(PackPosition(order, row), std::memory_order_release);
    mod->lastOrder = order;
    if (row < 0 || row >= PatternRows(mod->decoder, order)) return;
    openmpt_module_set_position_order_row(mod->decoder, order, row);
    mod->ended = false;
    mod->finished.store(false, std::memory_order_release);
}

int FMUSIC_GetPatternLength(FMUSIC_MODULE* mod, int orderno) {
    if (!mod) return -1;
    std::lock_guard<std::mutex> lock(DecoderLock);
    return PatternRows(mod->decoder, orderno);
}

double FMUSIC_GetTimeToOrder(FMUSIC_MODULE* mod, int order) {
    if (!mod) return -1;
    std::lock_guard<std::mutex> lock(DecoderLock);
    double seconds = openmpt_module_get_duration_seconds(mod->decoder);
    if (PatternRows(mod->decoder, order) > 0)
        seconds = std::min(seconds, openmpt_module_set_position_order_row(mod->decoder, order, 0));
    openmpt_module_set_position_order_row(mod->decoder, 0, 0);
    mod->position.store(PackPosition(0, 0), std::memory_order_release);
    mod->lastOrder = 0;
    mod->ended = false;
    mod->finished.store(false, std::memory_order_release);
    return seconds;
}

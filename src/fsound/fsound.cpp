#include "fsound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace quarrix::fsound {

namespace {

// Samples per mixing buffer: about 46 ms at 44100 Hz, short enough for a stop
// to be heard at once, long enough not to stutter on a busy desktop.
constexpr int kMixBufferSamples = 2048;

struct Library {
    bool started = false;
    std::int32_t lastError = kErrNone;
    std::int32_t nextHandle = 1;
    std::map<std::int32_t, Mix_Music*> streams;
    std::int32_t onMusicTrack = 0;  // the stream last started on the track, 0 for none
    int starts = 0;
    int shutdowns = 0;
};

Library& library()
{
    static Library state;
    return state;
}

template <typename Result>
Result fail(std::int32_t code, Result result)
{
    library().lastError = code;
    return result;
}

// The stream handed to Mix_PlayMusic last is still being heard (it may have
// ended on its own since).
bool isPlaying(std::int32_t stream)
{
    const Library& lib = library();
    return lib.started && stream != 0 && lib.onMusicTrack == stream && Mix_PlayingMusic() != 0;
}

Mix_Music* findStream(std::int32_t stream)
{
    const auto found = library().streams.find(stream);
    return found == library().streams.end() ? nullptr : found->second;
}

// Tells a missing file from one that is there but cannot be read, which the
// mixer's own loader does not.
std::int32_t whyUnreadable(const char* filename)
{
    std::error_code error;
    const std::filesystem::path path(filename);
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return kErrFileNotFound;
    if (std::filesystem::is_directory(status) || !std::ifstream(path, std::ios::binary))
        return kErrFileUnreadable;
    return kErrNone;
}

}  // namespace

int FSOUND_Init(std::int32_t mixrate, std::int32_t maxsoftwarechannels, std::uint32_t flags)
{
    Library& lib = library();
    if (lib.started)
        return fail(kErrAlreadyStarted, 0);
    if (mixrate < 8000 || mixrate > 192000 || maxsoftwarechannels < 1 || flags != 0)
        return fail(kErrInvalidParameter, 0);
    // Ctrl+C and the desktop's end signal belong to the program, not to SDL's
    // event queue that nobody reads here.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return fail(kErrOutputDevice, 0);
    if (Mix_OpenAudio(mixrate, MIX_DEFAULT_FORMAT, 2, kMixBufferSamples) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return fail(kErrOutputDevice, 0);
    }
    lib.started = true;
    ++lib.starts;
    return 1;
}

std::int32_t FSOUND_GetError()
{
    return library().lastError;
}

std::int32_t FSOUND_Stream_OpenFile(const char* filename, std::uint32_t mode, std::int32_t length)
{
    Library& lib = library();
    if (!lib.started)
        return fail(kErrNotStarted, 0);
    if (!filename || (mode != 0 && mode != FSOUND_2D) || length != 0)
        return fail(kErrInvalidParameter, 0);
    if (const std::int32_t reason = whyUnreadable(filename); reason != kErrNone)
        return fail(reason, 0);
    Mix_Music* music = Mix_LoadMUS(filename);
    if (!music)
        return fail(kErrUnknownFormat, 0);
    const std::int32_t handle = lib.nextHandle++;
    lib.streams.emplace(handle, music);
    return handle;
}

std::int32_t FSOUND_Stream_Play(std::int32_t channel, std::int32_t stream)
{
    Library& lib = library();
    if (!lib.started)
        return fail(kErrNotStarted, -1);
    Mix_Music* music = findStream(stream);
    if (!music || (channel != FSOUND_FREE && channel != kMusicChannel))
        return fail(kErrInvalidParameter, -1);
    if (Mix_PlayingMusic() != 0)
        return fail(kErrChannelBusy, -1);
    if (Mix_PlayMusic(music, 0) != 0)
        return fail(kErrPlay, -1);
    lib.onMusicTrack = stream;
    return kMusicChannel;
}

int FSOUND_Stream_Stop(std::int32_t stream)
{
    Library& lib = library();
    if (!lib.started)
        return fail(kErrNotStarted, 0);
    if (!findStream(stream))
        return fail(kErrInvalidParameter, 0);
    if (!isPlaying(stream))
        return 0;
    Mix_HaltMusic();
    lib.onMusicTrack = 0;
    return 1;
}

int FSOUND_Stream_Close(std::int32_t stream)
{
    Library& lib = library();
    if (!lib.started)
        return fail(kErrNotStarted, 0);
    Mix_Music* music = findStream(stream);
    if (!music)
        return fail(kErrInvalidParameter, 0);
    if (lib.onMusicTrack == stream) {
        Mix_HaltMusic();
        lib.onMusicTrack = 0;
    }
    Mix_FreeMusic(music);
    lib.streams.erase(stream);
    return 1;
}

void FSOUND_Close()
{
    Library& lib = library();
    if (!lib.started)
        return;
    Mix_HaltMusic();
    for (const auto& [handle, music] : lib.streams)
        Mix_FreeMusic(music);
    lib.streams.clear();
    lib.onMusicTrack = 0;
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    lib.started = false;
    ++lib.shutdowns;
}

Activity CurrentActivity()
{
    const Library& lib = library();
    return {lib.started, static_cast<int>(lib.streams.size()), isPlaying(lib.onMusicTrack), lib.starts,
            lib.shutdowns};
}

}  // namespace quarrix::fsound

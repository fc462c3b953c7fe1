// The sound library's calls, as the About window makes them: start the
// library, stream one music file, stop it, shut the library down. Built over
// SDL2_mixer, whose music track streams a file from disk while it plays.
//
// Every call runs on the caller's thread (the window thread); the music itself
// is mixed on SDL's audio thread. A call that fails leaves its error code for
// FSOUND_GetError; FMod turns the codes into texts.
#pragma once

#include <cstdint>

namespace quarrix::fsound {

// Error codes reported by FSOUND_GetError.
enum FsoundError : std::int32_t {
    kErrNone = 0,
    kErrAlreadyStarted = 1,  // FSOUND_Init while the library runs
    kErrNotStarted = 2,      // a stream call before FSOUND_Init
    kErrOutputDevice = 3,    // no sound device could be opened
    kErrPlay = 5,            // the mixer refused to play the stream
    kErrFileNotFound = 9,
    kErrUnknownFormat = 10,     // the file is there but is no music the mixer decodes
    kErrFileUnreadable = 11,    // the file is there but cannot be read (a folder, no access)
    kErrInvalidParameter = 14,  // a value outside what the calls below accept, an unknown stream
    kErrChannelBusy = 17,       // another stream already plays on the music track
};

// Stream mode: the sound is played flat, without placement in space. It is the
// only mode the music track has, and the only one FSOUND_Stream_OpenFile takes.
inline constexpr std::uint32_t FSOUND_2D = 0x2000;

// Channel argument of FSOUND_Stream_Play: any free channel.
inline constexpr std::int32_t FSOUND_FREE = -1;

// The channel number of the music track. It is never 0, which callers keep
// for "not playing".
inline constexpr std::int32_t kMusicChannel = 1;

// Opens the sound device: `mixrate` samples per second (8000 to 192000),
// `maxsoftwarechannels` at least 1, `flags` 0. Returns non-zero on success
// and 0 on failure (no sound device, already started, bad values).
int FSOUND_Init(std::int32_t mixrate, std::int32_t maxsoftwarechannels, std::uint32_t flags);

// The code of the last failure; kErrNone while nothing has failed.
std::int32_t FSOUND_GetError();

// Opens the music file `filename` (UTF-8) for streaming. `mode` is FSOUND_2D
// (or 0, which means the same) and `length` 0 (the whole file). Returns a
// stream handle, never 0, or 0 on failure.
std::int32_t FSOUND_Stream_OpenFile(const char* filename, std::uint32_t mode, std::int32_t length);

// Plays `stream` once from its start on `channel` (FSOUND_FREE or
// kMusicChannel). Returns the channel it plays on, or -1 on failure.
std::int32_t FSOUND_Stream_Play(std::int32_t channel, std::int32_t stream);

// Stops `stream` if it plays. Returns non-zero when it was playing.
int FSOUND_Stream_Stop(std::int32_t stream);

// Stops and closes `stream`; its handle is no longer valid. Returns non-zero
// when the handle named an open stream.
int FSOUND_Stream_Close(std::int32_t stream);

// Closes every stream still open and the sound device. Does nothing when the
// library is not started.
void FSOUND_Close();

// What the library is doing, for callers that check that every start has its
// shut-down (the tests count them).
struct Activity {
    bool started = false;
    int openStreams = 0;
    bool playing = false;
    int starts = 0;     // successful FSOUND_Init calls since the program began
    int shutdowns = 0;  // FSOUND_Close calls that closed a started library
};
Activity CurrentActivity();

}  // namespace quarrix::fsound

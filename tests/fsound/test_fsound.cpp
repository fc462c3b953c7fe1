// The sound-library contract: the program's tune streams and stops, a shut-down
// closes what is still open, and each way a call can fail leaves its own code.
#include "fsound/fsound.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

using namespace quarrix::fsound;

const std::string kTune = QUARRIX_ASSETS_DIR "/About.mp3";

std::int32_t openTune()
{
    return FSOUND_Stream_OpenFile(kTune.c_str(), FSOUND_2D, 0);
}

TEST(Fsound, TheTuneStreamsUntilStoppedAndAShutDownClosesWhatIsLeftOpen)
{
    const Activity before = CurrentActivity();
    ASSERT_NE(FSOUND_Init(44100, 32, 0), 0);
    const std::int32_t first = openTune();
    const std::int32_t second = openTune();
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, first), kMusicChannel);
    EXPECT_TRUE(CurrentActivity().playing);
    EXPECT_NE(FSOUND_Stream_Stop(first), 0);
    EXPECT_FALSE(CurrentActivity().playing);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, second), kMusicChannel);
    EXPECT_NE(FSOUND_Stream_Close(first), 0);
    EXPECT_TRUE(CurrentActivity().playing);  // closing one stream leaves the other playing

    FSOUND_Close();
    const Activity after = CurrentActivity();
    EXPECT_FALSE(after.started);
    EXPECT_FALSE(after.playing);
    EXPECT_EQ(after.openStreams, 0);
    EXPECT_EQ(after.starts, before.starts + 1);
    EXPECT_EQ(after.shutdowns, before.shutdowns + 1);
}

TEST(Fsound, EachFailureLeavesItsCode)
{
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "quarrix-fsound-test";
    std::filesystem::create_directories(scratch / "folder.mp3");
    std::ofstream(scratch / "notes.mp3") << "not music at all\n";
    const std::string folder = (scratch / "folder.mp3").string();
    const std::string notes = (scratch / "notes.mp3").string();
    const std::string missing = (scratch / "missing.mp3").string();

    const struct {
        const char* what;
        bool started;
        std::int32_t code;
        std::function<bool()> fails;  // runs the call, true when it reported failure
    } cases[] = {
        {"open before the start", false, kErrNotStarted, [] { return openTune() == 0; }},
        {"a second start", true, kErrAlreadyStarted, [] { return FSOUND_Init(44100, 32, 0) == 0; }},
        {"a mixing rate of 0", false, kErrInvalidParameter, [] { return FSOUND_Init(0, 32, 0) == 0; }},
        {"no sound device", false, kErrOutputDevice, [] {
             setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
             const bool failed = FSOUND_Init(44100, 32, 0) == 0;
             setenv("SDL_AUDIODRIVER", "dummy", 1);
             return failed;
         }},
        {"a missing file", true, kErrFileNotFound,
         [&] { return FSOUND_Stream_OpenFile(missing.c_str(), FSOUND_2D, 0) == 0; }},
        {"a folder", true, kErrFileUnreadable,
         [&] { return FSOUND_Stream_OpenFile(folder.c_str(), FSOUND_2D, 0) == 0; }},
        {"a text file", true, kErrUnknownFormat,
         [&] { return FSOUND_Stream_OpenFile(notes.c_str(), FSOUND_2D, 0) == 0; }},
        {"an unknown mode", true, kErrInvalidParameter,
         [] { return FSOUND_Stream_OpenFile(kTune.c_str(), 0x10, 0) == 0; }},
        {"playing an unknown stream", true, kErrInvalidParameter,
         [] { return FSOUND_Stream_Play(FSOUND_FREE, 4711) == -1; }},
        {"playing while another plays", true, kErrChannelBusy, [] {
             FSOUND_Stream_Play(FSOUND_FREE, openTune());
             return FSOUND_Stream_Play(FSOUND_FREE, openTune()) == -1;
         }},
        {"closing an unknown stream", true, kErrInvalidParameter,
         [] { return FSOUND_Stream_Close(4711) == 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.started) {
            ASSERT_NE(FSOUND_Init(44100, 32, 0), 0);
        }
        EXPECT_TRUE(c.fails());
        EXPECT_EQ(FSOUND_GetError(), c.code);
        FSOUND_Close();
    }
    std::filesystem::remove_all(scratch);
}

}  // namespace

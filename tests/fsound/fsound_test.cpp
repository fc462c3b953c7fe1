// The sound-library contract: each failure leaves its own code, and a
// shut-down closes whatever was left open. (The About window's tests play the
// tune, and cover a missing sound device and a missing file.)
#include "fsound/fsound.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using namespace quarrix::fsound;

const std::filesystem::path kTune = QUARRIX_ASSETS_DIR "/About.mp3";

std::int32_t open(const std::filesystem::path& file)
{
    return FSOUND_Stream_OpenFile(file.c_str(), FSOUND_2D, 0);
}

TEST(Fsound, EachFailureLeavesItsCode)
{
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "quarrix-fsound";
    std::filesystem::create_directories(scratch / "folder.mp3");
    std::ofstream(scratch / "notes.mp3") << "not music\n";
    const struct {
        const char* what;
        bool started;
        std::int32_t code;
        std::function<bool()> fails;  // makes the call; true when it reported failure
    } cases[] = {
        {"open before the start", false, kErrNotStarted, [] { return open(kTune) == 0; }},
        {"a second start", true, kErrAlreadyStarted, [] { return !FSOUND_Init(44100, 32, 0); }},
        {"a folder", true, kErrFileUnreadable, [&] { return open(scratch / "folder.mp3") == 0; }},
        {"a text file", true, kErrUnknownFormat, [&] { return open(scratch / "notes.mp3") == 0; }},
        {"an unknown stream", true, kErrInvalidParameter,
         [] { return FSOUND_Stream_Play(FSOUND_FREE, 4711) == -1; }},
        {"the track already playing", true, kErrChannelBusy,
         [] {
             FSOUND_Stream_Play(FSOUND_FREE, open(kTune));
             return FSOUND_Stream_Play(FSOUND_FREE, open(kTune)) == -1;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(!c.started || FSOUND_Init(44100, 32, 0));
        EXPECT_TRUE(c.fails());
        EXPECT_EQ(FSOUND_GetError(), c.code);
        FSOUND_Close();  // also closes the streams left open
        const Activity after = CurrentActivity();
        EXPECT_FALSE(after.started || after.playing || after.openStreams != 0);
    }
    std::filesystem::remove_all(scratch);
}

}  // namespace

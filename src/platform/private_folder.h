// A folder of the program's own inside another one, for work that must not
// mix with what is already there (the command line's consolidated dump
// extracts into one beside the archive it will write). It is removed with
// everything in it when the object goes; a process killed meanwhile cannot
// do that, so its folder stays locked by nobody, and the next
// SweepAbandonedPrivateFolders in that place removes it.
#pragma once

#include "platform/beneath.h"

#include <filesystem>
#include <system_error>

namespace quarrix::platform {

class PrivateFolder {
public:
    // Makes ".quarrix-dump-XXXXXX" in parent and holds a lock on it.
    PrivateFolder(const std::filesystem::path& parent, std::error_code& error);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    UniqueFd lock_;
};

// Removes the private folders in parent that no living process holds.
void SweepAbandonedPrivateFolders(const std::filesystem::path& parent);

}  // namespace quarrix::platform

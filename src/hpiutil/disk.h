// Where the contract's texts meet the disk: Windows-1252 paths with either
// separator become UTF-8 paths, and extracted files appear all at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include <hpi/hpi.h>

namespace hpiutil {

// A disk path as the caller gives it (Windows-1252, "\" or "/") as a path
// this system can open (UTF-8, "/").
std::filesystem::path disk_path_from_text(const char* text);

// The other way, for texts handed back to the caller; characters that
// Windows-1252 cannot hold become '?'.
std::string text_from_disk_path(const std::filesystem::path& path);

// Writes entries()[index] of archive to destination: missing folders are
// made, the content goes to a temporary file in the destination's folder and
// is renamed over the destination only when the whole entry was read and
// checked. On failure nothing is left behind and an existing destination is
// untouched.
hpi::Error extract_atomically(const hpi::Archive& archive, std::size_t index,
                              const std::filesystem::path& destination);

}  // namespace hpiutil

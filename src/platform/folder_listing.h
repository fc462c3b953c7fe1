// The entries of one folder, read in one go and closed on every path: for
// code that walks a tree on its own terms (the packing walk, the dump's view
// of its target) rather than through FindFirstFileA's record.
#pragma once

#include "platform/find_file.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace quarrix::platform {

struct FolderEntry {
    enum class Kind { File, Folder, Other, Nothing };
    std::string name;  // as the disk has it, valid UTF-8 or not
    bool isLink = false;
    Kind kind = Kind::Nothing;  // what it names, links followed; Nothing: a link to nowhere, or gone
    FileIdentity identity;      // of what it names
    std::uint64_t size = 0;
};

// Every entry of `folder` but "." and "..", in the order the disk lists them,
// each looked at with links followed. `self` receives the folder's own
// identity. False with `error` when the folder cannot be listed.
bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries, FileIdentity& self,
                std::error_code& error);

// The names in the folder open as folderFd, but "." and ".." (the descriptor
// stays the caller's). False with `error` when it cannot be listed.
bool ListFolderNames(int folderFd, std::vector<std::string>& names, std::error_code& error);

// The identity of what `path` names, links followed; nothing when it names nothing.
bool IdentityOf(const std::filesystem::path& path, FileIdentity& identity);

}  // namespace quarrix::platform

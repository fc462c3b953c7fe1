// The folder a dump writes into, as the dump has seen it so far.
//
// Archives come from a system where names are compared without regard to
// case, so "UNITS\a.fbi" and "units\A.FBI" name one file. Each folder and
// file an entry names therefore goes to the one already on disk whose name
// differs only in ASCII case, when there is one (FolderNames). Every folder
// is read from disk at most once per dump; what the dump makes itself is
// noted as it goes.
//
// Folders are made and opened one level at a time below the root without
// following links, so a link inside the destination never leads out of it.
#pragma once

#include "folder_names.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace quarrix::dump {

class DestinationTree {
public:
    explicit DestinationTree(std::filesystem::path root);

    const std::filesystem::path& Root() const { return root_; }

    // Makes the folders `components` names below the root, each level going
    // to an existing folder of the same name in any case. On failure returns
    // false with `error`.
    bool MakeFolders(const std::vector<std::string>& components, std::error_code& error);

    // The names on disk for a file entry: its folders and its own name each
    // go to an existing one of the same name in any case.
    std::vector<std::string> ResolveFile(const std::vector<std::string>& components);

    // Notes a file the dump has written (names as ResolveFile gave them).
    void NoteFile(const std::vector<std::string>& onDisk);

    // Root, then the names, joined with the native separator.
    std::filesystem::path DiskPath(const std::vector<std::string>& onDisk) const;

private:
    using Folder = FolderNames;

    // The folder whose path below the root is onDisk[0, depth), read from
    // disk on first use (a folder that cannot be read counts as empty).
    Folder& FolderAt(const std::vector<std::string>& onDisk, std::size_t depth);
    void ReadFolder(const std::vector<std::string>& onDisk, std::size_t depth, Folder& folder) const;
    static std::string Key(const std::vector<std::string>& onDisk, std::size_t depth);

    std::filesystem::path root_;
    std::unordered_map<std::string, Folder> folders_;  // by path below the root, "/"-joined
};

}  // namespace quarrix::dump

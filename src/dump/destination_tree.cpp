#include "destination_tree.h"

#include "platform/beneath.h"
#include "platform/folder_listing.h"

#include <utility>

namespace quarrix::dump {

DestinationTree::DestinationTree(std::filesystem::path root) : root_(std::move(root)) {}

std::string DestinationTree::Key(const std::vector<std::string>& onDisk, std::size_t depth)
{
    std::string key;
    for (std::size_t i = 0; i < depth; ++i) {
        key += onDisk[i];
        key += '/';
    }
    return key;
}

DestinationTree::Folder& DestinationTree::FolderAt(const std::vector<std::string>& onDisk, std::size_t depth)
{
    auto [it, added] = folders_.try_emplace(Key(onDisk, depth));
    if (added)
        ReadFolder(onDisk, depth, it->second);
    return it->second;
}

void DestinationTree::ReadFolder(const std::vector<std::string>& onDisk, std::size_t depth,
                                 Folder& folder) const
{
    std::error_code error;
    const std::vector<std::string> path(onDisk.begin(), onDisk.begin() + std::ptrdiff_t(depth));
    platform::UniqueFd opened = platform::OpenFolderBeneath(root_, path, false, error);
    if (error)
        return;
    std::vector<std::string> names;
    if (!platform::ListFolderNames(opened.get(), names, error))
        return;
    for (const std::string& name : names)
        folder.Add(name);
}

bool DestinationTree::MakeFolders(const std::vector<std::string>& components, std::error_code& error)
{
    std::vector<std::string> onDisk;
    std::vector<bool> isNew;
    for (std::size_t depth = 0; depth < components.size(); ++depth) {
        const Folder& parent = FolderAt(onDisk, depth);
        onDisk.push_back(parent.Match(components[depth]));
        isNew.push_back(!parent.Contains(onDisk.back()));
    }
    platform::OpenFolderBeneath(root_, onDisk, true, error);
    if (error)
        return false;
    for (std::size_t depth = 0; depth < onDisk.size(); ++depth) {
        FolderAt(onDisk, depth).Add(onDisk[depth]);
        // A folder made just now is known to be empty; it need not be read.
        if (isNew[depth])
            folders_.try_emplace(Key(onDisk, depth + 1));
    }
    return true;
}

std::vector<std::string> DestinationTree::ResolveFile(const std::vector<std::string>& components)
{
    std::vector<std::string> onDisk;
    for (std::size_t depth = 0; depth < components.size(); ++depth)
        onDisk.push_back(FolderAt(onDisk, depth).Match(components[depth]));
    return onDisk;
}

void DestinationTree::NoteFile(const std::vector<std::string>& onDisk)
{
    FolderAt(onDisk, onDisk.size() - 1).Add(onDisk.back());
}

std::filesystem::path DestinationTree::DiskPath(const std::vector<std::string>& onDisk) const
{
    std::filesystem::path path = root_;
    for (const std::string& name : onDisk)
        path /= name;
    return path;
}

}  // namespace quarrix::dump

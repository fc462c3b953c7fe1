#include "writer_tree.h"

#include "format.h"

#include <system_error>
#include <vector>

namespace hpi::detail {
namespace {

Error invalid(std::string message)
{
    return Error{ErrorKind::InvalidArgument, std::move(message)};
}

std::string in_quotes(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

// Splits "a\b\c" into its components without checking them.
std::vector<std::string_view> split_path(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t sep = path.find('\\', start);
        if (sep == std::string_view::npos) {
            parts.push_back(path.substr(start));
            return parts;
        }
        parts.push_back(path.substr(start, sep - start));
        start = sep + 1;
    }
}

constexpr std::uint64_t kLargestFile = 0xFFFFFFFFu;

}  // namespace

std::string archive_sort_key(std::string_view name)
{
    return fold_ascii(name);
}

Error check_component(std::string_view name, std::string_view archive_path)
{
    switch (level_fault(name)) {
        case LevelFault::None:
            return {};
        case LevelFault::Empty:
            return invalid("archive path " + in_quotes(archive_path) + " has an empty component");
        case LevelFault::Dots:
            return invalid("archive path " + in_quotes(archive_path) + " has a '" + std::string(name) +
                           "' component");
        case LevelFault::Separator:
            // The path is cut at each "\", so the separator left is a "/".
            return invalid("archive path " + in_quotes(archive_path) + ": name " + in_quotes(name) +
                           " holds '/'");
        case LevelFault::Nul:
            return invalid("archive path " + in_quotes(archive_path) + " holds a NUL byte");
    }
    return {};
}

// Walks to (and creates) every directory above the last component; returns
// the directory that will hold it, and the last component in `leaf`.
Result<TreeNode*> PathTree::make_parents(std::string_view archive_path, bool leaf_is_directory,
                                         std::string_view& leaf)
{
    std::vector<std::string_view> parts = split_path(archive_path);
    for (std::string_view part : parts)
        if (Error e = check_component(part, archive_path))
            return e;
    if (archive_path.size() > format::kMaxPathLength)
        return invalid("archive path " + in_quotes(archive_path.substr(0, 40)) + "... is longer than " +
                       std::to_string(format::kMaxPathLength) + " bytes");
    std::size_t depth = leaf_is_directory ? parts.size() : parts.size() - 1;
    if (depth > format::kMaxDirectoryDepth)
        return invalid("archive path " + in_quotes(archive_path.substr(0, 40)) +
                       "... nests directories deeper than " + std::to_string(format::kMaxDirectoryDepth) +
                       " levels");

    TreeNode* dir = &root_;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        std::unique_ptr<TreeNode>& slot = dir->children[archive_sort_key(parts[i])];
        if (!slot) {
            slot = std::make_unique<TreeNode>();
            slot->name = std::string(parts[i]);
        } else if (!slot->is_directory) {
            return invalid("cannot add " + in_quotes(archive_path) + ": " + in_quotes(slot->name) +
                           " is a file");
        }
        dir = slot.get();
    }
    leaf = parts.back();
    return dir;
}

Error PathTree::add_directory(std::string_view archive_path)
{
    std::string_view leaf;
    Result<TreeNode*> parent = make_parents(archive_path, true, leaf);
    if (!parent)
        return parent.error();
    std::unique_ptr<TreeNode>& slot = (*parent)->children[archive_sort_key(leaf)];
    if (!slot) {
        slot = std::make_unique<TreeNode>();
        slot->name = std::string(leaf);
    } else if (!slot->is_directory) {
        return invalid("cannot add directory " + in_quotes(archive_path) + ": it is already a file");
    }
    return {};
}

Error PathTree::add_file(std::string_view archive_path, const std::filesystem::path& disk_file)
{
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(disk_file, ec);
    if (ec || !std::filesystem::exists(status))
        return Error{ErrorKind::IoError,
                     "cannot read '" + disk_file.string() + "': " + (ec ? ec.message() : "no such file"),
                     ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory)};
    if (!std::filesystem::is_regular_file(status))
        return invalid("'" + disk_file.string() + "' is not a regular file");
    std::uint64_t size = std::filesystem::file_size(disk_file, ec);
    if (ec)
        return Error{ErrorKind::IoError,
                     "cannot read the size of '" + disk_file.string() + "': " + ec.message(), ec};
    if (size > kLargestFile)
        return Error{ErrorKind::TooLarge, "'" + disk_file.string() + "' has " + std::to_string(size) +
                                              " bytes; an archive entry holds at most 4 GiB - 1"};

    std::string_view leaf;
    Result<TreeNode*> parent = make_parents(archive_path, false, leaf);
    if (!parent)
        return parent.error();
    std::unique_ptr<TreeNode>& slot = (*parent)->children[archive_sort_key(leaf)];
    if (slot && slot->is_directory)
        return invalid("cannot add file " + in_quotes(archive_path) + ": it is already a directory");
    if (!slot) {
        slot = std::make_unique<TreeNode>();
        slot->name = std::string(leaf);
    }
    // Re-adding keeps the first spelling of the name, like a file system that
    // ignores case does when a file is overwritten.
    slot->is_directory = false;
    slot->disk_file = disk_file;
    slot->size = size;
    return {};
}

}  // namespace hpi::detail

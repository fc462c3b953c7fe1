// The tree of directories and disk files that a Writer collects before it
// packs them. Names are Windows-1252 bytes exactly as the caller gave them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "hpi/hpi.h"

namespace hpi::detail {

// The order in which a directory's entries are written: ASCII letters folded
// to lower case, then the bytes compared as unsigned values (as std::string
// compares them). Two names with the same key are the same entry (readers
// look names up without regard to ASCII case, so an archive holding both
// would be ambiguous).
std::string archive_sort_key(std::string_view name);

struct TreeNode {
    std::string name;  // empty for the root
    bool is_directory = true;
    std::filesystem::path disk_file;  // files only
    std::uint64_t size = 0;           // files only: size when it was added
    // Keyed by archive_sort_key(name); std::string compares bytes unsigned.
    std::map<std::string, std::unique_ptr<TreeNode>> children;
};

class PathTree {
public:
    Error add_directory(std::string_view archive_path);
    Error add_file(std::string_view archive_path, const std::filesystem::path& disk_file);
    const TreeNode& root() const { return root_; }

private:
    Result<TreeNode*> make_parents(std::string_view archive_path, bool leaf_is_directory,
                                   std::string_view& leaf);
    TreeNode root_;
};

// Checks one path component by the safe-level rule (hpi/names.h), and says
// which part of it the component breaks.
Error check_component(std::string_view name, std::string_view archive_path);

}  // namespace hpi::detail

// A folder tree as one comparable value: every folder ("name/"), file (its
// content) and link ("-> target") below a root, by path relative to it.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace dumptest {

using Tree = std::map<std::string, std::string>;

inline Tree snapshot(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    Tree tree;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().lexically_relative(root).generic_string();
        if (it->is_symlink())
            tree[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            tree[name + "/"] = "";
        else
            tree[name] = std::string(
                std::istreambuf_iterator<char>(std::ifstream(it->path(), std::ios::binary).rdbuf()), {});
    }
    return tree;
}

}  // namespace dumptest

// What HPIGetFiles hands out: the archive's entries in listing order with
// their names in UTF-8, minus those whose name does not fit the caller's
// 255-byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <hpi/hpi.h>

namespace hpiutil {

inline constexpr std::size_t kMaxListedPathBytes = 255;

struct ListedEntry {
    std::size_t index = 0;        // into the archive's entries()
    bool is_directory = false;
    std::int32_t size = 0;        // file length, or files directly inside a directory
    std::string name;             // the entry's path in UTF-8
};

struct Listing {
    std::vector<ListedEntry> entries;
    // Left out for the length of their path: the topmost entry of each
    // left-out subtree, by its full UTF-8 path.
    std::vector<std::string> omitted;
};

// Keeps the library's order (depth first, each directory before its
// contents). A directory's size counts only the listed files directly inside
// it, so the caller's progress total matches the files it will be given.
Listing build_listing(const std::vector<hpi::Entry>& entries);

}  // namespace hpiutil

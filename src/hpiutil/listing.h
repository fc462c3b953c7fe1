// What HPIGetFiles hands out: the archive's entries in listing order with
// their names in UTF-8, minus those whose name does not fit the caller's
// 255-byte buffer and the files the archive lists under a damaged name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <hpi/hpi.h>

#include "hpiutil/failure.h"

namespace hpiutil {

inline constexpr std::size_t kMaxListedPathBytes = 255;

struct ListedEntry {
    std::size_t index = 0;  // into the archive's entries()
    bool is_directory = false;
    std::int32_t size = 0;  // file length, or files directly inside a directory
    std::string name;       // the entry's path in UTF-8
};

// An entry left out of the listing, by its full UTF-8 path, and why.
struct OmittedEntry {
    std::string name;
    Failure cause;

    bool operator==(const OmittedEntry&) const = default;
};

struct Listing {
    std::vector<ListedEntry> entries;
    // The topmost entry of each subtree whose paths are too long to hand
    // out, and each file whose own name is damaged: its path is no path to
    // write to, only the words that name it in the report.
    std::vector<OmittedEntry> omitted;
};

// Keeps the library's order (depth first, each directory before its
// contents). A directory's size counts only the listed files directly inside
// it, so the caller's progress total matches the files it will be given.
Listing build_listing(const std::vector<hpi::Entry>& entries);

}  // namespace hpiutil

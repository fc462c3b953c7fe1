// The files of a collection that more than one archive holds: which archive's
// copy the dump keeps, which it writes over, and whether the copies written
// over hold the same bytes as the kept one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <hpi/hpi.h>

#include "collection/merged_view.h"

namespace quarrix::collection {

// Whether two file entries hold the same bytes. Entries of different sizes
// are not read; others are read side by side, a piece at a time, and the
// reading stops at the first difference. A copy that cannot be read counts
// as different and its error is kept.
struct Comparison {
    bool identical = false;
    hpi::Error error;
    Copy failed;  // the copy that could not be read, when error is set
};
Comparison compare_copies(const MergedView& view, const Copy& first, const Copy& second);

struct Conflict {
    NodeId file = kRoot;
    std::vector<std::uint32_t> overridden;  // the other archives written over, in dump order
    bool identical = false;                 // every copy written over equals the kept one
    std::optional<Comparison> failure;      // a copy that could not be read
};

// Calls `found` for each file held by more than one archive, in the order
// the dump first writes them.
void for_each_conflict(const MergedView& view, const std::function<void(const Conflict&)>& found);

// The archives other than the kept one whose copies of the file the dump
// writes over, in dump order.
std::vector<std::uint32_t> overridden_archives(const Node& file);

// The files more than one archive holds, taken from the view before a dump
// (the view may be closed then), then told which copies the dump wrote, so
// that each names the archive whose copy is on disk afterwards: the last in
// dump order whose copy was written whole. A copy that failed, or that the
// dump never came to (a Cancel), was not written. Nothing is read.
class Overlaps {
public:
    explicit Overlaps(const MergedView& view);

    // The dump wrote `entry` (as the archive's listing names it) of
    // `archive` (its path as given to the view) whole.
    void written(const std::string& archive, const std::string& entry);
    // The file at `path` below the target ("\" between levels, any case) is
    // not there after all, or with `folder` every file below the folder at
    // `path`; an empty path: none of them is.
    void lost(const std::string& path, bool folder = false);

    // "PATH: kept from ARCHIVE" for each file, or "PATH: not written" when
    // no copy of it was, in the order the dump first writes them, at most
    // `max_lines`, then "... and N more"; empty when no file is held twice.
    std::string lines(std::size_t max_lines) const;

private:
    struct File {
        std::string path;
        std::vector<std::uint32_t> members;  // its copies' archives, in dump order
        std::vector<bool> written;           // by copy
    };
    std::vector<std::string> archives_;  // by member
    std::vector<File> files_;
    // "ARCHIVE\0ENTRY" of each copy: its file and its place among the copies.
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> copies_;
};

}  // namespace quarrix::collection

// The files of a collection that more than one archive holds: which archive's
// copy the dump keeps, which it writes over, and whether the copies written
// over hold the same bytes as the kept one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
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

// One line "PATH: kept from ARCHIVE" for each file held by more than one
// archive, in the order the dump first writes them, at most `max_lines`,
// then "... and N more"; empty when no file is. Nothing is read.
std::string overlap_lines(const MergedView& view, std::size_t max_lines);

}  // namespace quarrix::collection

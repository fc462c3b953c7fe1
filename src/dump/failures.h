// What went wrong during a dump, collected as it goes so that nothing fails
// silently: archives that could not be opened, entries that could not be
// written, entries skipped because they would leave the target.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quarrix::dump {

struct DumpFailure {
    std::string archive;  // the archive (or the new consolidated archive)
    std::string reason;
};

class DumpFailures {
public:
    void Add(std::string archive, std::string reason);
    bool Empty() const { return items_.empty(); }
    const std::vector<DumpFailure>& Items() const { return items_; }

    // One "ARCHIVE: REASON" line per failure, at most `maxLines` of them,
    // then "... and N more" for the rest.
    std::string Lines(std::size_t maxLines = 20) const;

private:
    std::vector<DumpFailure> items_;
};

}  // namespace quarrix::dump

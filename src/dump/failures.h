// What went wrong during a dump, collected as it goes so that nothing fails
// silently: archives that could not be opened, entries that could not be
// written, entries skipped because they would leave the target; each with
// its archive, its entry and its cause, typed until it is shown.
#pragma once

#include "hpiutil/failure.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quarrix::dump {

struct DumpFailure {
    std::string archive;  // the archive (or the new consolidated archive); may be empty
    std::string entry;    // the entry's path inside it; empty for the archive itself
    bool folder = false;  // the entry is a folder
    hpiutil::Failure cause;
};

class DumpFailures {
public:
    void Add(std::string archive, std::string entry, hpiutil::Failure cause);
    void AddFolder(std::string archive, std::string entry, hpiutil::Failure cause);
    bool Empty() const { return items_.empty(); }
    const std::vector<DumpFailure>& Items() const { return items_; }

    // The words of the cause every failure shares, when there are several
    // and they all share one (a full disk).
    std::optional<std::string> SharedCause() const;

    // The report a person reads: "ARCHIVE: ENTRY: CAUSE" for each failure,
    // at most `maxLines` of them, then "... and N more". When every failure
    // has the same cause, a first line says it once ("All 500 failures: no
    // space left on device") and the lines name only archive and entry.
    std::vector<std::string> ReportLines(std::size_t maxLines = SIZE_MAX) const;
    // The same lines joined by line breaks.
    std::string Lines(std::size_t maxLines = 20) const;

private:
    std::vector<DumpFailure> items_;
};

// "ARCHIVE: ENTRY: CAUSE", or without the cause; the parts that are empty
// are left out.
std::string FailureLine(const DumpFailure& failure, bool withCause = true);

}  // namespace quarrix::dump

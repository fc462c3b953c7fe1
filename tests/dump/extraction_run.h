// One extraction of archives built by the tests, with everything it reported:
// shared by the dump engine's suites.
#pragma once

#include "dump/extraction.h"
#include "dump/text.h"

#include <string>
#include <vector>

#include "support/archive_builder.h"
#include "support/writer_view.h"
#include "tree_snapshot.h"

namespace dumptest {

namespace fs = std::filesystem;

// Writes an archive of these entries (see hpi::test::archive_of) to `file`.
inline fs::path buildArchive(const fs::path& file,
                             const std::vector<std::pair<std::string, std::string>>& entries)
{
    writer_test::write_file(file, hpi::test::archive_of(entries));
    return file;
}

// Every progress call as a line; the files written too unless `writes` is cleared.
struct Recorder : quarrix::dump::ExtractionProgress {
    bool writes = true;
    std::vector<std::string> calls;
    void StartMain(const std::string& part, const std::string& work) override
    {
        calls.push_back("StartMain " + part + " | " + work);
    }
    void UpdateMain(std::int32_t value, std::int32_t max) override { note("UpdateMain ", value, max); }
    void StartSub(const std::string& part) override { calls.push_back("StartSub " + part); }
    void UpdateSub(std::int32_t value, std::int32_t max) override { note("UpdateSub ", value, max); }
    void FileWritten(const std::string&, const std::string& entry, std::uint64_t bytes) override
    {
        if (writes)
            calls.push_back("written " + entry + " " + std::to_string(bytes));
    }
    bool Cancel() override { return false; }
    void note(const std::string& call, std::int32_t value, std::int32_t max)
    {
        calls.push_back(call + std::to_string(value) + "/" + std::to_string(max));
    }
};

struct Outcome {
    Tree tree;                          // the target afterwards
    std::vector<std::string> failures;  // each as the report says it
    std::vector<std::string> calls;
    std::int32_t rowsLeft = -1;
};

inline Outcome extract(const std::vector<fs::path>& archives, const fs::path& target, unsigned workers = 1,
                       Recorder&& progress = {})
{
    std::vector<std::string> rows;
    for (const fs::path& archive : archives)
        rows.push_back(archive.string());
    quarrix::dump::PlainArchiveList list(rows);
    quarrix::dump::DumpFailures failures;
    quarrix::dump::ExtractArchives(target.string(), list, progress, failures,
                                   quarrix::dump::ExtractionOptions{workers});
    Outcome outcome{snapshot(target), {}, progress.calls, list.ListCount()};
    for (const quarrix::dump::DumpFailure& failure : failures.Items())
        outcome.failures.push_back(quarrix::dump::FailureLine(failure));
    return outcome;
}

}  // namespace dumptest

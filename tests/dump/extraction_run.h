// One extraction of archives built by the tests, with everything it reported:
// shared by the dump engine's suites.
#pragma once

#include "dump/extraction.h"
#include "dump/text.h"

#include <string>
#include <vector>

#include "support/archive_builder.h"
#include "support/v2_builder.h"
#include "support/writer_view.h"
#include "tree_snapshot.h"

namespace dumptest {

namespace fs = std::filesystem;

using Entries = std::vector<std::pair<std::string, std::string>>;

// Writes an archive of these entries (see hpi::test::archive_of) to `file`;
// no entries: a file that is no archive. A file whose name starts with "v2-"
// is of version 2, each file one zlib chunk.
inline fs::path buildArchive(const fs::path& file, const Entries& entries)
{
    if (entries.empty()) {
        writer_test::write_file(file, std::string("not an archive at all"));
    } else if (file.filename().string().starts_with("v2-")) {
        hpi::test::V2Builder builder;
        for (const auto& [path, content] : entries) {
            if (path.ends_with('\\'))
                builder.folder(path.substr(0, path.size() - 1));
            else
                builder.file(path, hpi::test::bytes_of(content));
        }
        writer_test::write_file(file, builder.build().bytes);
    } else {
        writer_test::write_file(file, hpi::test::archive_of(entries));
    }
    return file;
}

// Each archive built in `folder` under its name; their paths in that order.
inline std::vector<std::string> buildArchives(const fs::path& folder,
                                              const std::vector<std::pair<std::string, Entries>>& archives)
{
    std::vector<std::string> paths;
    for (const auto& [name, entries] : archives)
        paths.push_back(buildArchive(folder / name, entries));
    return paths;
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

inline Outcome extract(const std::vector<std::string>& archives, const fs::path& target, unsigned workers = 1,
                       Recorder&& progress = {})
{
    quarrix::dump::PlainArchiveList list(archives);
    quarrix::dump::DumpFailures failures;
    quarrix::dump::ExtractArchives(target.string(), list, progress, failures,
                                   quarrix::dump::ExtractionOptions{workers});
    Outcome outcome{snapshot(target), {}, progress.calls, list.ListCount()};
    for (const quarrix::dump::DumpFailure& failure : failures.Items())
        outcome.failures.push_back(quarrix::dump::FailureLine(failure));
    return outcome;
}

}  // namespace dumptest

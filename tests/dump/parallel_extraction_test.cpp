// Extraction with many workers against extraction with one: the same tree,
// the same failures and the same progress, whatever order the workers finish
// in; a cancel in the middle, and a disk that fills up under the workers.
#include "platform/atomic_file.h"

#include <algorithm>
#include <iterator>

#include <gtest/gtest.h>

#include "extraction_run.h"
#include "small_tmpfs.h"

namespace {

namespace fs = std::filesystem;
using namespace quarrix;
using dumptest::buildArchive;
using dumptest::extract;
using dumptest::Outcome;
using dumptest::Recorder;
using dumptest::Tree;

using dumptest::Entries;

// Many files over a few folders, every seventh one given again later under
// its name in upper case with other bytes: the later one must win, however
// the workers are ordered.
Entries manyFiles(int count, const std::string& tag)
{
    Entries entries;
    for (int folder = 0; folder < 4; ++folder)
        entries.push_back({"d" + std::to_string(folder) + "\\", ""});
    for (int i = 0; i < count; ++i)
        entries.push_back({"d" + std::to_string(i % 4) + "\\f" + std::to_string(i) + ".txt",
                           tag + std::string(std::size_t(50 + i % 300), char('a' + i % 26))});
    for (int i = 0; i < count; i += 7)
        entries.push_back({"d" + std::to_string(i % 4) + "\\F" + std::to_string(i) + ".TXT", "again " + tag});
    return entries;
}

// The calls but the lower bar's (its label and its position).
std::vector<std::string> withoutLowerBar(const std::vector<std::string>& calls)
{
    std::vector<std::string> kept;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(kept), [](const std::string& call) {
        return !call.starts_with("StartSub ") && !call.starts_with("UpdateSub ");
    });
    return kept;
}

// The lower bar's calls, archive by archive.
std::vector<std::vector<std::string>> lowerBarByArchive(const std::vector<std::string>& calls)
{
    std::vector<std::vector<std::string>> archives;
    for (const std::string& call : calls) {
        if (call.starts_with("StartMain "))
            archives.emplace_back();
        else if (call.starts_with("StartSub ") || call.starts_with("UpdateSub "))
            archives.back().push_back(call);
    }
    return archives;
}

// Whether the lower bar of `batched` shows some of the steps of `serial` in
// their order, each label with its position, and the last step of every
// archive: it may skip steps, never go back nor end short.
bool showsStepsOf(const std::vector<std::string>& batched, const std::vector<std::string>& serial)
{
    const auto shown = lowerBarByArchive(batched), all = lowerBarByArchive(serial);
    if (shown.size() != all.size())
        return false;
    for (std::size_t i = 0; i < all.size(); ++i) {
        auto at = all[i].begin();
        for (const std::string& call : shown[i]) {
            at = std::find(at, all[i].end(), call);
            if (at == all[i].end())
                return false;
            ++at;
        }
        if (all[i].empty() != shown[i].empty())
            return false;
        if (all[i].size() >= 2 &&
            (shown[i].size() < 2 || !std::equal(all[i].end() - 2, all[i].end(), shown[i].end() - 2)))
            return false;
    }
    return true;
}

TEST(ParallelExtraction, GivesTheTreeTheFailuresAndTheProgressOfOneFileAfterAnother)
{
    const struct {
        const char* what;
        std::vector<Entries> archives;
        Tree expected;  // files and folders only checked when given
        std::vector<std::string> failures;
    } cases[] = {
        {"a later archive overrides an earlier one, into the folder as first spelt",
         {{{"units\\", ""}, {"units\\a.fbi", "first"}, {"readme.txt", "R"}},
          {{"UNITS\\", ""}, {"UNITS\\A.FBI", "second"}, {"UNITS\\new.fbi", "N"}, {"README.TXT", "r2"}}},
         {{"readme.txt", "r2"}, {"units/", ""}, {"units/a.fbi", "second"}, {"units/new.fbi", "N"}},
         {}},
        {"two entries of one archive on one file: the later wins",
         {{{"units\\", ""}, {"units\\a.fbi", "first"}, {"units\\A.FBI", "second"}, {"b.txt", "b"}}},
         {{"b.txt", "b"}, {"units/", ""}, {"units/a.fbi", "second"}},
         {}},
        {"the first of them damaged: the second keeps its own spelling",
         {{{"units\\", ""}, {"units\\a.fbi", "bad:first"}, {"units\\A.FBI", "second"}}},
         {{"units/", ""}, {"units/A.FBI", "second"}},
         {"a.hpi: units\\a.fbi: damaged entry: checksum mismatch"}},
        {"a file whose name a folder holds is in the way",
         {{{"MAPS\\", ""}, {"MAPS\\x.tnt", "x"}, {"maps", "file"}}},
         {{"MAPS/", ""}, {"MAPS/x.tnt", "x"}},
         {"a.hpi: maps: a file, folder or link is in the way"}},
        {"many files in three archives",
         {manyFiles(400, "one"), manyFiles(300, "two"), manyFiles(350, "three")},
         {},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writer_test::ScratchDir scratch;
        std::vector<std::string> archives;
        for (std::size_t i = 0; i < c.archives.size(); ++i)
            archives.push_back(
                buildArchive(scratch / (std::string(1, char('a' + i)) + ".hpi"), c.archives[i]));
        const Outcome serial = extract(archives, scratch / "serial", 1);
        for (const unsigned workers : {2u, 4u, 16u}) {
            SCOPED_TRACE(std::to_string(workers) + " workers");
            const fs::path target = scratch / ("with" + std::to_string(workers));
            const Outcome parallel = extract(archives, target, workers);
            EXPECT_EQ(parallel.tree, serial.tree);
            EXPECT_EQ(parallel.failures, serial.failures);
            EXPECT_EQ(withoutLowerBar(parallel.calls), withoutLowerBar(serial.calls));
            EXPECT_TRUE(showsStepsOf(parallel.calls, serial.calls));
            EXPECT_EQ(parallel.rowsLeft, 0);
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(serial.tree, c.expected);
        }
        ASSERT_EQ(serial.failures.size(), c.failures.size());
        for (std::size_t i = 0; i < c.failures.size(); ++i)
            EXPECT_TRUE(serial.failures[i].starts_with((scratch / c.failures[i]).string()))
                << serial.failures[i];
    }
}

// Asks to cancel once `afterFiles` files of the archive named `archive` are
// written.
struct CancelIn : Recorder {
    std::string archive;
    int afterFiles = 0;
    std::string current;
    int written = 0;
    void StartMain(const std::string& part, const std::string& work) override
    {
        current = part;
        Recorder::StartMain(part, work);
    }
    void FileWritten(const std::string& from, const std::string& entry, std::uint64_t bytes) override
    {
        written += current == archive;
        Recorder::FileWritten(from, entry, bytes);
    }
    bool Cancel() override { return written >= afterFiles; }
};

TEST(ParallelExtraction, ACancelLeavesWholeFilesOnlyAndTheArchivesNotYetDoneInTheList)
{
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary files" : "unnamed temporary files");
        platform::ForceNamedTemporaryFiles(named);
        writer_test::ScratchDir scratch;
        const std::vector<std::string> tags = {"one", "two", "three", "four"};
        std::vector<std::string> archives;
        std::vector<std::pair<std::string, std::string>> whole;  // every file entry of every archive
        for (std::size_t i = 0; i < tags.size(); ++i) {
            // The second archive is large enough that the workers cannot
            // have written it all before the cancel is seen.
            const Entries entries = manyFiles(i == 1 ? 3000 : 200, tags[i]);
            archives.push_back(buildArchive(scratch / ("p" + std::to_string(i) + ".hpi"), entries));
            whole.insert(whole.end(), entries.begin(), entries.end());
        }
        CancelIn progress;
        progress.archive = "p1";
        progress.afterFiles = 30;
        const Outcome outcome = extract(archives, scratch / "out", 8, std::move(progress));
        platform::ForceNamedTemporaryFiles(false);

        EXPECT_EQ(outcome.rowsLeft, 2) << "the archive in hand counts as done, the two after it are left";
        EXPECT_TRUE(outcome.failures.empty());
        int fromFirst = 0, fromSecond = 0;
        for (const auto& [path, content] : outcome.tree) {
            if (path.ends_with('/'))
                continue;
            EXPECT_FALSE(path.find("/.") != std::string::npos) << "a temporary file is left: " << path;
            EXPECT_TRUE(content.starts_with("one") || content.starts_with("two") || content == "again one" ||
                        content == "again two")
                << path << " holds " << content;
            fromFirst += content.find("one") != std::string::npos;
            fromSecond += content.find("two") != std::string::npos;
            // Only whole files: each holds what one of its entries holds.
            std::string entryPath = path;
            std::replace(entryPath.begin(), entryPath.end(), '/', '\\');
            bool matchesAnEntry = false;
            for (const auto& [name, bytes] : whole)
                matchesAnEntry |= bytes == content && dump::FoldCase(name) == dump::FoldCase(entryPath);
            EXPECT_TRUE(matchesAnEntry) << path;
        }
        EXPECT_GE(fromFirst + fromSecond, 200);
        EXPECT_GE(fromSecond, 30);
        EXPECT_LT(fromSecond, 3000) << "the cancel came in the middle of the second archive";
    }
}

// A disk that fills up while several workers write: each file is whole or
// reported, for its own entry, with the cause the disk gave.
TEST(ParallelExtraction, AFullDiskIsReportedForEachEntryAWorkerCouldNotWrite)
{
    writer_test::ScratchDir scratch;
    Entries entries = {{"units\\", ""}};
    for (int i = 0; i < 16; ++i)
        entries.push_back({"units\\u" + std::to_string(i) + ".bin", std::string(40000, char('a' + i))});
    const fs::path archive = buildArchive(scratch / "a.hpi", entries);
    const fs::path target = scratch / "full";
    const dumptest::SmallTmpfs disk(target, 300000);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    const Outcome outcome = extract({archive}, target, 4);

    std::size_t written = 0;
    for (const auto& [path, content] : outcome.tree) {
        if (path.ends_with('/'))
            continue;
        ++written;
        EXPECT_EQ(content.size(), 40000u) << path << ": only whole files";
    }
    EXPECT_GT(written, 0u);
    EXPECT_FALSE(outcome.failures.empty());
    EXPECT_EQ(written + outcome.failures.size(), 16u);
    for (const std::string& line : outcome.failures) {
        EXPECT_TRUE(line.starts_with(archive.string() + ": units\\u")) << line;
        EXPECT_TRUE(line.ends_with(".bin: no space left on device")) << line;
    }
}

}  // namespace

// The dump engine on archives built in the tests: the progress it reports,
// the tree it rebuilds, what it refuses to write and how it says so, and the
// consolidated archive it packs.
#include "dump/callback.h"
#include "dump/extraction.h"
#include "dump/monolithic.h"
#include "dump/text.h"

#include <sys/resource.h>

#include <csignal>
#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/writer_view.h"
#include "tree_snapshot.h"

namespace {

namespace fs = std::filesystem;
using namespace quarrix;

using dumptest::snapshot;
using dumptest::Tree;

// Everything below root but the folder `inside` and its contents.
Tree snapshotOutside(const fs::path& root, const std::string& inside)
{
    Tree tree = snapshot(root);
    std::erase_if(tree, [&](const auto& item) { return item.first.starts_with(inside + "/"); });
    return tree;
}

// Files larger than `bytes` cannot be written while it lives; a write past
// the limit fails with EFBIG instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = std::min(bytes, saved_.rlim_max);
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

// An archive holding these entries in this order; a path ending in "\" is a
// folder. Names are Windows-1252, as stored.
fs::path build_archive(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& entries)
{
    hpi::test::ArchiveBuilder builder;
    for (const auto& [path, content] : entries) {
        if (path.ends_with('\\'))
            builder.directory(path.substr(0, path.size() - 1));
        else
            builder.stored_file(path, hpi::test::bytes_of(content));
    }
    writer_test::write_file(file, builder.build().bytes);
    return file;
}

struct Recorder final : dump::ExtractionProgress {
    std::vector<std::string> calls;
    void StartMain(const std::string& part, const std::string& work) override
    {
        calls.push_back("StartMain " + part + " | " + work);
    }
    void UpdateMain(std::int32_t value, std::int32_t max) override
    {
        calls.push_back("UpdateMain " + std::to_string(value) + "/" + std::to_string(max));
    }
    void StartSub(const std::string& part) override { calls.push_back("StartSub " + part); }
    void UpdateSub(std::int32_t value, std::int32_t max) override
    {
        calls.push_back("UpdateSub " + std::to_string(value) + "/" + std::to_string(max));
    }
    bool Cancel() override { return false; }
};

struct Dumped {
    dump::DumpFailures failures;
    std::int32_t rowsLeft = -1;
    std::vector<std::string> calls;
};

Dumped extract(const std::vector<fs::path>& archives, const fs::path& target)
{
    std::vector<std::string> rows;
    for (const fs::path& archive : archives)
        rows.push_back(archive.string());
    dump::PlainArchiveList list(rows);
    Recorder progress;
    Dumped dumped;
    dump::ExtractArchives(target.string(), list, progress, dumped.failures);
    dumped.rowsLeft = list.ListCount();
    dumped.calls = std::move(progress.calls);
    return dumped;
}

std::string reasons(const dump::DumpFailures& failures)
{
    return failures.Lines(1000);
}

TEST(ExtractArchives, RebuildsEachTreeAndReportsProgressArchiveByArchive)
{
    writer_test::ScratchDir scratch;
    const std::vector<fs::path> archives = {
        build_archive(scratch / "a.hpi", {{"units\\", ""}, {"units\\a.fbi", "A"}, {"units\\b.fbi", "B"},
                                          {"readme.txt", "R"}}),
        build_archive(scratch / "b.ufo", {{"scripts\\", ""}, {"scripts\\readme", "S"}}),
        build_archive(scratch / "c.gp3", {{"units\\", ""}, {"units\\ARMCOM.FBI", "C"}}),
    };
    const Dumped dumped = extract(archives, scratch / "out");

    EXPECT_TRUE(dumped.failures.Empty()) << reasons(dumped.failures);
    EXPECT_EQ(dumped.rowsLeft, 0);
    EXPECT_EQ(dumped.calls, (std::vector<std::string>{
                                "StartMain a | Decompressing Archive", "UpdateMain 1/3",
                                "StartSub Exctracting a", "UpdateSub 0/2",
                                "StartSub Exctracting b", "UpdateSub 1/2",
                                "StartSub Exctracting readme", "UpdateSub 2/2",
                                "StartMain b | Decompressing Archive", "UpdateMain 2/3",
                                "StartSub Exctracting scripts\\readme", "UpdateSub 0/1",
                                "StartMain c | Decompressing Archive", "UpdateMain 3/3",
                                "StartSub Exctracting ARMCOM", "UpdateSub 0/1"}));
    EXPECT_EQ(snapshot(scratch / "out"), (Tree{{"readme.txt", "R"}, {"scripts/", ""}, {"scripts/readme", "S"},
                                               {"units/", ""}, {"units/a.fbi", "A"}, {"units/b.fbi", "B"},
                                               {"units/ARMCOM.FBI", "C"}}));
}

// Each case dumps its archives into scratch/<target>; nothing may appear
// outside the target but what the case made there, and no temporary file
// may be left anywhere.
TEST(ExtractArchives, WritesNothingOutsideTheTargetAndReportsWhatItCouldNotWrite)
{
    struct Case {
        const char* what;
        const char* target;
        std::function<std::vector<fs::path>(const fs::path& scratch, const fs::path& target)> setUp;
        Tree expected;
        std::vector<std::string> failures;
        rlim_t fileSizeLimit = RLIM_INFINITY;
    };
    const std::vector<Case> cases = {
        {"an unopenable file with an archive extension", "out",
         [](const fs::path& s, const fs::path&) {
             writer_test::write_file(s / "junk.ufo", std::string("not an archive at all"));
             return std::vector<fs::path>{s / "junk.ufo", build_archive(s / "good.hpi", {{"x.txt", "x"}})};
         },
         {{"x.txt", "x"}},
         {"junk.ufo: cannot be opened"}},
        {"hostile names", "out",
         [](const fs::path& s, const fs::path&) {
             return std::vector<fs::path>{
                 build_archive(s / "drive.hpi", {{"C:\\", ""}, {"C:\\evil.txt", "e"}, {"ok.txt", "ok"}}),
                 build_archive(s / "up.hpi", {{"..", "e"}})};
         },
         {{"ok.txt", "ok"}},
         {"drive.hpi: skipped C:: its path leads out", "drive.hpi: skipped C:\\evil.txt", "up.hpi: cannot be opened"}},
        {"a link in the target leading out of it", "out",
         [](const fs::path& s, const fs::path& t) {
             fs::create_directories(s / "outside");
             fs::create_directories(t);
             fs::create_directory_symlink(s / "outside", t / "units");
             return std::vector<fs::path>{build_archive(s / "a.hpi", {{"units\\", ""}, {"units\\a.fbi", "A"}})};
         },
         {{"units", "-> "}},
         {"a.hpi: cannot make the folder units", "a.hpi: cannot extract units\\a.fbi"}},
        {"names differing only in case", "out",
         [](const fs::path& s, const fs::path&) {
             return std::vector<fs::path>{
                 build_archive(s / "1.hpi", {{"UNITS\\", ""}, {"UNITS\\A.FBI", "one"}}),
                 build_archive(s / "2.hpi", {{"units\\", ""}, {"units\\sub\\", ""}, {"units\\a.fbi", "two"}})};
         },
         {{"UNITS/", ""}, {"UNITS/A.FBI", "two"}, {"UNITS/sub/", ""}},
         {}},
        {"a target named outside Windows-1252", "выход 目标",
         [](const fs::path& s, const fs::path&) {
             return std::vector<fs::path>{build_archive(s / "a.hpi", {{"units\\", ""}, {"units\\caf\xe9.fbi", "c"}})};
         },
         {{"units/", ""}, {"units/café.fbi", "c"}},
         {}},
        {"a disk that runs out of space", "out",
         [](const fs::path& s, const fs::path&) {
             return std::vector<fs::path>{
                 build_archive(s / "a.hpi", {{"big.bin", std::string(100000, 'b')}, {"small.txt", "s"}})};
         },
         {{"small.txt", "s"}},
         {"a.hpi: cannot extract big.bin"},
         65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writer_test::ScratchDir scratch;
        const fs::path target = scratch / c.target;
        const std::vector<fs::path> archives = c.setUp(scratch.path(), target);
        const Tree outsideBefore = snapshotOutside(scratch.path(), c.target);
        Dumped dumped;
        {
            FileSizeLimit limit(c.fileSizeLimit);
            dumped = extract(archives, target);
        }
        Tree expected = c.expected;
        for (auto& [name, content] : expected)
            if (content == "-> ")
                content += (scratch / "outside").string();
        EXPECT_EQ(snapshot(target), expected);
        EXPECT_EQ(snapshotOutside(scratch.path(), c.target), outsideBefore);
        EXPECT_EQ(dumped.failures.Items().size(), c.failures.size()) << reasons(dumped.failures);
        for (const std::string& failure : c.failures)
            EXPECT_NE(reasons(dumped.failures).find(failure), std::string::npos) << failure << "\n" << reasons(dumped.failures);
        EXPECT_EQ(dumped.rowsLeft, 0);
    }
}

// The packing surroundings, recorded; the temporary folder is really deleted.
struct PackingRecorder final : dump::MonolithicHost {
    std::vector<std::string> calls;
    void Message(const std::string& text) override { calls.push_back("Message " + text); }
    void PackingStarts() override { calls.push_back("PackingStarts"); }
    void PackingEnds() override { calls.push_back("PackingEnds"); }
    void DeleteFolder(const std::string& folder) override
    {
        calls.push_back("DeleteFolder");
        fs::remove_all(folder);
    }
    void Start(const std::string&, const std::string& work) override
    {
        if (calls.back() != "Start " + work)
            calls.push_back("Start " + work);
    }
    void Update(std::int32_t, std::int32_t) override {}
};

TEST(CreateMonolithic, PacksTheUnionOfTheArchivesLaterOnesWinningAndLosesNoFile)
{
    writer_test::ScratchDir scratch;
    const std::vector<fs::path> archives = {
        build_archive(scratch / "1.hpi", {{"units\\", ""}, {"units\\a.fbi", "first"}, {"empty.txt", ""}}),
        build_archive(scratch / "2.ufo", {{"UNITS\\", ""}, {"UNITS\\A.FBI", "second"}, {"b.txt", "b"}}),
        build_archive(scratch / "3.gp4", {{"maps\\", ""}}),
    };
    ASSERT_TRUE(extract(archives, scratch / "unpacked").failures.Empty());

    const fs::path temp = scratch / "temp";
    fs::create_directory(temp);
    ASSERT_TRUE(extract(archives, temp).failures.Empty());
    fs::create_directory(scratch / "target");
    PackingRecorder host;
    dump::DumpFailures failures;
    dump::CreateMonolithic((scratch / "target").string(), "Pack.ufo", temp.string() + "/", host, failures);

    EXPECT_TRUE(failures.Empty()) << reasons(failures);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"PackingStarts", "Start Creating monolithic archive",
                                                    "PackingEnds", "DeleteFolder"}));
    EXPECT_FALSE(fs::exists(temp));
    ASSERT_TRUE(extract({scratch / "target/Pack.ufo"}, scratch / "repacked").failures.Empty());
    EXPECT_EQ(snapshot(scratch / "repacked"), snapshot(scratch / "unpacked"));
    EXPECT_EQ(snapshot(scratch / "unpacked"), (Tree{{"b.txt", "b"}, {"empty.txt", ""}, {"maps/", ""},
                                                    {"units/", ""}, {"units/a.fbi", "second"}}));
}

TEST(CreateMonolithic, KeepsTheTemporaryFolderWhenTheArchiveCannotBeCreatedAndPacksItNextTime)
{
    writer_test::ScratchDir scratch;
    const fs::path temp = scratch / "temp";
    fs::create_directory(temp);
    writer_test::write_file(temp / "left.txt", std::string("left over"));
    for (const std::string name : {"Pack.ufo", "../escape.ufo"}) {
        PackingRecorder host;
        dump::DumpFailures failures;
        const fs::path target = scratch / (name == "Pack.ufo" ? "missing" : "target");
        dump::CreateMonolithic(target.string(), name, temp.string(), host, failures);
        EXPECT_EQ(host.calls, std::vector<std::string>{"Message Error on HPICreate"}) << name;
        EXPECT_EQ(failures.Items().size(), 1u) << name;
    }
    EXPECT_TRUE(fs::exists(temp / "left.txt"));
    EXPECT_FALSE(fs::exists(scratch / "escape.ufo"));

    fs::create_directory(scratch / "target");
    writer_test::write_file(temp / "new.txt", std::string("new"));
    PackingRecorder host;
    dump::DumpFailures failures;
    dump::CreateMonolithic((scratch / "target").string(), "Pack.ufo", temp.string(), host, failures);
    ASSERT_TRUE(extract({scratch / "target/Pack.ufo"}, scratch / "out").failures.Empty());
    EXPECT_EQ(snapshot(scratch / "out"), (Tree{{"left.txt", "left over"}, {"new.txt", "new"}}));
}

TEST(TextRules, BaseNamesNamesFromBuffersAndTheFailureListCap)
{
    const std::pair<std::string, std::string> baseNames[] = {
        {"C:\\Games\\Data\\units.ufo", "units"}, {"units\\ARMCOM.FBI", "ARMCOM"}, {"a.b.c", "a"},
        {"scripts\\readme", "scripts\\readme"},  {"C:\\x\\.cfg", ""},            {"/data/pack/b.gp3", "b"}};
    for (const auto& [path, expected] : baseNames)
        EXPECT_EQ(dump::GetBaseName(path), expected) << path;

    const std::pair<std::string, std::string> stripped[] = {
        {std::string("units\0   ", 9), "units"}, {"units   ", "units"}, {"  ", ""}, {std::string("\0ab", 3), ""}};
    for (const auto& [text, expected] : stripped)
        EXPECT_EQ(dump::StripNull(text), expected);

    const std::string noEnd(256, 'x');
    EXPECT_EQ(Callback::BytesToString(noEnd.c_str()), "");
    EXPECT_EQ(Callback::BytesToString(noEnd.substr(0, 255).c_str()), noEnd.substr(0, 255));

    dump::DumpFailures failures;
    for (int i = 0; i < 22; ++i)
        failures.Add("a.hpi", "reason " + std::to_string(i));
    const std::string lines = failures.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 20);
    EXPECT_TRUE(lines.ends_with("a.hpi: reason 19\n... and 2 more")) << lines;
}

}  // namespace

// The dump engine on archives built in the tests: the progress it reports,
// the tree it rebuilds, what it refuses to write and how it says so, and the
// consolidated archive it packs.
#include "dump/callback.h"
#include "dump/folder_walk.h"
#include "dump/monolithic.h"
#include "dump/text.h"
#include "platform/stop_signals.h"

#include <sys/resource.h>

#include <csignal>
#include <algorithm>

#include <gtest/gtest.h>

#include "extraction_run.h"
#include "support/manifest.h"
#include "support/v2_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace quarrix;

using dumptest::buildArchive;
using dumptest::extract;
using dumptest::Outcome;
using dumptest::snapshot;
using dumptest::Tree;

// Everything below root but the folder `inside` and its contents.
Tree snapshotOutside(const fs::path& root, const std::string& inside)
{
    Tree tree = snapshot(root);
    std::erase_if(tree, [&](const auto& item) { return item.first.starts_with(inside + "/"); });
    return tree;
}

using dumptest::Entries;

// Each case dumps its archives (no entries: a file that is no archive) into
// scratch/<target>; nothing may appear outside the target but what the case
// made there, and no temporary file may be left anywhere.
TEST(ExtractArchives, RebuildsEachTreeWritesNothingOutsideTheTargetAndReportsWhatItCouldNotWrite)
{
    const struct {
        const char* what;
        const char* target;
        std::vector<std::pair<std::string, Entries>> archives;
        bool unitsLinksOut;  // target/units is a link to scratch/outside
        Tree expected;
        std::vector<std::string> failures;
        rlim_t fileSizeLimit = RLIM_INFINITY;
        std::vector<std::string> calls = {};  // the progress reported, when the case checks it
    } cases[] = {
        {"three archives, progress archive by archive",
         "out",
         {{"a.hpi", {{"units\\", ""}, {"units\\a.fbi", "A"}, {"units\\b.fbi", "B"}, {"readme.txt", "R"}}},
          {"b.ufo", {{"scripts\\", ""}, {"scripts\\readme", "S"}}},
          {"c.gp3", {{"units\\", ""}, {"units\\ARMCOM.FBI", "C"}}}},
         false,
         {{"readme.txt", "R"},
          {"scripts/", ""},
          {"scripts/readme", "S"},
          {"units/", ""},
          {"units/a.fbi", "A"},
          {"units/b.fbi", "B"},
          {"units/ARMCOM.FBI", "C"}},
         {},
         RLIM_INFINITY,
         {"StartMain a | Decompressing Archive", "UpdateMain 1/3", "StartSub Exctracting a", "UpdateSub 0/2",
          "StartSub Exctracting b", "UpdateSub 1/2", "StartSub Exctracting readme", "UpdateSub 2/2",
          "StartMain b | Decompressing Archive", "UpdateMain 2/3", "StartSub Exctracting scripts\\readme",
          "UpdateSub 0/1", "StartMain c | Decompressing Archive", "UpdateMain 3/3",
          "StartSub Exctracting ARMCOM", "UpdateSub 0/1"}},
        {"an unopenable file with an archive extension; a target named outside Windows-1252",
         "выход 目标",
         {{"junk.ufo", {}}, {"good.hpi", {{"units\\", ""}, {"units\\caf\xe9.fbi", "c"}}}},
         false,
         {{"units/", ""}, {"units/café.fbi", "c"}},
         {"junk.ufo: not an archive"}},
        {"hostile names",
         "out",
         {{"drive.hpi", {{"C:\\", ""}, {"C:\\evil.txt", "e"}, {"ok.txt", "ok"}}}, {"up.hpi", {{"..", "e"}}}},
         false,
         {{"ok.txt", "ok"}},
         {"drive.hpi: C:: unsafe name (leaves the target)",
          "drive.hpi: C:\\evil.txt: unsafe name (leaves the target)", "up.hpi: damaged archive: bad name"}},
        {"a link in the target leading out of it",
         "out",
         {{"a.hpi", {{"units\\", ""}, {"units\\a.fbi", "A"}}}},
         true,
         {{"units", "-> "}},
         {"a.hpi: folder units: a file, folder or link is in the way",
          "a.hpi: units\\a.fbi: a file, folder or link is in the way"}},
        {"a disk that runs out of space",
         "out",
         {{"a.hpi", {{"big.bin", std::string(100000, 'b')}, {"small.txt", "s"}}}},
         false,
         {{"small.txt", "s"}},
         {"a.hpi: big.bin: file too large"},
         65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writer_test::ScratchDir scratch;
        const fs::path target = scratch / c.target;
        const std::vector<std::string> archives = dumptest::buildArchives(scratch.path(), c.archives);
        if (c.unitsLinksOut) {
            fs::create_directories(scratch / "outside");
            fs::create_directories(target);
            fs::create_directory_symlink(scratch / "outside", target / "units");
        }
        const Tree outsideBefore = snapshotOutside(scratch.path(), c.target);
        // Past the limit a write fails with EFBIG instead of ending the process.
        rlimit saved{}, limited{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        limited = {std::min(c.fileSizeLimit, saved.rlim_max), saved.rlim_max};
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limited);
        dumptest::Recorder progress;
        progress.writes = false;
        const Outcome dumped = extract(archives, target, 1, std::move(progress));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        Tree expected = c.expected;
        if (c.unitsLinksOut)
            expected["units"] += (scratch / "outside").string();
        EXPECT_EQ(dumped.tree, expected);
        EXPECT_EQ(snapshotOutside(scratch.path(), c.target), outsideBefore);
        EXPECT_EQ(dumped.rowsLeft, 0);
        if (!c.calls.empty()) {
            EXPECT_EQ(dumped.calls, c.calls);
        }
        std::string reasons;
        for (const std::string& failure : dumped.failures)
            reasons += failure + "\n";
        EXPECT_EQ(dumped.failures.size(), c.failures.size()) << reasons;
        for (const std::string& failure : c.failures)
            EXPECT_NE(reasons.find(failure), std::string::npos) << failure << "\n" << reasons;
    }
}

// Each failure is told by its archive, its entry and its cause as a person
// reads them; the disk is the scratch folder itself.
TEST(ExtractArchives, EachFailureNamesItsArchiveItsEntryAndItsCause)
{
    writer_test::ScratchDir scratch;
    const fs::path damaged = hpi::test::testdata_dir() / "damaged/bad-checksum.ufo";
    const std::string longName = std::string(120, 'l') + "\\" + std::string(140, 'n') + ".txt";
    buildArchive(scratch / "long.hpi",
                 {{longName.substr(0, 120) + "\\", ""}, {longName, "x"}, {"ok.txt", "ok"}});
    writer_test::write_file(scratch / "v2.hpi",
                            hpi::test::V2Builder().file("..", hpi::test::bytes_of("up")).build().bytes);
    const struct {
        const char* what;
        fs::path archive;
        std::vector<std::string> lines;
    } cases[] = {
        {"a damaged entry, in the words of quarrix-cli test",
         damaged,
         {damaged.string() + ": noise.bin: damaged entry: checksum mismatch (chunk 1 of 2 at offset 147: "
                             "checksum 0x007F8F96 expected 0x007F8F97)"}},
        {"a missing archive",
         scratch / "gone.hpi",
         {(scratch / "gone.hpi").string() + ": no such file or folder"}},
        {"a name too long for the listing",
         scratch / "long.hpi",
         {(scratch / "long.hpi").string() + ": " + longName +
          ": name too long (over 255 bytes, not extracted)"}},
        {"a version-2 file whose name is no single level",
         scratch / "v2.hpi",
         {(scratch / "v2.hpi").string() + ": ..: damaged entry: bad name (not extracted)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(extract({c.archive}, scratch / "out").failures, c.lines);
    }
    EXPECT_TRUE(fs::exists(scratch / "out/ok.txt")) << "the rest of an archive is still extracted";
}

// A stop asked for by a signal gives up the file in hand without calling it
// a failure of that file: the run as a whole reports the interruption.
TEST(ExtractArchives, AStopRequestedByASignalLeavesNoFileAndNoFailureOfItsOwn)
{
    writer_test::ScratchDir scratch;
    const fs::path archive = buildArchive(scratch / "a.hpi", {{"a.txt", "a"}, {"b.txt", "b"}});
    platform::StopSignalScope signals;
    platform::RequestStop(SIGINT);
    const Outcome dumped = extract({archive}, scratch / "out");
    EXPECT_EQ(dumped.failures, std::vector<std::string>{});
    EXPECT_TRUE(dumped.tree.empty());
}

// The walk before a pack ends at the entry after the stop, however much of
// the tree is left, and without a failure of its own.
TEST(WalkFolderForPacking, EndsAtTheNextEntryOnceAStopIsRequested)
{
    writer_test::ScratchDir scratch;
    for (const char* file : {"a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.txt"}) {
        fs::create_directories((scratch / "tree" / file).parent_path());
        writer_test::write_file(scratch / "tree" / file, std::string("x"));
    }
    struct StoppingTarget final : dump::PackingTarget {
        std::size_t stopAt = 0;  // the entry whose adding meets the stop; 0: before the walk
        std::size_t added = 0;
        hpiutil::Failure AddFolder(const std::string&) override { return Add(); }
        hpiutil::Failure AddFile(const std::string&, const std::string&) override { return Add(); }
        hpiutil::Failure Add()
        {
            if (++added == stopAt)
                platform::RequestStop(SIGTERM);
            return {};
        }
    };
    for (const std::size_t stopAt : {0, 1, 3}) {
        SCOPED_TRACE(stopAt);
        platform::StopSignalScope signals;
        if (stopAt == 0)
            platform::RequestStop(SIGINT);
        StoppingTarget target;
        target.stopAt = stopAt;
        dump::DumpFailures failures;
        dump::WalkFolderForPacking((scratch / "tree").string(), std::string(), target, failures, "new.hpi");
        EXPECT_EQ(target.added, stopAt) << "of 6 entries";
        EXPECT_TRUE(failures.Empty()) << failures.Lines();
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

// A first consolidated dump cannot create its archive (a missing target, a
// name leading out of it): the temporary folder stays, and the next one packs
// those files with its own.
TEST(CreateMonolithic, PacksTheUnionOfTheArchivesLaterOnesWinningAndLosesNoFile)
{
    writer_test::ScratchDir scratch;
    const std::vector<std::string> archives = {
        buildArchive(scratch / "1.hpi", {{"units\\", ""}, {"units\\a.fbi", "first"}, {"empty.txt", ""}}),
        buildArchive(scratch / "2.ufo", {{"UNITS\\", ""}, {"UNITS\\A.FBI", "second"}, {"b.txt", "b"}}),
        buildArchive(scratch / "3.gp4", {{"maps\\", ""}}),
    };
    const fs::path temp = scratch / "temp";
    fs::create_directories(scratch / "target");
    fs::create_directories(temp);
    writer_test::write_file(temp / "left.txt", std::string("left over"));
    for (const auto& [target, name] : {std::pair{"missing", "Pack.ufo"}, {"target", "../escape.ufo"}}) {
        PackingRecorder host;
        dump::DumpFailures failures;
        dump::CreateMonolithic((scratch / target).string(), name, temp.string(), host, failures);
        EXPECT_EQ(host.calls, std::vector<std::string>{"Message Error on HPICreate"}) << name;
        EXPECT_EQ(failures.Items().size(), 1u) << name;
    }
    ASSERT_TRUE(extract(archives, temp).failures.empty());
    PackingRecorder host;
    dump::DumpFailures failures;
    dump::CreateMonolithic((scratch / "target").string(), "Pack.ufo", temp.string() + "/", host, failures);

    EXPECT_TRUE(failures.Empty()) << failures.Lines();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"PackingStarts", "Start Creating monolithic archive",
                                                    "PackingEnds", "DeleteFolder"}));
    const Outcome repacked = extract({scratch / "target/Pack.ufo"}, scratch / "repacked");
    ASSERT_TRUE(repacked.failures.empty());
    EXPECT_EQ(scratch.listing(), (std::vector<std::string>{"1.hpi", "2.ufo", "3.gp4", "repacked", "target"}));
    EXPECT_EQ(repacked.tree, (Tree{{"b.txt", "b"},
                                   {"empty.txt", ""},
                                   {"left.txt", "left over"},
                                   {"maps/", ""},
                                   {"units/", ""},
                                   {"units/a.fbi", "second"}}));
}

TEST(TextRules, BaseNamesNamesFromBuffersAndTheFailureListCap)
{
    const std::pair<std::string, std::string> baseNames[] = {{"C:\\Games\\Data\\units.ufo", "units"},
                                                             {"a.b.c", "a"},
                                                             {"C:\\x\\.cfg", ""},
                                                             {"/data/pack/b.gp3", "b"}};
    for (const auto& [path, expected] : baseNames)
        EXPECT_EQ(dump::GetBaseName(path), expected) << path;
    EXPECT_EQ(dump::StripNull(std::string("units\0   ", 9)), "units");
    EXPECT_EQ(dump::StripNull("units   "), "units");
    const std::string noEnd(256, 'x');
    EXPECT_EQ(Callback::BytesToString(noEnd.c_str()), "");
    EXPECT_EQ(Callback::BytesToString(noEnd.substr(0, 255).c_str()), noEnd.substr(0, 255));

    dump::DumpFailures failures;
    for (int i = 0; i < 22; ++i)
        failures.Add("a.hpi", "e" + std::to_string(i),
                     hpiutil::Because(hpiutil::Cause::Other, "reason " + std::to_string(i)));
    const std::string lines = failures.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 20);
    EXPECT_TRUE(lines.ends_with("a.hpi: e19: reason 19\n... and 2 more")) << lines;

    // One cause for every failure (a full disk) is said once, at the top.
    dump::DumpFailures full;
    full.Add("a.hpi", "x.bos", hpiutil::FromSystem(std::make_error_code(std::errc::no_space_on_device)));
    full.AddFolder("b.hpi", "units",
                   hpiutil::FromSystem(std::make_error_code(std::errc::no_space_on_device)));
    EXPECT_EQ(full.Lines(), "All 2 failures: no space left on device\na.hpi: x.bos\nb.hpi: folder units");
    full.Add("c.hpi", std::string(), hpiutil::Because(hpiutil::Cause::NotAnArchive));
    EXPECT_EQ(full.Lines(),
              "a.hpi: x.bos: no space left on device\nb.hpi: folder units: no space left on device\n"
              "c.hpi: not an archive");
}

}  // namespace

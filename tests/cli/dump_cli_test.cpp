// quarrix-cli extract, pack and dump as a user meets them: trees that come
// back as they went in, whatever the method or the dump mode, and failures
// that end in a summary and exit status 1.
#include "run_cli.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../dump/small_tmpfs.h"
#include "../dump/tree_snapshot.h"
#include "dump/folder_walk.h"
#include "dump/monolithic.h"
#include "hpiutil/hpiutil.h"
#include "support/archive_builder.h"
#include "support/manifest.h"
#include "support/writer_view.h"

#include <sys/stat.h>

#include <algorithm>
#include <regex>
#include <set>

namespace {

namespace fs = std::filesystem;
using dumptest::snapshot;

void make_tree(const fs::path& root, const std::vector<std::pair<std::string, std::string>>& files)
{
    for (const auto& [name, content] : files) {
        fs::create_directories((root / name).parent_path());
        writer_test::write_file(root / name, content);
    }
}

// Trees packed with the three methods and both versions, names overlapping
// across versions, dumped both ways; a consolidated dump is version 1.
TEST(CliDump, UnpackedAndConsolidatedDumpsGiveTheSameTreeWhateverThePackingMethodAndVersion)
{
    writer_test::ScratchDir scratch;
    make_tree(scratch / "one", {{"units/a.fbi", "first"}, {"readme.txt", "one"}, {"empty.txt", ""}});
    make_tree(scratch / "two", {{"UNITS/A.FBI", "second"}, {"maps/deep/island.txt", std::string(5000, 's')}});
    make_tree(scratch / "three", {{"caf\xc3\xa9.txt", "accented"}});
    make_tree(scratch / "four", {{"Units/a.FBI", "fourth, version 2"},
                                 {"maps/Deep/v2.txt", std::string(70000, '2')},
                                 {"readme.TXT", ""}});
    fs::create_directories(scratch / "scan");  // pack makes scan/sub/later itself
    writer_test::write_file(scratch / "scan/notes.txt", std::string("not an archive type"));
    for (const auto& [tree, archive, method, format] : {std::tuple{"one", "scan/one.hpi", "zlib", "2"},
                                                        {"two", "scan/sub/two.ufo", "lz77", "1"},
                                                        {"three", "scan/sub/x.ufo", "store", "2"},
                                                        {"four", "scan/sub/later/four.hpi", "zlib", "2"}})
        ASSERT_EQ(run_cli({"pack", (scratch / tree).string(), "-o", (scratch / archive).string(), "--method",
                           method, "--level", "9", "--threads", "2", "--format", format})
                      .status,
                  0);

    const Outcome unpacked = run_cli({"dump", (scratch / "scan").string(), "-o",
                                      (scratch / "unpacked").string(), "-r", "--types", "hpi|ufo"});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    const Outcome consolidated =
        run_cli({"dump", (scratch / "scan").string(), "-o", (scratch / "packed").string(), "-r", "--types",
                 "hpi,ufo", "--consolidated", "All.ufo"});
    ASSERT_EQ(consolidated.status, 0) << consolidated.err;
    EXPECT_EQ(snapshot(scratch / "packed").size(), 1u) << "the private temporary folder is gone";
    EXPECT_EQ(writer_test::u32_at(writer_test::read_file(scratch / "packed/All.ufo"), 4), 0x00010000u);
    ASSERT_EQ(run_cli({"extract", (scratch / "packed/All.ufo").string(), "-o", (scratch / "again").string()})
                  .status,
              0);

    EXPECT_EQ(snapshot(scratch / "again"), snapshot(scratch / "unpacked"));
    // The scan lists a folder's files before its subfolders: two.ufo comes
    // after one.hpi, four.hpi last, and the later one wins under the first
    // spelling.
    EXPECT_EQ(snapshot(scratch / "unpacked"),
              (dumptest::Tree{{"units/", ""},
                              {"units/a.fbi", "fourth, version 2"},
                              {"readme.txt", ""},
                              {"empty.txt", ""},
                              {"maps/", ""},
                              {"maps/deep/", ""},
                              {"maps/deep/island.txt", std::string(5000, 's')},
                              {"maps/deep/v2.txt", std::string(70000, '2')},
                              {"café.txt", "accented"}}));
}

TEST(CliDump, FailuresAreSummarisedAndEndWithStatusOne)
{
    writer_test::ScratchDir scratch;
    writer_test::write_file(scratch / "junk.ufo", std::string("junk"));
    fs::create_directories(scratch / "scan");
    writer_test::write_file(scratch / "scan/drive.hpi",
                            hpi::test::archive_of({{"C:x", "x"}, {"ok.txt", "ok"}}));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string shown;
    } cases[] = {
        {{"extract", (scratch / "junk.ufo").string(), "-o", (scratch / "out").string()},
         1,
         "junk.ufo: not an archive\nquarrix-cli: 1 problem\n"},
        {{"dump", (scratch / "scan").string(), "-o", (scratch / "dumped").string(), "--types", "hpi"},
         1,
         "drive.hpi: C:x: unsafe name (leaves the target)\nquarrix-cli: 1 problem\n"},
        {{"pack", (scratch / "missing").string(), "-o", (scratch / "m.hpi").string()},
         1,
         "missing: no such file or folder"},
        {{"--version"}, 0, "quarrix-cli 2.1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const Outcome result = run_cli(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE((result.out + result.err).find(c.shown), std::string::npos) << result.out << result.err;
    }
}

// A disk that fills up, and one that is read-only: the report says the cause
// once, then the entries.
TEST(CliDump, AFullOrReadOnlyDiskIsSaidOnceAtTheTopOfTheReport)
{
    writer_test::ScratchDir scratch;
    make_tree(scratch / "tree", {{"a.bin", std::string(150000, 'a')}, {"b.bin", std::string(150000, 'b')}});
    const std::string a = (scratch / "scan/a.hpi").string();
    ASSERT_EQ(run_cli({"pack", (scratch / "tree").string(), "-o", a, "--method", "store"}).status, 0);
    const struct {
        const char* command;
        bool readOnly;
        const char* cause;
    } cases[] = {{"extract", false, "no space left on device"}, {"dump", true, "read-only file system"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const fs::path target = scratch / (c.readOnly ? "ro" : "full");
        const dumptest::SmallTmpfs disk(target, 100000, c.readOnly);
        if (!disk.mounted())
            GTEST_SKIP() << disk.whyNot();
        const Outcome result =
            run_cli(c.command == std::string("extract")
                        ? std::vector<std::string>{"extract", a, "-o", target.string()}
                        : std::vector<std::string>{"dump", (scratch / "scan").string(), "-o", target.string(),
                                                   "--types", "hpi"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "quarrix-cli: All 2 failures: " + std::string(c.cause) + "\nquarrix-cli: " + a +
                                  ": a.bin\nquarrix-cli: " + a + ": b.bin\nquarrix-cli: 2 problems\n");
    }
}

// On a terminal pack's bar counts the files as they are packed: its first
// frame has the first file in hand, and the figure only grows.
TEST(CliDump, PacksProgressBarCountsTheFiles)
{
    writer_test::ScratchDir scratch;
    make_tree(scratch / "tree", {{"a.txt", "a"}, {"b.txt", "b"}, {"sub/c.bin", std::string(300000, 'c')}});
    const Outcome packed =
        run_cli({"pack", (scratch / "tree").string(), "-o", (scratch / "p.hpi").string()}, true);
    ASSERT_EQ(packed.status, 0) << packed.err;
    std::vector<int> figures;
    const std::regex files("  ([0-9]+) files?  ");
    for (auto it = std::sregex_iterator(packed.err.begin(), packed.err.end(), files);
         it != std::sregex_iterator(); ++it)
        figures.push_back(std::stoi((*it)[1]));
    ASSERT_FALSE(figures.empty()) << packed.err;
    EXPECT_EQ(figures.front(), 1) << packed.err;
    EXPECT_TRUE(std::is_sorted(figures.begin(), figures.end()) && figures.back() <= 3) << packed.err;
}

// What a failure says, without the archive it is reported under.
std::set<std::string> entriesAndCauses(const std::vector<std::string>& lines, const std::string& archive)
{
    std::set<std::string> kept;
    for (std::string line : lines) {
        if (line.starts_with("quarrix-cli: "))
            line.erase(0, 13);
        if (line.starts_with(archive + ": "))
            kept.insert(line.substr(archive.size() + 2));
    }
    return kept;
}

// quarrix-cli pack and the consolidated dump's AddDirectory walk a folder the
// same way: each refuses a link that makes a cycle, a name that differs only
// in case from one already taken, a name outside Windows-1252 and a named
// pipe, and says so in the same words.
TEST(CliDump, PackAndTheConsolidatedDumpWalkATreeWithOneSetOfRules)
{
    writer_test::ScratchDir scratch;
    const fs::path tree = scratch / "tree";
    make_tree(tree, {{"a.txt", "a"}, {"A.TXT", "b"}, {"sub/c.txt", "c"}, {"\xce\xa9mega.txt", "omega"}});
    fs::create_directory_symlink(tree, tree / "sub/loop");
    ASSERT_EQ(::mkfifo((tree / "sub/pipe").c_str(), 0600), 0);

    const Outcome packed = run_cli({"pack", tree.string(), "-o", (scratch / "p.hpi").string()});
    EXPECT_EQ(packed.status, 1);
    std::vector<std::string> packLines;
    for (std::size_t start = 0, end; (end = packed.err.find('\n', start)) != std::string::npos;
         start = end + 1)
        packLines.push_back(packed.err.substr(start, end - start));

    const std::string archive = (scratch / "d.hpi").string();
    const std::int32_t handle = HPICreate(archive.c_str(), nullptr);
    ASSERT_NE(handle, 0);
    struct Recording final : quarrix::dump::MonolithicHost {
        std::vector<std::string> messages;
        void Message(const std::string& text) override { messages.push_back(text); }
        void PackingStarts() override {}
        void PackingEnds() override {}
        void DeleteFolder(const std::string&) override {}
        void Start(const std::string&, const std::string&) override {}
        void Update(std::int32_t, std::int32_t) override {}
    } host;
    quarrix::dump::DumpFailures failures;
    quarrix::dump::AddDirectory(handle, tree.string(), std::string(), host, failures, archive);
    HPIClose(handle);

    const std::set<std::string> fromPack = entriesAndCauses(packLines, (scratch / "p.hpi").string());
    EXPECT_EQ(fromPack, entriesAndCauses(failures.ReportLines(), archive));
    EXPECT_EQ(host.messages, std::vector<std::string>{}) << "the walk's refusals are told only in its report";
    ASSERT_EQ(fromPack.size(), 4u) << packed.err;
    EXPECT_EQ(fromPack.count("folder sub\\loop: a link to a folder (not followed)"), 1u);
    EXPECT_EQ(fromPack.count("sub\\pipe: not a regular file"), 1u);
    EXPECT_EQ(fromPack.count("\xce\xa9mega.txt: name outside Windows-1252"), 1u);
    const auto collision = std::count_if(fromPack.begin(), fromPack.end(), [&](const std::string& line) {
        return line == "A.TXT: differs only in case from " + (tree / "a.txt").string() ||
               line == "a.txt: differs only in case from " + (tree / "A.TXT").string();
    });
    EXPECT_EQ(collision, 1);
}

}  // namespace

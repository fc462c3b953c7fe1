// quarrix-cli extract, pack and dump as a user meets them: trees that come
// back as they went in, whatever the method or the dump mode, and failures
// that end in a summary and exit status 1.
#include "run_cli.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../dump/tree_snapshot.h"
#include "support/writer_view.h"

namespace {

namespace fs = std::filesystem;
using dumptest::snapshot;

void make_tree(const fs::path& root, const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files) {
        fs::create_directories((root / name).parent_path());
        writer_test::write_file(root / name, content);
    }
}

// Trees packed with the three methods and both versions, names overlapping
// across versions, dumped both ways; a consolidated dump is version 1.
TEST(CliDump, UnpackedAndConsolidatedDumpsGiveTheSameTreeWhateverThePackingMethodAndVersion) {
    writer_test::ScratchDir scratch;
    make_tree(scratch / "one", {{"units/a.fbi", "first"}, {"readme.txt", "one"}, {"empty.txt", ""}});
    make_tree(scratch / "two", {{"UNITS/A.FBI", "second"}, {"maps/deep/island.txt", std::string(5000, 's')}});
    make_tree(scratch / "three", {{"caf\xc3\xa9.txt", "accented"}});
    make_tree(scratch / "four", {{"Units/a.FBI", "fourth, version 2"}, {"maps/Deep/v2.txt", std::string(70000, '2')},
                                 {"readme.TXT", ""}});
    fs::create_directories(scratch / "scan/sub/later");
    writer_test::write_file(scratch / "scan/notes.txt", std::string("not an archive type"));
    for (const auto& [tree, archive, method, format] :
         {std::tuple{"one", "scan/one.hpi", "zlib", "2"}, {"two", "scan/sub/two.ufo", "lz77", "1"},
          {"three", "scan/sub/x.ufo", "store", "2"}, {"four", "scan/sub/later/four.hpi", "zlib", "2"}})
        ASSERT_EQ(run_cli({"pack", (scratch / tree).string(), "-o", (scratch / archive).string(), "--method", method,
                           "--level", "9", "--threads", "2", "--format", format}).status, 0);

    const Outcome unpacked = run_cli(
        {"dump", (scratch / "scan").string(), "-o", (scratch / "unpacked").string(), "-r", "--types", "hpi|ufo"});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    const Outcome consolidated = run_cli({"dump", (scratch / "scan").string(), "-o", (scratch / "packed").string(),
                                          "-r", "--types", "hpi,ufo", "--consolidated", "All.ufo"});
    ASSERT_EQ(consolidated.status, 0) << consolidated.err;
    EXPECT_EQ(snapshot(scratch / "packed").size(), 1u) << "the private temporary folder is gone";
    EXPECT_EQ(writer_test::u32_at(writer_test::read_file(scratch / "packed/All.ufo"), 4), 0x00010000u);
    ASSERT_EQ(run_cli({"extract", (scratch / "packed/All.ufo").string(), "-o", (scratch / "again").string()}).status, 0);

    EXPECT_EQ(snapshot(scratch / "again"), snapshot(scratch / "unpacked"));
    // The scan lists a folder's files before its subfolders: two.ufo comes
    // after one.hpi, four.hpi last, and the later one wins under the first
    // spelling.
    EXPECT_EQ(snapshot(scratch / "unpacked"),
              (dumptest::Tree{{"units/", ""}, {"units/a.fbi", "fourth, version 2"}, {"readme.txt", ""},
                              {"empty.txt", ""}, {"maps/", ""}, {"maps/deep/", ""},
                              {"maps/deep/island.txt", std::string(5000, 's')},
                              {"maps/deep/v2.txt", std::string(70000, '2')}, {"café.txt", "accented"}}));
}

TEST(CliDump, FailuresAreSummarisedAndEndWithStatusOne) {
    writer_test::ScratchDir scratch;
    make_tree(scratch / "tree", {{"a.txt", "a"}, {"A.TXT", "b"}});
    writer_test::write_file(scratch / "junk.ufo", std::string("junk"));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string shown;
    } cases[] = {
        {{"extract", (scratch / "junk.ufo").string(), "-o", (scratch / "out").string()}, 1,
         "junk.ufo: cannot be opened as an archive\nquarrix-cli: 1 problem\n"},
        {{"pack", (scratch / "tree").string(), "-o", (scratch / "t.hpi").string()}, 1, "differs only in case from"},
        {{"pack", (scratch / "missing").string(), "-o", (scratch / "m.hpi").string()}, 1, "missing: not a folder"},
        {{"--version"}, 0, "quarrix-cli 2.1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const Outcome result = run_cli(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE((result.out + result.err).find(c.shown), std::string::npos) << result.out << result.err;
    }
}

}  // namespace

// The merged view against the dump itself: for each set of archives the
// view's folders and files, spelled and filled as it says, are the tree that
// dump::ExtractArchives writes on an empty target, and the entries the view
// refuses are the ones the dump reports, in the same order. Then the copies
// a conflict compares.
#include "collection/conflicts.h"
#include "collection/merged_view.h"

#include <gtest/gtest.h>

#include "../dump/extraction_run.h"

namespace {

namespace fs = std::filesystem;
using namespace quarrix;
using dumptest::buildArchives;
using dumptest::Entries;
using dumptest::Tree;
using hpi::test::Bytes;

std::string content_of(const collection::MergedView& view, const collection::Copy& copy)
{
    Bytes bytes;
    EXPECT_FALSE(hpi::test::read_all(view.archive_of(copy), copy.entry, bytes));
    return std::string(bytes.begin(), bytes.end());
}

// The view as the snapshot of a folder shows it.
Tree tree_of(const collection::MergedView& view)
{
    Tree tree;
    for (collection::NodeId id = 1; id < view.nodes().size(); ++id) {
        const collection::Node& node = view.node(id);
        if (node.is_folder)
            tree[view.path_of(id, '/') + "/"] = "";
        else
            tree[view.path_of(id, '/')] = content_of(view, node.kept());
    }
    return tree;
}

TEST(MergedView, IsTheTreeTheDumpWritesAndRefusesWhatTheDumpReports)
{
    const std::string long_name(300, 'n');
    const struct {
        const char* what;
        std::vector<std::pair<std::string, Entries>> archives;
        std::vector<std::string> refused;  // "archive: entry", in the dump's order
    } cases[] = {
        {"overlapping archives in other cases, empty folders and files",
         {{"a.hpi",
           {{"units\\", ""},
            {"units\\ARMCOM.FBI", "a1"},
            {"units\\Core.fbi", "c"},
            {"readme.txt", "r"},
            {"Scripts\\", ""},
            {"empty\\", ""}}},
          {"b.ufo",
           {{"UNITS\\", ""},
            {"UNITS\\armcom.fbi", "b1"},
            {"UNITS\\New.fbi", "n"},
            {"scripts\\", ""},
            {"scripts\\x.bos", ""},
            {"README.TXT", "R"},
            {"sounds\\", ""},
            {"sounds\\Fx\\", ""}}},
          {"c.gp3", {{"Units\\", ""}, {"Units\\core.FBI", "zlib:" + std::string(70000, 'z')}}}},
         {}},
        {"one archive: two spellings of a folder and of a file, a path twice, a file before its folder",
         {{"a.hpi",
           {{"Data\\", ""},
            {"Data\\x.txt", "first"},
            {"data\\", ""},
            {"data\\X.TXT", "second"},
            {"data\\y.txt", "y"},
            {"dup", "1"},
            {"dup", "2"},
            {"x", "file"},
            {"X\\", ""},
            {"X\\in.txt", "i"}}}},
         {"a.hpi: x"}},
        {"a file where a later archive has a folder, and the other way round",
         {{"a.hpi", {{"units", "file"}, {"maps\\", ""}, {"maps\\m.tnt", "m"}}},
          {"b.hpi", {{"UNITS\\", ""}, {"UNITS\\a.fbi", "A"}, {"UNITS\\deep\\", ""}, {"MAPS", "file"}}},
          {"c.hpi", {{"Maps\\", ""}, {"Maps\\M.TNT\\", ""}, {"Maps\\M.TNT\\x", "x"}}}},
         {"b.hpi: UNITS", "b.hpi: UNITS\\deep", "b.hpi: UNITS\\a.fbi", "b.hpi: MAPS", "c.hpi: Maps\\M.TNT",
          "c.hpi: Maps\\M.TNT\\x"}},
        {"names that leave the target, one too long to be listed, an archive that is none",
         {{"a.hpi", {{"C:\\", ""}, {"C:\\evil.txt", "e"}, {"ok\\", ""}, {"ok\\" + long_name, "x"}}},
          {"junk.hpi", {}}},
         {"a.hpi: ok\\" + long_name, "a.hpi: C:", "a.hpi: C:\\evil.txt", "junk.hpi: "}},
        {"a version-2 archive over a version-1 one, with a file whose name is damaged",
         {{"a.hpi", {{"units\\", ""}, {"units\\a.fbi", "a"}, {"units\\b.fbi", "b"}}},
          {"v2-b.hpi",
           {{"Units\\", ""},
            {"Units\\A.FBI", "A"},
            {"Units\\..", "up"},
            {"Units\\tab\there", "t"},
            {"big.bin", std::string(70000, 'z')}}}},
         {"v2-b.hpi: Units\\..", "v2-b.hpi: Units\\tab\there"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writer_test::ScratchDir scratch;
        const std::vector<std::string> archives = buildArchives(scratch.path(), c.archives);

        const dumptest::Outcome dumped = dumptest::extract(archives, scratch / "out");
        const auto view = collection::MergedView::build(archives);

        EXPECT_EQ(tree_of(view), dumped.tree);
        // The same entries reported, in the same order, for the same causes.
        const dump::DumpFailures reported = view.failures();
        std::vector<std::string> lines, refused;
        for (const dump::DumpFailure& failure : reported.Items()) {
            lines.push_back(dump::FailureLine(failure));
            refused.push_back(fs::path(failure.archive).filename().string() + ": " + failure.entry);
        }
        EXPECT_EQ(lines, dumped.failures);
        EXPECT_EQ(refused, c.refused);
    }
}

TEST(MergedView, KnowsEachFilesProviderWhatItOverridesAndFindsNamesInAnyCase)
{
    writer_test::ScratchDir scratch;
    const auto view = collection::MergedView::build(buildArchives(
        scratch.path(),
        {{"a.hpi", {{"units\\", ""}, {"units\\ARMCOM.FBI", "1"}}},
         {"b.hpi", {{"readme", "r"}}},
         {"c.hpi", {{"UNITS\\", ""}, {"UNITS\\armcom.fbi", "3"}, {"UNITS\\Armcom.Fbi", "4"}}}}));
    const auto file = view.find("Units/armCOM.fbi");
    ASSERT_TRUE(file);
    EXPECT_EQ(view.path_of(*file), "units\\ARMCOM.FBI");
    const collection::Node& node = view.node(*file);
    EXPECT_EQ(node.member, 2u);
    EXPECT_EQ(content_of(view, node.kept()), "4");
    ASSERT_EQ(node.overridden.size(), 2u);
    EXPECT_EQ(node.overridden[0].member, 0u);
    EXPECT_EQ(node.overridden[1].member, 2u);
    EXPECT_EQ(view.node(*view.find("UNITS")).subfolders, 0u);
    EXPECT_EQ(view.node(collection::kRoot).subfolders, 1u);
    EXPECT_FALSE(view.find("units\\armcom.fbi\\x"));
    EXPECT_FALSE(view.find("nothing"));
}

TEST(Conflicts, SameOnlyWhenEveryOverriddenCopyHoldsTheKeptBytes)
{
    const std::string big(200000, 'q');
    std::string big_changed = big;
    big_changed[150000] = 'x';
    const struct {
        const char* what;
        std::string earlier;
        std::string later;
        bool identical;
        bool failed;
    } cases[] = {
        {"equal stored copies", "same bytes", "same bytes", true, false},
        {"equal empty files", "", "", true, false},
        {"one stored, one in zlib chunks, same bytes", big, "zlib:" + big, true, false},
        {"same size, one byte apart in the third chunk", "zlib:" + big, "zlib:" + big_changed, false, false},
        {"different sizes", "abc", "abcd", false, false},
        {"a damaged copy of the same size", "zlib:" + big, "bad:" + big, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writer_test::ScratchDir scratch;
        const auto view = collection::MergedView::build(buildArchives(
            scratch.path(), {{"1.hpi", {{"f.bin", c.earlier}}}, {"2.hpi", {{"F.BIN", c.later}}}}));
        const collection::Node& node = view.node(*view.find("f.bin"));
        const collection::Comparison comparison =
            collection::compare_copies(view, node.kept(), node.overridden[0]);
        EXPECT_EQ(comparison.identical, c.identical);
        EXPECT_EQ(bool(comparison.error), c.failed) << comparison.error.message;
        if (c.failed) {
            EXPECT_EQ(comparison.error.kind, hpi::ErrorKind::BadChecksum);
            EXPECT_EQ(comparison.failed.member, 1u);
        }
    }
}

TEST(Conflicts, ListsFilesOfMoreThanOneArchiveWithTheOtherArchivesInDumpOrder)
{
    writer_test::ScratchDir scratch;
    const auto view = collection::MergedView::build(
        buildArchives(scratch.path(), {{"1.hpi", {{"a.txt", "A"}, {"b.txt", "B"}, {"only.txt", "o"}}},
                                       {"2.hpi", {{"A.TXT", "A"}, {"twice", "1"}, {"TWICE", "2"}}},
                                       {"3.hpi", {{"a.txt", "A"}, {"B.txt", "b"}}}}));
    std::vector<std::string> seen;
    collection::for_each_conflict(view, [&](const collection::Conflict& conflict) {
        std::string line = view.path_of(conflict.file) + " kept " +
                           std::to_string(view.node(conflict.file).member) + " over";
        for (std::uint32_t member : conflict.overridden)
            line += " " + std::to_string(member);
        seen.push_back(line + (conflict.identical ? " same" : " differs"));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"a.txt kept 2 over 0 1 same", "b.txt kept 2 over 0 differs"}));
}

// The copies a dump reports written, by archive and listed name, decide
// which archive each file is kept from; a file lost afterwards is named in
// any case.
TEST(Overlaps, NameTheLastArchiveWhoseCopyWasWrittenAndCapTheLines)
{
    writer_test::ScratchDir scratch;
    const auto view = collection::MergedView::build(buildArchives(
        scratch.path(),
        {{"1.hpi", {{"a.txt", "A"}, {"b.txt", "B"}, {"sub\\", ""}, {"sub\\d.txt", "D"}, {"subway.txt", "W"}}},
         {"2.hpi",
          {{"A.TXT", "A"},
           {"b.txt", "b"},
           {"c.txt", "c"},
           {"SUB\\", ""},
           {"SUB\\D.TXT", "d"},
           {"subway.txt", "w"}}},
         {"3.hpi", {{"c.txt", "C"}}}}));
    const std::string first = view.members()[0].path;
    const std::string second = view.members()[1].path;
    collection::Overlaps overlaps(view);
    for (const auto& [archive, entry] :
         std::vector<std::pair<std::string, std::string>>{{first, "a.txt"},
                                                          {second, "A.TXT"},
                                                          {first, "b.txt"},
                                                          {second, "SUB\\D.TXT"},
                                                          {first, "subway.txt"}})
        overlaps.written(archive, entry);
    EXPECT_EQ(overlaps.lines(200), "a.txt: kept from " + second + "\nb.txt: kept from " + first +
                                       "\nsub\\d.txt: kept from " + second + "\nsubway.txt: kept from " +
                                       first + "\nc.txt: not written");
    // The packing refused a file, and a folder with what it holds.
    overlaps.lost("B.TXT");
    overlaps.lost("Sub", true);
    EXPECT_EQ(overlaps.lines(4), "a.txt: kept from " + second +
                                     "\nb.txt: not written\nsub\\d.txt: not written" +
                                     "\nsubway.txt: kept from " + first + "\n... and 1 more");
}

}  // namespace

// quarrix-cli conflicts as a script reads it: the lines, the JSON objects,
// the summary, and the exit status with the failing archive's cause.
#include "run_cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/archive_builder.h"
#include "support/writer_view.h"

namespace {

namespace fs = std::filesystem;

std::string archive(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& entries)
{
    writer_test::write_file(file, hpi::test::archive_of(entries));
    return file.string();
}

TEST(CliConflicts, PlainAndJsonLinesNameThePathTheKeptAndTheOverriddenArchives)
{
    writer_test::ScratchDir scratch;
    fs::create_directories(scratch / "mods/sub");
    const std::string a =
        archive(scratch / "a.hpi",
                {{"units\\", ""}, {"units\\Scout.fbi", "1"}, {"same.txt", "s"}, {"only.txt", "o"}});
    const std::string b = archive(scratch / "mods/b.ufo", {{"UNITS\\", ""}, {"UNITS\\SCOUT.FBI", "2"}});
    const std::string c =
        archive(scratch / "mods/sub/c.gp3", {{"Same.TXT", "s"}, {"units\\", ""}, {"units\\scout.fbi", "3"}});
    writer_test::write_file(scratch / "mods/sub/ignored.hpi", std::string("not of the types asked for"));
    const std::string expected_plain = "units\\Scout.fbi\t" + c + "\t" + a + "\t" + b + "\tdiffers\n" +
                                       "same.txt\t" + c + "\t" + a + "\tsame\n";

    const Outcome plain = run_cli({"conflicts", a, (scratch / "mods").string(), "-r", "--types", "ufo,gp3"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, expected_plain);
    EXPECT_EQ(plain.err, "2 files in more than one archive, 1 of them different\n");

    const Outcome json = run_cli({"conflicts", "--json", a, b, c});
    EXPECT_EQ(json.status, 0) << json.err;
    std::istringstream lines(json.out);
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 2u) << json.out;
    EXPECT_EQ(objects[0], nlohmann::json::parse(nlohmann::json{
                              {"path", "units\\Scout.fbi"},
                              {"kept", c},
                              {"overridden", {a, b}},
                              {"identical", false}}.dump()));
    EXPECT_EQ(objects[1]["overridden"], nlohmann::json::array({a}));
    EXPECT_EQ(objects[1]["identical"], true);
    EXPECT_EQ(objects[1].size(), 4u);
}

// Mount points are checked before any mount is tried, so these need no FUSE.
TEST(CliConflictsAndMount, FailuresAreReportedWithTheirCauseAndEndWithStatusOne)
{
    writer_test::ScratchDir scratch;
    fs::create_directory(scratch / "empty");
    const std::string good = archive(scratch / "good.hpi", {{"big.bin", std::string(70000, 'g')}});
    const std::string damaged =
        archive(scratch / "damaged.hpi", {{"BIG.BIN", "bad:" + std::string(70000, 'g')}});
    const std::string missing = (scratch / "missing.hpi").string();
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::vector<std::string> err;
    } cases[] = {
        {{"conflicts", good, damaged},
         1,
         "big.bin\t" + damaged + "\t" + good + "\tdiffers\n",
         {"quarrix-cli: " + damaged + ": BIG.BIN: damaged entry: checksum mismatch (chunk 2 of 2",
          "\n1 file in more than one archive, 1 of them different\n"}},
        {{"conflicts", good, missing},
         1,
         "",
         {"quarrix-cli: " + missing + ": no such file or folder\n", "0 files in more than one archive"}},
        {{"conflicts"}, 2, "", {"SOURCE is required"}},
        {{"mount", good, (scratch / "none").string()},
         1,
         "",
         {(scratch / "none").string() + ": no such folder"}},
        {{"mount", good, good}, 1, "", {good + ": not a folder"}},
        {{"mount", good, scratch.path().string()},
         1,
         "",
         {scratch.path().string() + ": not an empty folder"}},
        {{"mount", good, missing, (scratch / "empty").string()},
         1,
         "",
         {missing + ": no such file or folder\n"}},
        {{"mount", (scratch / "empty").string()}, 2, "", {"give at least one SOURCE and the mount point"}},
        {{"conflicts", scratch.path().string(), "--types", "toolong"},
         2,
         "",
         {"'toolong' is not a three-character"}},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run_cli(c.args);
        EXPECT_EQ(outcome.status, c.status) << c.args.back() << outcome.err;
        EXPECT_EQ(outcome.out, c.out);
        for (const std::string& piece : c.err)
            EXPECT_NE(outcome.err.find(piece), std::string::npos) << outcome.err;
    }
}

}  // namespace

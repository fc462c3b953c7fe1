// quarrix-cli as a user meets it: the text of list, the bytes of cat, the
// verdict of test, and the exit status of each, including usage errors.
#include "run_cli.h"

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <hpi/hpi.h>

#include "hpiutil_testkit.h"
#include "support/v2_builder.h"

namespace {

using testkit::fixture;

std::string manifest_listing(const std::string& archive)
{
    std::string text;
    for (const auto& row : testkit::manifest_rows(archive)) {
        text += row.is_directory ? "d\t-\t" : "f\t" + std::to_string(row.size) + "\t";
        text += row.path + "\n";
    }
    return text;
}

TEST(CliList, SeveralArchivesAreHeadedAndAFailureDoesNotStopTheOthers)
{
    const Outcome result = run_cli(
        {"list", fixture("stored.hpi"), fixture("damaged/not-an-archive.hpi"), fixture("encrypted.hpi")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, fixture("stored.hpi") + ":\n" + manifest_listing("stored.hpi") + "\n" +
                              fixture("damaged/not-an-archive.hpi") + ":\n\n" + fixture("encrypted.hpi") +
                              ":\n" + manifest_listing("encrypted.hpi"));
    EXPECT_NE(result.err.find(fixture("damaged/not-an-archive.hpi") + ": not an archive"), std::string::npos)
        << result.err;
}

// A version-2 file whose name is no single level is listed like the others,
// and what is wrong with it goes to standard error.
TEST(CliList, AVersion2FileWhoseNameIsDamagedIsShownWithItsFailure)
{
    testkit::ScratchDir scratch;
    const std::string v2 = (scratch / "v2.hpi").string();
    testkit::write_file(v2, hpi::test::V2Builder()
                                .folder("d")
                                .file("d\\fine", hpi::test::bytes_of("fine"))
                                .file("d\\tab\there", hpi::test::bytes_of("x"))
                                .build()
                                .bytes);
    const std::string why = "d\\tab?here: damaged entry: bad name (name is not a single path level)\n";
    const struct {
        const char* command;
        std::string out, err;
    } cases[] = {
        {"list", "d\t-\td\nf\t4\td\\fine\nf\t1\td\\tab?here\n", "quarrix-cli: " + v2 + ": " + why},
        {"test", "", v2 + ": " + why},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const Outcome result = run_cli({c.command, v2});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

// The reader's own tests check every fixed file byte for byte; here cat passes
// the bytes of one file through, found by slashes, any ASCII case or UTF-8.
TEST(CliCat, WritesTheEntryFoundBySlashesAnyAsciiCaseOrItsUtf8Name)
{
    const std::vector<std::array<std::string, 3>> cases = {
        // archive, typed path, stored path
        {"zlib.ufo", "WEAPONS/Small.TDF", "weapons\\small.tdf"},
        {"encrypted.hpi", "units/café crème.fbi", "units\\Café crème.fbi"},
        {"lz77.gp3", "scripts\\corcom.cob", "scripts\\corcom.cob"},
    };
    for (const auto& [archive, typed, stored] : cases) {
        SCOPED_TRACE(typed);
        const Outcome result = run_cli({"cat", fixture(archive), typed});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(testkit::sha256_hex(result.out), testkit::manifest_sha256(archive, stored));
    }
}

TEST(CliCat, MissingEntriesDirectoriesAndDamagedDataFailNamingTheArchive)
{
    struct Case {
        std::string archive, path, expected_error;
    };
    const std::vector<Case> cases = {
        {fixture("stored.hpi"), "nothing.txt", "no entry nothing.txt"},
        {fixture("stored.hpi"), "data", "data is a directory"},
        {fixture("stored.hpi"), "\xE2\x82\xAC\xE2\x98\x83.txt",
         "no entry"},  // a snowman has no Windows-1252 form
        {fixture("no-such.hpi"), "readme.txt", "no such file or folder"},
        {fixture("damaged/version2.hpi"), "readme.txt",
         "damaged archive: truncated (the file ends at offset 20, inside the 32-byte"},
        {fixture("v2/damaged/bad-file-checksum.hpi"), "readme.TXT",
         "ReadMe.txt: damaged entry: checksum mismatch (content checksum 0x94E4186C, the file record says "
         "0x94E4186D)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive + " " + c.path);
        const Outcome result = run_cli({"cat", c.archive, c.path});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("quarrix-cli: " + c.archive + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.expected_error), std::string::npos) << result.err;
    }
}

// Which damage gives which kind is the reader's table; here one damaged
// archive among good ones shows how test reports it.
TEST(CliTest, GoodArchivesAreOkAndADamagedOneIsOneLineWithItsKind)
{
    std::vector<std::string> args = {"test"};
    std::string expected;
    for (const std::string& archive : testkit::good_archives()) {
        args.push_back(fixture(archive));
        expected += fixture(archive) + ": OK\n";
    }
    args.push_back(fixture("damaged/bad-checksum.ufo"));
    const Outcome result = run_cli(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err.rfind(
                  fixture("damaged/bad-checksum.ufo") + ": noise.bin: damaged entry: checksum mismatch (", 0),
              0u)
        << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line per archive";
}

TEST(CliUsage, WrongCommandLinesExitWith2AndHelpWith0)
{
    using Args = std::vector<std::string>;
    for (const Args& args : {Args{}, Args{"unpack", "x.hpi"}, Args{"list"}, Args{"cat", "x.hpi"},
                             Args{"test"}, Args{"list", "--bogus", "x.hpi"},
                             Args{"extract", "--here", "-o", "out", "x.hpi"}, Args{"extract", "x.hpi"}}) {
        const Outcome result = run_cli(args);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(args);
        EXPECT_FALSE(result.err.empty());
    }
    for (const Args& args : {Args{"--help"}, Args{"cat", "--help"}}) {
        const Outcome help = run_cli(args);
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Exit status"), std::string::npos);
    }
}

TEST(CliList, HostileNamesStayOnOneLineAndSendNothingToTheTerminal)
{
    testkit::ScratchDir scratch;
    testkit::write_file(scratch / "x", "x");
    hpi::Writer writer;
    // A newline, a tab, an escape sequence and an undefined Windows-1252 byte.
    const std::string hostile = "a\nf\t1\tfake\x1b[2J\x81.txt";
    ASSERT_FALSE(writer.add_file(hostile, scratch / "x"));
    ASSERT_FALSE(writer.pack(scratch / "hostile.hpi", {}));

    const Outcome result = run_cli({"list", (scratch / "hostile.hpi").string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "f\t1\ta?f?1?fake?[2J?.txt\n");
}

}  // namespace

// quarrix-cli as a user meets it: the text of list, the bytes of cat, the
// verdict of test, and the exit status of each, including usage errors.
#include "commands.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <hpi/hpi.h>

#include "hpiutil_testkit.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome run_cli(std::vector<std::string> args) {
    args.insert(args.begin(), "quarrix-cli");
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    Outcome outcome;
    outcome.status = quarrix::cli::run(int(argv.size()), argv.data(), out, err);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

std::string fixture(const std::string& name) { return (testkit::testdata_dir() / name).string(); }

std::string manifest_listing(const std::string& archive) {
    std::string text;
    for (const auto& row : testkit::manifest_rows(archive)) {
        text += row.is_directory ? "d\t-\t" : "f\t" + std::to_string(row.size) + "\t";
        text += row.path + "\n";
    }
    return text;
}

TEST(CliList, SeveralArchivesAreHeadedAndAFailureDoesNotStopTheOthers) {
    const Outcome result =
        run_cli({"list", fixture("stored.hpi"), fixture("damaged/not-an-archive.hpi"), fixture("encrypted.hpi")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, fixture("stored.hpi") + ":\n" + manifest_listing("stored.hpi") + "\n" +
                              fixture("damaged/not-an-archive.hpi") + ":\n\n" +
                              fixture("encrypted.hpi") + ":\n" + manifest_listing("encrypted.hpi"));
    EXPECT_NE(result.err.find(fixture("damaged/not-an-archive.hpi") + ": not an archive"), std::string::npos)
        << result.err;
}

// The reader's own tests check every fixed file byte for byte; here one file
// of each archive shows cat passes the bytes through whatever the method.
TEST(CliCat, WritesAFileOfEachArchiveByteExact) {
    for (const std::string& archive : testkit::good_archives()) {
        for (const auto& row : testkit::manifest_rows(archive)) {
            if (row.is_directory) continue;
            SCOPED_TRACE(archive + " " + row.path);
            const Outcome result = run_cli({"cat", fixture(archive), row.path});
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(testkit::sha256_hex(result.out), row.sha256);
            break;
        }
    }
}

// Which of two names differing only in case wins is the reader's rule, held
// by its own suite; here slashes, any ASCII case and UTF-8 names find an entry.
TEST(CliCat, FindsEntriesBySlashesAnyAsciiCaseAndUtf8Names) {
    const Outcome reference = run_cli({"cat", fixture("zlib.ufo"), "weapons\\small.tdf"});
    ASSERT_EQ(reference.status, 0);
    EXPECT_EQ(run_cli({"cat", fixture("zlib.ufo"), "WEAPONS/Small.TDF"}).out, reference.out);
    const Outcome accented = run_cli({"cat", fixture("encrypted.hpi"), "UNITS/café crème.fbi"});
    EXPECT_EQ(accented.status, 0) << accented.err;
    EXPECT_EQ(accented.out.size(), 1234u);
}

TEST(CliCat, MissingEntriesDirectoriesAndDamagedDataFailNamingTheArchive) {
    struct Case {
        std::string archive, path, expected_error;
    };
    const std::vector<Case> cases = {
        {fixture("stored.hpi"), "nothing.txt", "no entry nothing.txt"},
        {fixture("stored.hpi"), "data", "data is a directory"},
        {fixture("stored.hpi"), "\xE2\x82\xAC\xE2\x98\x83.txt", "no entry"},  // a snowman has no Windows-1252 form
        {fixture("no-such.hpi"), "readme.txt", "I/O error"},
        {fixture("damaged/version2.hpi"), "readme.txt", "unsupported version"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive + " " + c.path);
        const Outcome result = run_cli({"cat", c.archive, c.path});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("quarrix-cli: " + c.archive + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.expected_error), std::string::npos) << result.err;
    }
}

TEST(CliTest, GoodArchivesAreOkAndEachDamagedOneIsReportedWithItsKind) {
    std::vector<std::string> good = {"test"};
    for (const std::string& archive : testkit::good_archives()) good.push_back(fixture(archive));
    const Outcome all_good = run_cli(good);
    EXPECT_EQ(all_good.status, 0);
    std::string expected;
    for (std::size_t i = 1; i < good.size(); ++i) expected += good[i] + ": OK\n";
    EXPECT_EQ(all_good.out, expected);
    EXPECT_EQ(all_good.err, "");

    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"damaged/bad-checksum.ufo", "bad checksum"},
        {"damaged/truncated.ufo", "truncated"},
        {"damaged/dir-loop.hpi", "directory loop"},
        {"damaged/not-an-archive.hpi", "not an archive"},
        {"damaged/version2.hpi", "unsupported version"},
    };
    for (const auto& [name, kind] : damaged) {
        SCOPED_TRACE(name);
        const Outcome result = run_cli({"test", fixture("stored.hpi"), fixture(name)});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, fixture("stored.hpi") + ": OK\n");
        EXPECT_EQ(result.err.rfind(fixture(name) + ": " + kind + ": ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line per archive";
    }
}

TEST(CliUsage, WrongCommandLinesExitWith2AndHelpWith0) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"unpack", "x.hpi"}, {"list"}, {"cat", "x.hpi"}, {"test"}, {"list", "--bogus", "x.hpi"}}) {
        const Outcome result = run_cli(args);
        EXPECT_EQ(result.status, 2) << (args.empty() ? "(nothing)" : args[0]);
        EXPECT_FALSE(result.err.empty());
    }
    for (const std::string command : {"list", "cat", "test", "--help"}) {
        const Outcome help = command == "--help" ? run_cli({command}) : run_cli({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Exit status"), std::string::npos) << command;
    }
    EXPECT_NE(run_cli({"list", "--help"}).out.find("\"ARCHIVE:\""), std::string::npos)
        << "list --help tells how several archives are told apart";
}

TEST(CliList, HostileNamesStayOnOneLineAndSendNothingToTheTerminal) {
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

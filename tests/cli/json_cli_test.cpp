// quarrix-cli --json as a script meets it: every line of standard output one
// JSON object that parses, each naming its archive; failures with their
// cause in words and their kind; the exit status that of the text output.
// And extract --here: each archive into a folder beside it.
#include "run_cli.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../dump/tree_snapshot.h"
#include "support/manifest.h"
#include "support/writer_view.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Lines = std::vector<Json>;

// Every line of `out` parsed; a line that is not one JSON object fails.
Lines parsed(const std::string& out) {
    Lines lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        Json object = Json::parse(line, nullptr, false);
        EXPECT_TRUE(object.is_object()) << "not a JSON object: " << line;
        lines.push_back(object);
    }
    EXPECT_TRUE(out.empty() || out.back() == '\n') << "a last line without its end";
    return lines;
}

std::string fixture(const std::string& name) { return (hpi::test::testdata_dir() / name).string(); }

// What list --json gives for one of the fixed archives, from its manifest.
Lines listed(const std::string& archive, const std::string& manifest_name) {
    Lines lines;
    std::uint64_t files = 0, bytes = 0;
    for (const auto& row : hpi::test::manifest_rows(manifest_name)) {
        if (row.is_directory) {
            lines.push_back({{"type", "entry"}, {"archive", archive}, {"path", row.path}, {"kind", "folder"}});
            continue;
        }
        lines.push_back({{"type", "entry"}, {"archive", archive}, {"path", row.path}, {"kind", "file"},
                         {"size", row.size}});
        ++files;
        bytes += row.size;
    }
    lines.push_back({{"type", "archive"}, {"archive", archive}, {"ok", true}, {"files", files}, {"bytes", bytes}});
    return lines;
}

Lines failed(const std::string& archive, const std::string& entry, const std::string& cause, const std::string& kind,
             Json summary) {
    Json failure = {{"type", "failure"}, {"archive", archive}};
    if (!entry.empty()) failure["entry"] = entry;
    failure["cause"] = cause;
    failure["kind"] = kind;
    return {failure, summary};
}

Json archive(const std::string& path, bool ok, Json counts = Json::object()) {
    Json line = {{"type", "archive"}, {"archive", path}, {"ok", ok}};
    line.update(counts);
    return line;
}

Lines joined(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const char* const kChecksumWords =
    "damaged entry: checksum mismatch (chunk 1 of 2 at offset 147: checksum 0x007F8F96 expected 0x007F8F97)";

// Every command's JSON, object for object: encrypted.hpi holds
// "units\Café crème.fbi", stored in Windows-1252, so UTF-8 comes out.
TEST(CliJson, EveryCommandWritesOneObjectPerEntryArchiveOrFailure) {
    writer_test::ScratchDir scratch;
    const std::string scan = (scratch / "scan").string();
    fs::create_directories(scratch / "scan");
    fs::copy_file(fixture("encrypted.hpi"), scratch / "scan/enc.hpi");
    fs::copy_file(fixture("damaged/bad-checksum.ufo"), scratch / "scan/bad.ufo");
    const std::string enc = scan + "/enc.hpi", bad = scan + "/bad.ufo";
    const std::string junk = fixture("damaged/not-an-archive.hpi"), cut = fixture("damaged/version2.hpi");
    const std::string out = (scratch / "out").string(), dumped = (scratch / "dumped").string();
    const Json enc_written = {{"files", 3}, {"bytes", 6011}}, bad_written = {{"files", 2}, {"bytes", 206480}};
    const auto in = [](const std::string& folder, Json counts) {
        counts["folder"] = folder;
        return counts;
    };
    // scan and dump go in the order of the disk's listing.
    const bool bad_first = run_cli({"scan", scan, "--types", "hpi,ufo"}).out.starts_with(bad);
    const auto scan_order = [bad_first](const Lines& bad_part, const Lines& enc_part) {
        return bad_first ? joined({bad_part, enc_part}) : joined({enc_part, bad_part});
    };
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        Lines lines;
    } cases[] = {
        {"list, a failure among them",
         {"list", "--json", enc, junk},
         1,
         joined({listed(enc, "encrypted.hpi"),
                 failed(junk, "", "not an archive", "not-an-archive", archive(junk, false))})},
        {"test: a damaged entry, a damaged archive, a missing file",
         {"test", "--json", fixture("stored.hpi"), bad, cut, scan + "/gone.hpi"},
         1,
         joined({{archive(fixture("stored.hpi"), true)},
                 failed(bad, "noise.bin", kChecksumWords, "damaged", archive(bad, false)),
                 failed(cut, "",
                        "damaged archive: truncated (the file ends at offset 20, inside the 32-byte version-2 "
                        "header)",
                        "damaged", archive(cut, false)),
                 failed(scan + "/gone.hpi", "", "no such file or folder", "missing",
                        archive(scan + "/gone.hpi", false))})},
        {"scan", {"scan", "--json", scan, "--types", "hpi,ufo"}, 0,
         scan_order({{{"type", "archive"}, {"archive", bad}}}, {{{"type", "archive"}, {"archive", enc}}})},
        {"scan of a folder that is not there",
         {"scan", "--json", scan + "/gone", "--types", "hpi"},
         1,
         {{{"type", "failure"}, {"folder", scan + "/gone"}, {"cause", "no such file or folder"}, {"kind", "missing"}}}},
        {"extract",
         {"extract", "--json", enc, bad, "-o", out},
         1,
         joined({{archive(enc, true, in(out, enc_written))},
                 failed(bad, "noise.bin", kChecksumWords, "damaged", archive(bad, false, in(out, bad_written)))})},
        {"extract into a folder that a file is in the way of",
         {"extract", "--json", enc, "-o", enc},
         1,
         {{{"type", "failure"}, {"folder", enc}, {"cause", "a file, folder or link is in the way"}, {"kind", "in-the-way"}},
          archive(enc, false, {{"files", 0}, {"bytes", 0}})}},
        {"dump", {"dump", "--json", scan, "-o", dumped, "--types", "hpi,ufo"},
         1,
         scan_order(failed(bad, "noise.bin", kChecksumWords, "damaged", archive(bad, false, in(dumped, bad_written))),
                    {archive(enc, true, in(dumped, enc_written))})},
        {"consolidated dump", {"dump", "--json", scan, "-o", dumped, "--types", "hpi,ufo", "--consolidated", "All.ufo"},
         1,
         joined({scan_order(failed(bad, "noise.bin", kChecksumWords, "damaged", archive(bad, false, bad_written)),
                            {archive(enc, true, enc_written)}),
                 {{{"type", "consolidated"}, {"archive", dumped + "/All.ufo"}, {"ok", true}}}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome result = run_cli(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        const Lines lines = parsed(result.out);
        ASSERT_EQ(lines.size(), c.lines.size()) << result.out;
        for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], c.lines[i]) << "line " << i + 1;
        // People still read the failures on standard error.
        EXPECT_EQ(result.err.empty(), c.status == 0) << result.err;
    }
    // The consolidated archive holds what could be extracted.
    const Outcome again = run_cli({"list", "--json", dumped + "/All.ufo"});
    EXPECT_EQ(parsed(again.out).back(), archive(dumped + "/All.ufo", true, {{"files", 5}, {"bytes", 212491}}));
}

// Names that would break a line or a terminal come out escaped and whole;
// a path on disk that is not UTF-8 still gives valid JSON.
TEST(CliJson, HostileNamesAndPathsThatAreNotUtf8StayValidJson) {
    writer_test::ScratchDir scratch;
    writer_test::write_file(scratch / "x", "x");
    hpi::Writer writer;
    ASSERT_FALSE(writer.add_file("a\nf\t1\tfake\x1b[2J\x81 caf\xe9\".txt", scratch / "x"));
    const fs::path latin1 = scratch / "caf\xe9.hpi";
    ASSERT_FALSE(writer.pack(latin1, {}));

    const Outcome result = run_cli({"list", "--json", latin1.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const Lines lines = parsed(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_EQ(lines[0]["path"], "a\nf\t1\tfake\x1b[2J\xc2\x81 caf\xc3\xa9\".txt");
    EXPECT_EQ(lines[0]["archive"], (scratch / "caf\xef\xbf\xbd.hpi").string());
}

TEST(CliExtractHere, EachArchiveGoesIntoAFolderBesideItNamedAfterIt) {
    writer_test::ScratchDir scratch;
    for (const char* folder : {"one", "two/Patch 2", "three", "ref"}) fs::create_directories(scratch / folder);
    fs::copy_file(fixture("stored.hpi"), scratch / "one/base.hpi");
    fs::copy_file(fixture("zlib.ufo"), scratch / "two/Patch 2.ufo");
    fs::copy_file(fixture("stored.hpi"), scratch / "three/in-way.hpi");
    fs::copy_file(fixture("stored.hpi"), scratch / "three/noext");
    writer_test::write_file(scratch / "three/in-way", "a file of that name");
    writer_test::write_file(scratch / "two/Patch 2/kept.txt", "there before");
    writer_test::write_file(scratch / "three/junk.hpi", "not an archive");
    const std::string base = (scratch / "one/base.hpi").string(), patch = (scratch / "two/Patch 2.ufo").string();
    const std::string in_way = (scratch / "three/in-way.hpi").string(), noext = (scratch / "three/noext").string();
    const std::string junk = (scratch / "three/junk.hpi").string();
    for (const std::string& archive : {base, patch})
        ASSERT_EQ(run_cli({"extract", archive, "-o", (scratch / "ref" / fs::path(archive).stem()).string()}).status, 0);
    dumptest::Tree patch_folder = dumptest::snapshot(scratch / "ref/Patch 2");
    const std::string stored = dumptest::snapshot(scratch / "one").at("base.hpi");
    patch_folder["kept.txt"] = "there before";

    const struct {
        const char* what;
        std::vector<std::string> archives;
        int status;
        std::vector<std::string> said;  // on standard error, whole lines
        std::vector<std::string> kinds;  // of the failures in the JSON, in order
    } cases[] = {
        {"two archives, one folder made and one already there", {base, patch}, 0, {}, {}},
        {"a file in the way, a file that is not an archive, an archive without extension; the others still done",
         {in_way, base, junk, noext, patch},
         1,
         {"quarrix-cli: " + in_way + ": a file, folder or link is in the way (" + (scratch / "three/in-way").string() + ")",
          "quarrix-cli: " + junk + ": not an archive",
          "quarrix-cli: " + noext + ": a file, folder or link is in the way (" + noext + ")", "quarrix-cli: 3 problems"},
         {"in-the-way", "not-an-archive", "in-the-way"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(scratch / "one/base");
        std::vector<std::string> args = {"extract", "--here", "--json"};
        args.insert(args.end(), c.archives.begin(), c.archives.end());
        const Outcome result = run_cli(args);
        EXPECT_EQ(result.status, c.status);
        std::string said;
        for (const std::string& line : c.said) said += line + "\n";
        EXPECT_EQ(result.err, said);

        EXPECT_EQ(dumptest::snapshot(scratch / "one/base"), dumptest::snapshot(scratch / "ref/base"));
        EXPECT_EQ(dumptest::snapshot(scratch / "two/Patch 2"), patch_folder);
        EXPECT_EQ(dumptest::snapshot(scratch / "three"),
                  (dumptest::Tree{{"in-way", "a file of that name"},
                                  {"in-way.hpi", stored},
                                  {"junk.hpi", "not an archive"},
                                  {"noext", stored}}))
            << "nothing is made for an archive that is refused";

        std::vector<std::string> kinds;
        std::size_t archives = 0;
        for (const Json& line : parsed(result.out)) {
            if (line["type"] == "failure") kinds.push_back(line["kind"]);
            if (line["type"] != "archive") continue;
            ++archives;
            const bool refused = line["archive"] == in_way || line["archive"] == junk || line["archive"] == noext;
            EXPECT_EQ(line["ok"], !refused) << line;
            if (!refused) {
                EXPECT_EQ(line["folder"], fs::path(line["archive"].get<std::string>()).replace_extension().string());
            }
        }
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_EQ(archives, c.archives.size());
    }
}

TEST(CliExtractHere, HereAndAnOutputFolderAreOneOrTheOther) {
    using Args = std::vector<std::string>;
    for (const Args& args : {Args{"extract", "--here", "-o", "out", "a.hpi"}, Args{"extract", "a.hpi"}}) {
        const Outcome result = run_cli(args);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(args);
        EXPECT_NE(result.err.find("--here"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

}  // namespace

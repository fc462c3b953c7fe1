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
#include "support/v2_builder.h"
#include "support/writer_view.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Lines = std::vector<Json>;

// Every line of `out` parsed; a line that is not one JSON object fails.
Lines parsed(const std::string& out)
{
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

std::string fixture(const std::string& name)
{
    return (hpi::test::testdata_dir() / name).string();
}

// What list --json gives for one of the fixed archives, from its manifest.
Lines listed(const std::string& archive, const std::string& manifest_name)
{
    Lines lines;
    std::uint64_t files = 0, bytes = 0;
    for (const auto& row : hpi::test::manifest_rows(manifest_name)) {
        Json entry = {{"type", "entry"},
                      {"archive", archive},
                      {"path", row.path},
                      {"kind", row.is_directory ? "folder" : "file"}};
        if (!row.is_directory) {
            entry["size"] = row.size;
            ++files;
            bytes += row.size;
        }
        lines.push_back(entry);
    }
    lines.push_back(
        {{"type", "archive"}, {"archive", archive}, {"ok", true}, {"files", files}, {"bytes", bytes}});
    return lines;
}

// A failure and the archive object after it.
Lines failed(const std::string& archive, const std::string& entry, const std::string& cause,
             const std::string& kind, Json summary)
{
    Json failure = {{"type", "failure"}, {"archive", archive}, {"cause", cause}, {"kind", kind}};
    if (!entry.empty())
        failure["entry"] = entry;
    return {failure, summary};
}

Json archive(const std::string& path, bool ok, Json counts = Json::object())
{
    Json line = {{"type", "archive"}, {"archive", path}, {"ok", ok}};
    line.update(counts);
    return line;
}

Lines joined(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const char* const kChecksumWords =
    "damaged entry: checksum mismatch (chunk 1 of 2 at offset 147: checksum 0x007F8F96 expected 0x007F8F97)";

// Every command's JSON, object for object: encrypted.hpi holds
// "units\Café crème.fbi", stored in Windows-1252, so UTF-8 comes out. And
// extract --here: each archive into a folder beside it, named after it, but
// for those refused.
TEST(CliJson, EveryCommandWritesOneObjectPerEntryArchiveOrFailure)
{
    writer_test::ScratchDir scratch;
    const std::string scan = (scratch / "scan").string(), here = (scratch / "here").string();
    fs::create_directories(scratch / "scan");
    fs::create_directories(scratch / "here");
    fs::copy_file(fixture("encrypted.hpi"), scratch / "scan/enc.hpi");
    fs::copy_file(fixture("damaged/bad-checksum.ufo"), scratch / "scan/bad.ufo");
    for (const char* name : {"here/base.hpi", "here/in-way.hpi"})
        fs::copy_file(fixture("stored.hpi"), scratch / name);
    writer_test::write_file(scratch / "here/in-way", "a file of that name");
    writer_test::write_file(scratch / "here/junk.hpi", "not an archive");
    const std::string enc = scan + "/enc.hpi", bad = scan + "/bad.ufo";
    const std::string junk = fixture("damaged/not-an-archive.hpi"), cut = fixture("damaged/version2.hpi");
    const std::string out = (scratch / "out").string(), dumped = (scratch / "dumped").string();
    const std::string v2 = (scratch / "v2.hpi").string();
    writer_test::write_file(v2, hpi::test::V2Builder()
                                    .folder("d")
                                    .file("d\\fine", hpi::test::bytes_of("fine"))
                                    .file("d\\..", hpi::test::bytes_of("up"))
                                    .build()
                                    .bytes);
    const auto entry = [&v2](const char* path, int size) {
        Json line = {
            {"type", "entry"}, {"archive", v2}, {"path", path}, {"kind", size < 0 ? "folder" : "file"}};
        if (size >= 0)
            line["size"] = size;
        return line;
    };
    const Json enc_written = {{"files", 3}, {"bytes", 6011}}, bad_written = {{"files", 2}, {"bytes", 206480}};
    const Json none = {{"files", 0}, {"bytes", 0}};
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
        {"list: a version-2 file whose name is damaged is listed, and its failure follows",
         {"list", "--json", v2},
         1,
         joined({{entry("d", -1), entry("d\\..", 2), entry("d\\fine", 4)},
                 failed(v2, "d\\..", "damaged entry: bad name (name is not a single path level)", "damaged",
                        archive(v2, false, {{"files", 2}, {"bytes", 6}}))})},
        {"test: a damaged entry, a damaged archive, a missing file",
         {"test", "--json", fixture("stored.hpi"), bad, cut, scan + "/gone.hpi"},
         1,
         joined(
             {{archive(fixture("stored.hpi"), true)},
              failed(bad, "noise.bin", kChecksumWords, "damaged", archive(bad, false)),
              failed(cut, "",
                     "damaged archive: truncated (the file ends at offset 20, inside the 32-byte version-2 "
                     "header)",
                     "damaged", archive(cut, false)),
              failed(scan + "/gone.hpi", "", "no such file or folder", "missing",
                     archive(scan + "/gone.hpi", false))})},
        {"scan",
         {"scan", "--json", scan, "--types", "hpi,ufo"},
         0,
         scan_order({{{"type", "archive"}, {"archive", bad}}}, {{{"type", "archive"}, {"archive", enc}}})},
        {"scan of a folder that is not there",
         {"scan", "--json", scan + "/gone", "--types", "hpi"},
         1,
         {{{"type", "failure"},
           {"folder", scan + "/gone"},
           {"cause", "no such file or folder"},
           {"kind", "missing"}}}},
        {"extract",
         {"extract", "--json", enc, bad, "-o", out},
         1,
         joined({{archive(enc, true, in(out, enc_written))},
                 failed(bad, "noise.bin", kChecksumWords, "damaged",
                        archive(bad, false, in(out, bad_written)))})},
        {"extract into a folder that a file is in the way of",
         {"extract", "--json", enc, "-o", enc},
         1,
         {{{"type", "failure"},
           {"folder", enc},
           {"cause", "a file, folder or link is in the way"},
           {"kind", "in-the-way"}},
          archive(enc, false, none)}},
        {"extract --here: a file in the way, a file that is not an archive, then one extracted",
         {"extract", "--json", "--here", here + "/in-way.hpi", here + "/junk.hpi", here + "/base.hpi"},
         1,
         joined(
             {failed(here + "/in-way.hpi", "", "a file, folder or link is in the way (" + here + "/in-way)",
                     "in-the-way", archive(here + "/in-way.hpi", false, none)),
              failed(here + "/junk.hpi", "", "not an archive", "not-an-archive",
                     archive(here + "/junk.hpi", false, none)),
              {archive(here + "/base.hpi", true, in(here + "/base", {{"files", 3}, {"bytes", 3017}}))}})},
        {"dump",
         {"dump", "--json", scan, "-o", dumped, "--types", "hpi,ufo"},
         1,
         scan_order(failed(bad, "noise.bin", kChecksumWords, "damaged",
                           archive(bad, false, in(dumped, bad_written))),
                    {archive(enc, true, in(dumped, enc_written))})},
        {"consolidated dump",
         {"dump", "--json", scan, "-o", dumped, "--types", "hpi,ufo", "--consolidated", "All.ufo"},
         1,
         joined({scan_order(
                     failed(bad, "noise.bin", kChecksumWords, "damaged", archive(bad, false, bad_written)),
                     {archive(enc, true, enc_written)}),
                 {{{"type", "consolidated"}, {"archive", dumped + "/All.ufo"}, {"ok", true}}}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome result = run_cli(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        const Lines lines = parsed(result.out);
        ASSERT_EQ(lines.size(), c.lines.size()) << result.out;
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i], c.lines[i]) << "line " << i + 1;
        // People still read the failures on standard error.
        EXPECT_EQ(result.err.empty(), c.status == 0) << result.err;
    }
    std::vector<std::string> beside;
    for (const auto& [name, content] : dumptest::snapshot(here))
        beside.push_back(name);
    EXPECT_EQ(beside, (std::vector<std::string>{"base.hpi", "base/", "base/data/", "base/data/empty.dat",
                                                "base/data/noise.bin", "base/readme.txt", "in-way",
                                                "in-way.hpi", "junk.hpi"}))
        << "nothing is made for an archive that is refused";
}

// Names that would break a line or a terminal come out escaped and whole;
// a path on disk that is not UTF-8 still gives valid JSON.
TEST(CliJson, HostileNamesAndPathsThatAreNotUtf8StayValidJson)
{
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

}  // namespace

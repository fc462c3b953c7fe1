// The reader against the fixed archives of an independent writer: every
// listing, size and content must match the manifest exactly, and every
// damaged fixture must fail with the kind of error that describes it.
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/manifest.h"
#include "support/sha256.h"

#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace hpi {
namespace {

using test::ManifestRow;

const std::filesystem::path kData = test::testdata_dir();

std::string content_hash(const Archive& archive, std::size_t index)
{
    test::Bytes content;
    const Error error = test::read_all(archive, index, content);
    EXPECT_FALSE(error) << error.message;
    return test::sha256_hex(content);
}

std::size_t files_directly_inside(const std::vector<ManifestRow>& rows, const std::string& dir)
{
    std::size_t count = 0;
    for (const auto& row : rows)
        if (!row.is_directory && row.path.size() > dir.size() + 1 &&
            row.path.compare(0, dir.size() + 1, dir + "\\") == 0 &&
            row.path.find('\\', dir.size() + 1) == std::string::npos)
            ++count;
    return count;
}

TEST(ReaderFixtures, EveryGoodArchiveListsAndExtractsExactlyAsTheManifestSays)
{
    for (const std::string& name : test::good_archives()) {
        SCOPED_TRACE(name);
        const auto rows = test::manifest_rows(name);
        ASSERT_FALSE(rows.empty());
        auto archive = Archive::open(kData / name);
        ASSERT_TRUE(archive) << archive.error().message;
        const auto& entries = (*archive)->entries();
        ASSERT_EQ(entries.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(rows[i].path);
            EXPECT_EQ(cp1252_to_utf8(entries[i].path), rows[i].path);
            EXPECT_EQ(entries[i].is_directory, rows[i].is_directory);
            if (rows[i].is_directory) {
                EXPECT_EQ(entries[i].size, files_directly_inside(rows, rows[i].path));
            } else {
                EXPECT_EQ(entries[i].size, rows[i].size);
                EXPECT_EQ(content_hash(**archive, i), rows[i].sha256);
            }
        }
        EXPECT_FALSE((*archive)->test()) << (*archive)->test().message;
    }
}

TEST(ReaderFixtures, DamagedArchivesFailWithTheKindThatDescribesThem)
{
    struct Case {
        const char* file;
        ErrorKind at_open;  // None: opens, and test() must find `at_test`
        ErrorKind at_test;
        std::size_t damaged_files;  // the others read whole
        const char* where;          // what the message must name
    };
    const Case cases[] = {
        {"damaged/not-an-archive.hpi", ErrorKind::NotAnArchive, ErrorKind::None, 0, "marker"},
        {"damaged/version2.hpi", ErrorKind::Truncated, ErrorKind::None, 0, "offset 20, inside the 32-byte"},
        {"damaged/dir-loop.hpi", ErrorKind::DirectoryLoop, ErrorKind::None, 0, "offset 20"},
        {"damaged/bad-checksum.ufo", ErrorKind::None, ErrorKind::BadChecksum, 1, "entry '"},
        {"damaged/truncated.ufo", ErrorKind::None, ErrorKind::Truncated, 3,
         "entry '"},  // cut in the first file
        {"v2/damaged/short-header.hpi", ErrorKind::Truncated, ErrorKind::None, 0,
         "offset 20, inside the 32-byte"},
        {"v2/damaged/dir-loop.hpi", ErrorKind::DirectoryLoop, ErrorKind::None, 0,
         "folder 'a': folder records at offset 0"},
        // The blocks at the end are gone with the rest.
        {"v2/damaged/truncated.hpi", ErrorKind::Truncated, ErrorKind::None, 0, "names block [34846, 34958)"},
        {"v2/damaged/bad-chunk-checksum.hpi", ErrorKind::None, ErrorKind::BadChecksum, 1,
         "entry 'ReadMe.txt': chunk 1 at offset 32: checksum"},
        {"v2/damaged/bad-file-checksum.hpi", ErrorKind::None, ErrorKind::BadChecksum, 1,
         "entry 'ReadMe.txt': content checksum"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto archive = Archive::open(kData / c.file);
        if (c.at_open != ErrorKind::None) {
            ASSERT_FALSE(archive);
            EXPECT_EQ(archive.error().kind, c.at_open) << archive.error().message;
            EXPECT_NE(archive.error().message.find(c.file), std::string::npos) << archive.error().message;
            EXPECT_NE(archive.error().message.find(c.where), std::string::npos) << archive.error().message;
            continue;
        }
        ASSERT_TRUE(archive) << archive.error().message;
        const Error error = (*archive)->test();
        EXPECT_EQ(error.kind, c.at_test) << error.message;
        EXPECT_NE(error.message.find(c.where), std::string::npos) << error.message;
        std::size_t damaged = 0;
        for (std::size_t i = 0; i < (*archive)->entries().size(); ++i)
            damaged +=
                !(*archive)->entries()[i].is_directory && (*archive)->read(i, [](auto) { return true; });
        EXPECT_EQ(damaged, c.damaged_files);
    }
}

TEST(ReaderFixtures, ConcurrentReadsOfOneArchiveAllSeeTheRightContent)
{
    auto archive = Archive::open(kData / "zlib.ufo");
    ASSERT_TRUE(archive);
    const Archive& shared = **archive;
    const auto index = shared.find("weapons\\weapons.tdf");
    ASSERT_TRUE(index);
    const std::string expected = content_hash(shared, *index);
    std::vector<std::string> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round)
                seen[t] = content_hash(shared, *index);
        });
    for (auto& thread : threads)
        thread.join();
    for (const auto& hash : seen)
        EXPECT_EQ(hash, expected);
}

TEST(ReaderFixtures, ReadStopsQuietlyWhenTheSinkDeclinesAndRefusesDirectoriesAndBadIndexes)
{
    auto archive = Archive::open(kData / "zlib.ufo");
    ASSERT_TRUE(archive);
    const Archive& a = **archive;
    std::size_t calls = 0;
    const auto decline = [&](auto) {
        ++calls;
        return false;
    };
    const Error declined = a.read(a.find("weapons\\weapons.tdf").value(), decline);
    EXPECT_FALSE(declined) << declined.message;
    EXPECT_EQ(calls, 1u) << "the file spans four chunks";
    const auto sink = [](auto) { return true; };
    EXPECT_EQ(a.read(a.find("weapons").value(), sink).kind, ErrorKind::InvalidArgument);
    EXPECT_EQ(a.read(a.entries().size(), sink).kind, ErrorKind::InvalidArgument);
}

TEST(ReaderFixtures, MissingFilesDirectoriesAndPipesAreIoErrorsWithoutBlocking)
{
    // A pipe with no writer would block a plain open for ever.
    const auto pipe =
        std::filesystem::temp_directory_path() / ("quarrix-reader-pipe-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const auto& path : {kData / "no-such-archive.hpi", kData / "damaged", pipe}) {
        auto opened = Archive::open(path);
        EXPECT_EQ(opened ? ErrorKind::None : opened.error().kind, ErrorKind::IoError) << path;
    }
    std::filesystem::remove(pipe);
}

}  // namespace
}  // namespace hpi

// The bytes a Writer lays down: header, sort order, the data form of each
// method and the chunking at 64 KiB. Contents are read back through the
// library's reader, whose own suites hold it to the format.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "hpi/hpi.h"
#include "support/writer_view.h"

namespace {

using writer_test::Bytes;
using writer_test::chunk_headers;
using writer_test::make_content;
using writer_test::ScratchDir;

hpi::PackOptions with_method(hpi::Method method)
{
    hpi::PackOptions o;
    o.method = method;
    o.threads = 2;
    return o;
}

// Adds each (archive path, content) pair as a disk file of its own.
void add_files(hpi::Writer& w, const ScratchDir& dir, const std::map<std::string, Bytes>& files)
{
    int n = 0;
    for (const auto& [archive_path, content] : files) {
        auto disk = dir / ("src" + std::to_string(n++));
        writer_test::write_file(disk, content);
        ASSERT_FALSE(w.add_file(archive_path, disk)) << archive_path;
    }
}

// Where the data of a file ends, from its records alone.
std::size_t data_end(const Bytes& bytes, const hpi::Entry& f)
{
    if (f.method == hpi::Method::Stored)
        return f.data_offset + f.size;
    const auto chunks = chunk_headers(bytes, f);
    std::size_t end = f.data_offset + chunks.size() * 4;
    for (const auto& c : chunks)
        end += c.stored_length;
    return end;
}

TEST(WriterLayout, EntriesAreSortedByCaseFoldedUnsignedBytes)
{
    ScratchDir dir;
    hpi::Writer w;
    // '[' and '_' sit between 'Z' and 'a': only folding puts "Alpha" after
    // them; bytes >= 0x80 come after every ASCII letter only when compared
    // unsigned.
    for (const char* name : {"zeta", "Alpha",
                             "\xE9"
                             "cole",
                             "_under", "beta", "9.txt",
                             "\xC9"
                             "COLE",
                             "Ecole2", "[x]", "10.txt"})
        ASSERT_FALSE(w.add_directory(std::string("root\\") + name));
    ASSERT_FALSE(w.pack(dir / "out.hpi", with_method(hpi::Method::Zlib)));

    auto archive = writer_test::open_packed(dir / "out.hpi");
    ASSERT_TRUE(archive);
    std::vector<std::string> names;
    for (const hpi::Entry& e : archive->entries())
        names.push_back(e.path);
    EXPECT_EQ(names,
              (std::vector<std::string>{"root", "root\\10.txt", "root\\9.txt", "root\\[x]", "root\\_under",
                                        "root\\Alpha", "root\\beta", "root\\Ecole2", "root\\zeta",
                                        "root\\\xC9"
                                        "COLE",
                                        "root\\\xE9"
                                        "cole"}));
}

// Every method, read back byte for byte: around the 64 KiB boundary, a text
// of four chunks with the last one short, a large file, Windows-1252 names
// and empty directories. The header, the directory block and the data of
// each file follow each other without gaps, up to the end of the archive,
// whatever the number of threads.
TEST(WriterLayout, EachMethodLaysOutItsDataInChunksOf64KiBAndReadsBack)
{
    const std::map<std::string, Bytes> files = {
        {"a65535", make_content(65535, 7, false)},
        {"b65536", make_content(65536, 8, false)},
        {"c65537", make_content(65537, 9, false)},
        {"d1", make_content(1, 10, false)},
        {"text", make_content(200000, 6, true)},
        {"empty", {}},
        {"music\\theme.bin", make_content(2'500'000, 5, false)},
        {"maps\\caf\xE9\\\xC9t\xE9.tnt", make_content(70000, 6, true)}};
    for (hpi::Method method : {hpi::Method::Stored, hpi::Method::Lz77, hpi::Method::Zlib}) {
        SCOPED_TRACE(int(method));
        ScratchDir dir;
        hpi::Writer w;
        add_files(w, dir, files);
        ASSERT_FALSE(w.add_directory("maps\\empty"));
        ASSERT_FALSE(w.pack(dir / "out.hpi", with_method(method)));

        const Bytes bytes = writer_test::read_file(dir / "out.hpi");
        for (unsigned threads : {1u, 5u, 0u}) {  // the thread count never changes the bytes
            hpi::PackOptions o = with_method(method);
            o.threads = threads;
            ASSERT_FALSE(w.pack(dir / "again.hpi", o));
            EXPECT_TRUE(writer_test::read_file(dir / "again.hpi") == bytes) << threads << " threads";
        }
        // Marker and version are the reader's to check.
        EXPECT_EQ(writer_test::u32_at(bytes, 12), 0u);  // header_key: not encrypted
        EXPECT_EQ(writer_test::u32_at(bytes, 16), 20u);
        std::size_t expected_start = writer_test::u32_at(bytes, 8);
        auto archive = writer_test::open_packed(dir / "out.hpi");
        ASSERT_TRUE(archive);
        EXPECT_FALSE(archive->test()) << archive->test().message;
        std::size_t files_seen = 0;
        for (const hpi::Entry& e : archive->entries()) {
            SCOPED_TRACE(e.path);
            if (e.is_directory)
                continue;
            ++files_seen;
            EXPECT_EQ(e.data_offset, expected_start);
            expected_start = data_end(bytes, e);
            const Bytes& content = files.at(e.path);
            EXPECT_EQ(e.size, content.size());
            // An empty file is always stored.
            EXPECT_EQ(e.method, content.empty() ? hpi::Method::Stored : method);
            EXPECT_TRUE(writer_test::content_of(*archive, e.path) == content);
            // The reader holds each chunk to its marker and its 64 KiB share.
            if (e.method == hpi::Method::Stored)
                continue;
            for (const auto& c : chunk_headers(bytes, e)) {
                EXPECT_EQ(c.version, 2);
                EXPECT_EQ(c.method, std::uint8_t(method));
                EXPECT_EQ(c.obfuscated, 0);
                EXPECT_EQ(c.stored_length, 19 + c.payload_size);
                if (e.path == "text") {
                    EXPECT_LT(c.payload_size, c.plain_size) << "text must shrink";
                }
            }
        }
        EXPECT_EQ(files_seen, files.size());
        EXPECT_EQ(expected_start, bytes.size());
        const auto empty_dir = archive->find("maps\\empty");
        ASSERT_TRUE(empty_dir);
        EXPECT_TRUE(archive->entries()[*empty_dir].is_directory);
    }
}

}  // namespace

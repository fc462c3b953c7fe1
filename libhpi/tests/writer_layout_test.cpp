// The bytes a Writer lays down, checked with an independent look at the file:
// header, directory block, sort order, records and the data of each method.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "hpi/hpi.h"
#include "support/writer_view.h"

namespace {

using writer_test::ArchiveView;
using writer_test::Bytes;
using writer_test::make_content;
using writer_test::ScratchDir;
using writer_test::ViewEntry;

hpi::PackOptions with_method(hpi::Method method) {
    hpi::PackOptions o;
    o.method = method;
    o.threads = 2;
    return o;
}

// Adds each (archive path, content) pair as a disk file of its own.
void add_files(hpi::Writer& w, const ScratchDir& dir, const std::map<std::string, Bytes>& files) {
    int n = 0;
    for (const auto& [archive_path, content] : files) {
        auto disk = dir / ("src" + std::to_string(n++));
        writer_test::write_file(disk, content);
        ASSERT_FALSE(w.add_file(archive_path, disk)) << archive_path;
    }
}

// Where the data of a file ends, from its records alone.
std::size_t data_end(const ArchiveView& view, const ViewEntry& f) {
    if (f.method == 0) return f.data_start + f.size;
    std::size_t end = f.data_start + view.chunks(f).size() * 4;
    for (const auto& c : view.chunks(f)) end += c.stored_length;
    return end;
}

TEST(WriterLayout, HeaderDirectoryAndDataFollowEachOtherWithoutGaps) {
    ScratchDir dir;
    hpi::Writer w;
    add_files(w, dir, {{"units\\ARMCOM.FBI", make_content(70000, 1, true)},
                       {"units\\empty.fbi", {}},
                       {"readme.txt", make_content(100, 2, true)},
                       {"anims\\noise.bin", make_content(5000, 3, false)}});
    ASSERT_FALSE(w.add_directory("sounds"));
    ASSERT_FALSE(w.pack(dir / "out.hpi", with_method(hpi::Method::Zlib)));

    ArchiveView view(dir / "out.hpi");
    EXPECT_EQ(view.marker(), 0x49504148u);
    EXPECT_EQ(view.version(), 0x00010000u);
    EXPECT_EQ(view.header_key(), 0u);
    EXPECT_EQ(view.directory_start(), 20u);

    // Every name, record and directory lies inside the directory block, and
    // the file data begins right where the block ends, one file after another
    // in listing order, up to the end of the archive.
    std::size_t expected_start = view.directory_end();
    for (const ViewEntry& e : view.entries()) {
        if (e.is_directory) continue;
        SCOPED_TRACE(e.path);
        EXPECT_EQ(e.data_start, expected_start);
        expected_start = data_end(view, e);
    }
    EXPECT_EQ(expected_start, view.bytes().size());
}

TEST(WriterLayout, EntriesAreSortedByCaseFoldedUnsignedBytes) {
    ScratchDir dir;
    hpi::Writer w;
    // '[' and '_' sit between 'Z' and 'a': only folding puts "Alpha" after
    // them; bytes >= 0x80 come after every ASCII letter only when compared
    // unsigned.
    for (const char* name : {"zeta", "Alpha", "\xE9" "cole", "_under", "beta", "9.txt",
                             "\xC9" "COLE", "Ecole2", "[x]", "10.txt"})
        ASSERT_FALSE(w.add_directory(std::string("root\\") + name));
    ASSERT_FALSE(w.pack(dir / "out.hpi", with_method(hpi::Method::Zlib)));

    ArchiveView view(dir / "out.hpi");
    std::vector<std::string> expected = {"10.txt", "9.txt", "[x]", "_under", "Alpha",
                                         "beta", "Ecole2", "zeta", "\xC9" "COLE",
                                         "\xE9" "cole"};
    EXPECT_EQ(view.names_in("root"), expected);
}

TEST(WriterLayout, DirectoryRecordsCarryKindsAndNamesAsGiven) {
    ScratchDir dir;
    hpi::Writer w;
    add_files(w, dir, {{"a\\b\\c\\deep.txt", make_content(10, 4, true)},
                       {"caf\xE9\\na\xEFve.txt", make_content(20, 5, true)}});
    ASSERT_FALSE(w.add_directory("a\\empty"));
    ASSERT_FALSE(w.pack(dir / "out.hpi", with_method(hpi::Method::Stored)));

    ArchiveView view(dir / "out.hpi");
    std::vector<std::pair<std::string, bool>> listing;
    for (const ViewEntry& e : view.entries()) listing.emplace_back(e.path, e.is_directory);
    std::vector<std::pair<std::string, bool>> expected = {
        {"a", true},           {"a\\b", true},
        {"a\\b\\c", true},     {"a\\b\\c\\deep.txt", false},
        {"a\\empty", true},    {"caf\xE9", true},
        {"caf\xE9\\na\xEFve.txt", false}};
    EXPECT_EQ(listing, expected);
}

TEST(WriterLayout, EachMethodWritesItsOwnDataForm) {
    const Bytes content = make_content(200000, 6, true);
    for (hpi::Method method : {hpi::Method::Stored, hpi::Method::Lz77, hpi::Method::Zlib}) {
        SCOPED_TRACE(int(method));
        ScratchDir dir;
        hpi::Writer w;
        add_files(w, dir, {{"big.dat", content}, {"empty.dat", {}}});
        ASSERT_FALSE(w.pack(dir / "out.hpi", with_method(method)));

        ArchiveView view(dir / "out.hpi");
        const ViewEntry* big = view.find("big.dat");
        const ViewEntry* empty = view.find("empty.dat");
        ASSERT_TRUE(big && empty);
        EXPECT_EQ(big->method, std::uint8_t(method));
        EXPECT_EQ(big->size, content.size());
        EXPECT_EQ(empty->method, 0) << "an empty file is always stored";
        EXPECT_EQ(empty->size, 0u);

        if (method == hpi::Method::Stored) {
            EXPECT_TRUE(Bytes(view.bytes().begin() + big->data_start,
                              view.bytes().begin() + big->data_start + content.size()) == content);
            continue;
        }
        auto chunks = view.chunks(*big);
        ASSERT_EQ(chunks.size(), 4u);
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            EXPECT_EQ(chunks[i].version, 2);
            EXPECT_EQ(chunks[i].method, std::uint8_t(method));
            EXPECT_EQ(chunks[i].obfuscated, 0);
            EXPECT_EQ(chunks[i].plain_size, i < 3 ? 65536u : 200000u - 3 * 65536u);
            EXPECT_LT(chunks[i].payload_size, chunks[i].plain_size) << "text must shrink";
        }
        EXPECT_TRUE(view.content(*big) == content);
    }
}

TEST(WriterLayout, ChunkCountsAtThe64KiBBoundaries) {
    ScratchDir dir;
    hpi::Writer w;
    const std::map<std::string, Bytes> files = {{"a65535", make_content(65535, 7, false)},
                                                {"b65536", make_content(65536, 8, false)},
                                                {"c65537", make_content(65537, 9, false)},
                                                {"d1", make_content(1, 10, false)}};
    add_files(w, dir, files);
    ASSERT_FALSE(w.pack(dir / "out.hpi", with_method(hpi::Method::Zlib)));

    ArchiveView view(dir / "out.hpi");
    std::map<std::string, std::vector<std::uint32_t>> plain_sizes;
    for (const ViewEntry& e : view.entries()) {
        for (const auto& c : view.chunks(e)) plain_sizes[e.path].push_back(c.plain_size);
        EXPECT_TRUE(view.content(e) == files.at(e.path)) << e.path;
    }
    EXPECT_EQ(plain_sizes["a65535"], std::vector<std::uint32_t>({65535}));
    EXPECT_EQ(plain_sizes["b65536"], std::vector<std::uint32_t>({65536}));
    EXPECT_EQ(plain_sizes["c65537"], std::vector<std::uint32_t>({65536, 1}));
    EXPECT_EQ(plain_sizes["d1"], std::vector<std::uint32_t>({1}));
}

}  // namespace

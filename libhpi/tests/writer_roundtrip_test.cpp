// Archives written by the Writer, read back through the library's reader.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "hpi/hpi.h"
#include "support/writer_view.h"

namespace {

using writer_test::Bytes;
using writer_test::make_content;
using writer_test::ScratchDir;

Bytes read_entry(const hpi::Archive& archive, std::size_t index) {
    Bytes out;
    hpi::Error e = archive.read(index, [&](std::span<const std::uint8_t> piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return true;
    });
    EXPECT_FALSE(e) << e.message;
    return out;
}

struct Tree {
    std::map<std::string, Bytes> files;  // archive path -> content
    std::vector<std::string> empty_dirs;
};

Tree sample_tree() {
    Tree t;
    t.files["units\\ARMCOM.FBI"] = make_content(3000, 1, true);
    t.files["units\\empty.fbi"] = {};
    t.files["scripts\\a65535.bos"] = make_content(65535, 2, true);
    t.files["scripts\\b65536.bos"] = make_content(65536, 3, false);
    t.files["scripts\\c65537.bos"] = make_content(65537, 4, true);
    t.files["music\\theme.bin"] = make_content(2'500'000, 5, false);
    t.files["maps\\caf\xE9\\\xC9t\xE9.tnt"] = make_content(70000, 6, true);
    // As deep and as long as the writer allows.
    std::string deep;
    for (int i = 0; i < 128; ++i) deep += "d" + std::to_string(i % 10) + "\\";
    t.files[deep + "bottom.txt"] = make_content(10, 7, true);
    t.files["long\\" + std::string(1019, 'n')] = make_content(11, 8, true);
    t.empty_dirs = {"sounds", "maps\\empty"};
    return t;
}

std::filesystem::path pack_tree(const ScratchDir& dir, const Tree& tree, hpi::Method method) {
    hpi::Writer w;
    int n = 0;
    for (const auto& [path, content] : tree.files) {
        auto disk = dir / ("f" + std::to_string(n++));
        writer_test::write_file(disk, content);
        EXPECT_FALSE(w.add_file(path, disk)) << path;
    }
    for (const auto& d : tree.empty_dirs) EXPECT_FALSE(w.add_directory(d)) << d;
    hpi::PackOptions o;
    o.method = method;
    o.threads = 2;
    auto out = dir / "out.hpi";
    hpi::Error e = w.pack(out, o);
    EXPECT_FALSE(e) << e.message;
    return out;
}

TEST(WriterRoundTrip, EveryMethodReadsBackByteForByte) {
    const Tree tree = sample_tree();
    for (hpi::Method method : {hpi::Method::Stored, hpi::Method::Lz77, hpi::Method::Zlib}) {
        SCOPED_TRACE(int(method));
        ScratchDir dir;
        auto opened = hpi::Archive::open(pack_tree(dir, tree, method));
        ASSERT_TRUE(opened.ok()) << opened.error().message;
        const hpi::Archive& archive = **opened;
        EXPECT_FALSE(archive.test()) << archive.test().message;

        std::size_t files_seen = 0;
        for (std::size_t i = 0; i < archive.entries().size(); ++i) {
            const hpi::Entry& e = archive.entries()[i];
            if (e.is_directory) continue;
            ++files_seen;
            ASSERT_EQ(tree.files.count(e.path), 1u) << e.path;
            const Bytes& expected = tree.files.at(e.path);
            EXPECT_EQ(e.size, expected.size()) << e.path;
            EXPECT_EQ(e.method, expected.empty() ? hpi::Method::Stored : method) << e.path;
            EXPECT_TRUE(read_entry(archive, i) == expected) << e.path;
        }
        EXPECT_EQ(files_seen, tree.files.size());
        for (const auto& d : tree.empty_dirs) {
            auto index = archive.find(d);
            ASSERT_TRUE(index) << d;
            EXPECT_TRUE(archive.entries()[*index].is_directory);
            EXPECT_EQ(archive.entries()[*index].size, 0u);
        }
    }
}

TEST(WriterRoundTrip, ListingFollowsTheWrittenOrder) {
    ScratchDir dir;
    Tree tree;
    for (const char* name : {"b.txt", "A.txt", "\xE9.txt", "_.txt", "C\\x.txt"})
        tree.files[name] = make_content(5, 8, true);
    auto opened = hpi::Archive::open(pack_tree(dir, tree, hpi::Method::Zlib));
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    std::vector<std::string> paths;
    for (const auto& e : (*opened)->entries()) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"_.txt", "A.txt", "b.txt", "C", "C\\x.txt",
                                               "\xE9.txt"}));
}

}  // namespace

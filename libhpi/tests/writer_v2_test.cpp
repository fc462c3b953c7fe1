// Version-2 packing: the layout held to an independent look at the bytes
// (support/v2_view), which first must agree with the fixed archives of an
// independent writer; then every file read back through the library's
// reader, with every method and edge.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <string>

#include "hpi/hpi.h"
#include "support/manifest.h"
#include "support/v2_view.h"
#include "support/writer_view.h"
#include "writer_pack.h"
#include "writer_tree.h"

namespace {

using writer_test::Bytes;
using writer_test::make_content;
using writer_test::ScratchDir;

hpi::PackOptions version2(hpi::Method method)
{
    hpi::PackOptions o;
    o.version = 2;
    o.method = method;
    return o;
}

TEST(WriterV2, TheLayoutViewFindsNothingAmissInTheFixedArchives)
{
    for (const char* name : {"units.hpi", "stored.hpi", "big.hpi", "rawblocks.hpi"}) {
        SCOPED_TRACE(name);
        const auto view =
            writer_test::view_v2(writer_test::read_file(hpi::test::testdata_dir() / "v2" / name));
        EXPECT_EQ(view.faults, std::vector<std::string>{});
        EXPECT_FALSE(view.files.empty());
        if (std::string(name) == "rawblocks.hpi") {
            EXPECT_TRUE(view.names_raw && view.directory_raw);
        } else if (std::string(name) == "units.hpi") {
            EXPECT_FALSE(view.directory_raw);
        }
    }
}

TEST(WriterV2, EachMethodWritesTheLayoutAndReadsBack)
{
    const std::map<std::string, Bytes> files = {
        {"empty.txt", {}},
        {"one", make_content(1, 1, true)},
        {"a\\b\\c\\deep.txt", make_content(3000, 2, true)},
        {"Units\\ARMCOM.FBI", make_content(65537, 3, true)},
        {"units2\\noise.bin", make_content(300000, 4, false)},  // over 64 KiB, does not shrink
        {"text.tdf", make_content(700000, 5, true)},            // several of the reader's pieces
        {"caf\xE9\\cr\xE8me.fbi", make_content(10, 6, true)},
        {"mixed\\b.txt", make_content(5, 7, true)},
        {"mixed\\A.txt", make_content(6, 8, true)},
        {"mixed\\c", make_content(7, 9, true)},
    };
    for (hpi::Method method : {hpi::Method::Zlib, hpi::Method::Stored}) {
        SCOPED_TRACE(int(method));
        ScratchDir dir;
        hpi::Writer w;
        std::map<std::string, std::filesystem::path> sources;
        for (const auto& [path, content] : files) {
            const auto disk = dir / ("src" + std::to_string(sources.size()));
            writer_test::write_file(disk, content);
            sources[path] = disk;
            ASSERT_FALSE(w.add_file(path, disk));
        }
        ASSERT_FALSE(w.add_directory("mixed\\B-empty"));
        ASSERT_FALSE(w.pack(dir / "out.hpi", version2(method)));

        const Bytes bytes = writer_test::read_file(dir / "out.hpi");
        const auto view = writer_test::view_v2(bytes);
        EXPECT_EQ(view.faults, std::vector<std::string>{});
        EXPECT_FALSE(view.directory_raw) << "its records compress";
        ASSERT_EQ(view.files.size(), files.size());
        for (const auto& f : view.files) {
            SCOPED_TRACE(f.path);
            EXPECT_TRUE(f.content == files.at(f.path));
            // An empty file is a zlib chunk of nothing, whatever the method.
            EXPECT_EQ(f.chunk_method, f.size == 0 ? 2 : int(method));
            if (method == hpi::Method::Zlib && f.path == "text.tdf") {
                EXPECT_LT(f.stored_size, f.size / 2);
            }
            struct stat source {};
            ASSERT_EQ(::stat(sources.at(f.path).c_str(), &source), 0);
            EXPECT_EQ(f.mtime, std::uint32_t(source.st_mtime));
        }
        // The reader agrees, in the sorted depth-first order.
        auto archive = writer_test::open_packed(dir / "out.hpi");
        ASSERT_TRUE(archive);
        EXPECT_FALSE(archive->test()) << archive->test().message;
        std::vector<std::string> listing;
        for (const hpi::Entry& e : archive->entries()) {
            listing.push_back((e.is_directory ? "d " : "f ") + e.path);
            if (!e.is_directory) {
                EXPECT_TRUE(writer_test::content_of(*archive, e.path) == files.at(e.path)) << e.path;
            }
        }
        EXPECT_EQ(listing, (std::vector<std::string>{
                               "d a", "d a\\b", "d a\\b\\c", "f a\\b\\c\\deep.txt", "d caf\xE9",
                               "f caf\xE9\\cr\xE8me.fbi", "f empty.txt", "d mixed", "f mixed\\A.txt",
                               "d mixed\\B-empty", "f mixed\\b.txt", "f mixed\\c", "f one", "f text.tdf",
                               "d Units", "f Units\\ARMCOM.FBI", "d units2", "f units2\\noise.bin"}));
    }
}

TEST(WriterV2, ASmallArchiveKeepsItsBlocksRawAndAnEmptyOneIsValid)
{
    ScratchDir dir;
    writer_test::write_file(dir / "a", std::string("abcd"));
    hpi::Writer w;
    ASSERT_FALSE(w.add_file("a.txt", dir / "a"));
    ASSERT_FALSE(w.pack(dir / "small.hpi", version2(hpi::Method::Zlib)));
    const auto small = writer_test::view_v2(writer_test::read_file(dir / "small.hpi"));
    EXPECT_EQ(small.faults, std::vector<std::string>{});
    EXPECT_TRUE(small.names_raw && small.directory_raw) << "a chunk would not be shorter";

    hpi::Writer nothing;
    ASSERT_FALSE(nothing.pack(dir / "empty.hpi", version2(hpi::Method::Zlib)));
    EXPECT_EQ(writer_test::view_v2(writer_test::read_file(dir / "empty.hpi")).faults,
              std::vector<std::string>{});
    auto archive = writer_test::open_packed(dir / "empty.hpi");
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->entries().empty());
}

// What version 2 cannot hold is refused before anything is written; 64
// nested folders are fine, 65 are not.
TEST(WriterV2, RefusalsWriteNothing)
{
    ScratchDir dir;
    writer_test::write_file(dir / "f", std::string("x"));
    const auto nested = [&](std::size_t depth) {
        auto w = std::make_unique<hpi::Writer>();
        std::string path;
        for (std::size_t i = 0; i < depth; ++i)
            path += "d\\";
        EXPECT_FALSE(w->add_file(path + (depth == 0 ? "tab\t.txt" : "f.txt"), dir / "f"));
        return w;
    };
    hpi::PackOptions lz77 = version2(hpi::Method::Lz77), unknown = version2(hpi::Method::Zlib);
    unknown.version = 3;
    const struct {
        const char* what;
        std::unique_ptr<hpi::Writer> writer;
        hpi::PackOptions options;
    } cases[] = {
        {"LZ77", nested(1), lz77},
        {"version 3", nested(1), unknown},
        {"65 folders deep", nested(65), version2(hpi::Method::Zlib)},
        {"a control byte in a name", nested(0), version2(hpi::Method::Zlib)},
    };
    for (const auto& c : cases) {
        const hpi::Error e = c.writer->pack(dir / "out.hpi", c.options);
        EXPECT_EQ(e.kind, hpi::ErrorKind::InvalidArgument) << c.what << ": " << e.message;
    }
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"f"});
    ASSERT_FALSE(nested(64)->pack(dir / "deep.hpi", version2(hpi::Method::Zlib)));
    auto archive = writer_test::open_packed(dir / "deep.hpi");
    ASSERT_TRUE(archive);
    EXPECT_FALSE(archive->test()) << archive->test().message;
}

// As for version 1: an archive of exactly the limit is written, one byte
// less is refused, and nothing stays behind.
TEST(WriterV2, AnArchivePastTheOffsetLimitIsRefused)
{
    ScratchDir dir;
    writer_test::write_file(dir / "big", make_content(500000, 3, false));
    writer_test::write_file(dir / "small", make_content(1000, 4, true));
    hpi::detail::PathTree tree;
    ASSERT_FALSE(tree.add_file("big.bin", dir / "big"));
    ASSERT_FALSE(tree.add_file("s\\small.txt", dir / "small"));
    ASSERT_FALSE(hpi::detail::pack_tree(tree.root(), dir / "full.hpi", version2(hpi::Method::Zlib), {}));
    const auto exact = std::filesystem::file_size(dir / "full.hpi");
    ASSERT_FALSE(
        hpi::detail::pack_tree(tree.root(), dir / "fits.hpi", version2(hpi::Method::Zlib), {}, exact));
    for (std::uint64_t limit : {exact - 1, exact / 2, std::uint64_t(31)}) {
        const hpi::Error e =
            hpi::detail::pack_tree(tree.root(), dir / "over.hpi", version2(hpi::Method::Zlib), {}, limit);
        EXPECT_EQ(e.kind, hpi::ErrorKind::TooLarge) << limit;
    }
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"big", "fits.hpi", "full.hpi", "small"}));
}

}  // namespace

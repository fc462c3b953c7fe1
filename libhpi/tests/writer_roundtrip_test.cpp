// Archives written by the Writer, read back through the library's reader:
// every method, large files, Windows-1252 names and empty directories.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "hpi/hpi.h"
#include "support/writer_view.h"

namespace {

using writer_test::Bytes;
using writer_test::make_content;
using writer_test::ScratchDir;

TEST(WriterRoundTrip, EveryMethodReadsBackByteForByte) {
    const std::map<std::string, Bytes> files = {
        {"units\\ARMCOM.FBI", make_content(3000, 1, true)},
        {"units\\empty.fbi", {}},
        {"music\\theme.bin", make_content(2'500'000, 5, false)},
        {"maps\\caf\xE9\\\xC9t\xE9.tnt", make_content(70000, 6, true)}};
    const std::vector<std::string> empty_dirs = {"sounds", "maps\\empty"};
    for (hpi::Method method : {hpi::Method::Stored, hpi::Method::Lz77, hpi::Method::Zlib}) {
        SCOPED_TRACE(int(method));
        ScratchDir dir;
        hpi::Writer w;
        int n = 0;
        for (const auto& [path, content] : files) {
            const auto disk = dir / ("f" + std::to_string(n++));
            writer_test::write_file(disk, content);
            ASSERT_FALSE(w.add_file(path, disk)) << path;
        }
        for (const auto& d : empty_dirs) ASSERT_FALSE(w.add_directory(d)) << d;
        hpi::PackOptions o;
        o.method = method;
        ASSERT_FALSE(w.pack(dir / "out.hpi", o));

        auto archive = writer_test::open_packed(dir / "out.hpi");
        ASSERT_TRUE(archive);
        EXPECT_FALSE(archive->test()) << archive->test().message;
        std::size_t files_seen = 0;
        for (const hpi::Entry& e : archive->entries()) {
            if (e.is_directory) continue;
            ++files_seen;
            ASSERT_EQ(files.count(e.path), 1u) << e.path;
            EXPECT_TRUE(writer_test::content_of(*archive, e.path) == files.at(e.path)) << e.path;
        }
        EXPECT_EQ(files_seen, files.size());
        for (const auto& d : empty_dirs) {
            const auto index = archive->find(d);
            ASSERT_TRUE(index) << d;
            EXPECT_TRUE(archive->entries()[*index].is_directory);
            EXPECT_EQ(archive->entries()[*index].size, 0u);
        }
    }
}

}  // namespace

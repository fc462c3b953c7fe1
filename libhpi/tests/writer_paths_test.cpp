// What a Writer accepts as archive paths, and how repeated or clashing
// additions end up in the archive.
#include <gtest/gtest.h>

#include <string>

#include "hpi/hpi.h"
#include "support/writer_view.h"

namespace {

using writer_test::Bytes;
using writer_test::ScratchDir;

std::vector<std::string> listing_of(const std::filesystem::path& archive)
{
    std::vector<std::string> paths;
    auto opened = writer_test::open_packed(archive);
    if (opened)
        for (const auto& e : opened->entries())
            paths.push_back((e.is_directory ? "d " : "f ") + e.path);
    return paths;
}

class WriterPaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        writer_test::write_file(disk_a, std::string("first"));
        writer_test::write_file(disk_b, std::string("second, longer"));
    }
    std::filesystem::path pack()
    {
        auto out = dir / "out.hpi";
        hpi::PackOptions o;
        o.method = hpi::Method::Stored;
        EXPECT_FALSE(w.pack(out, o));
        return out;
    }
    ScratchDir dir;
    std::filesystem::path disk_a = dir / "a.bin";
    std::filesystem::path disk_b = dir / "b.bin";
    hpi::Writer w;
};

TEST_F(WriterPaths, MalformedPathsAreRefusedForBothKinds)
{
    const std::string bad[] = {"",
                               "\\lead",
                               "trail\\",
                               "two\\\\seps",
                               ".",
                               "a\\.\\b",
                               "..",
                               "a\\..\\b",
                               "a/b",
                               "x\\y/z",
                               std::string("nul\0name", 8)};
    for (const std::string& path : bad) {
        SCOPED_TRACE(path);
        EXPECT_EQ(w.add_directory(path).kind, hpi::ErrorKind::InvalidArgument);
        EXPECT_EQ(w.add_file(path, disk_a).kind, hpi::ErrorKind::InvalidArgument);
    }
    EXPECT_TRUE(listing_of(pack()).empty()) << "a refused path leaves nothing behind";
}

TEST_F(WriterPaths, ParentsAreImplicitNamesKeepTheirBytesAndAPathAddedAgainIsReplaced)
{
    ASSERT_FALSE(w.add_file("Units\\ARMCOM.FBI", disk_a));
    ASSERT_FALSE(w.add_file("UNITS\\armcom.fbi", disk_b));  // any case: the first spelling stays
    ASSERT_FALSE(w.add_directory("units"));
    ASSERT_FALSE(w.add_file("units\\sub\\caf\xE9.fbi", disk_a));
    ASSERT_FALSE(w.add_file("...\\x", disk_b)) << "three dots are an ordinary name";
    auto out = pack();
    EXPECT_EQ(listing_of(out),
              (std::vector<std::string>{"d ...", "f ...\\x", "d Units", "f Units\\ARMCOM.FBI", "d Units\\sub",
                                        "f Units\\sub\\caf\xE9.fbi"}));
    EXPECT_TRUE(writer_test::content_of(*writer_test::open_packed(out), "Units\\ARMCOM.FBI") ==
                writer_test::read_file(disk_b));
}

TEST_F(WriterPaths, AFileAndADirectoryCannotShareAPathAndDiskFilesMustBeRegular)
{
    ASSERT_FALSE(w.add_file("data\\file", disk_a));
    ASSERT_FALSE(w.add_directory("data\\dir"));
    EXPECT_EQ(w.add_directory("data\\file").kind, hpi::ErrorKind::InvalidArgument);
    EXPECT_EQ(w.add_directory("DATA\\FILE").kind, hpi::ErrorKind::InvalidArgument);
    EXPECT_EQ(w.add_file("data\\file\\inner", disk_b).kind, hpi::ErrorKind::InvalidArgument);
    EXPECT_EQ(w.add_file("data\\dir", disk_b).kind, hpi::ErrorKind::InvalidArgument);
    EXPECT_EQ(w.add_file("data", disk_b).kind, hpi::ErrorKind::InvalidArgument);
    EXPECT_EQ(w.add_file("y", dir.path()).kind, hpi::ErrorKind::InvalidArgument);
    const hpi::Error missing = w.add_file("x", dir / "no-such-file");
    EXPECT_EQ(missing.kind, hpi::ErrorKind::IoError);
    EXPECT_NE(missing.message.find("no-such-file"), std::string::npos);
    EXPECT_EQ(listing_of(pack()), (std::vector<std::string>{"d data", "d data\\dir", "f data\\file"}));
}

// Directories nested `levels` deep, "d000\\d001\\...", without a trailing "\\".
std::string nested(std::size_t levels)
{
    std::string path;
    for (std::size_t i = 0; i < levels; ++i) {
        path += (i ? "\\d" : "d") + std::to_string(1000 + i).substr(1);
    }
    return path;
}

// The library's reader refuses deeper or longer paths, so the writer must
// never produce them.
TEST_F(WriterPaths, DepthAndLengthStopWhereTheReaderStops)
{
    EXPECT_FALSE(w.add_directory(nested(128)));
    EXPECT_FALSE(w.add_file(nested(128) + "\\leaf.txt", disk_a));
    EXPECT_EQ(w.add_directory(nested(129)).kind, hpi::ErrorKind::InvalidArgument);
    EXPECT_EQ(w.add_file(nested(129) + "\\leaf.txt", disk_a).kind, hpi::ErrorKind::InvalidArgument);

    const std::string longest = "long\\" + std::string(1024 - 5, 'n');
    EXPECT_FALSE(w.add_file(longest, disk_b));
    EXPECT_EQ(w.add_file(longest + "n", disk_b).kind, hpi::ErrorKind::InvalidArgument);
    EXPECT_EQ(w.add_directory(longest + "n").kind, hpi::ErrorKind::InvalidArgument);

    auto archive = writer_test::open_packed(pack());
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->entries().size(), 128u + 1 + 2);
    EXPECT_TRUE(writer_test::content_of(*archive, nested(128) + "\\leaf.txt") ==
                writer_test::read_file(disk_a));
    EXPECT_TRUE(writer_test::content_of(*archive, longest) == writer_test::read_file(disk_b));
}

}  // namespace

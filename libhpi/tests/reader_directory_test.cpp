// The directory walk on archives built byte by byte: stored order, directory
// sizes, encryption, and every way a hostile directory block can point
// outside itself, loop, nest or name things it must not.
#include "hpi/hpi.h"
#include "support/archive_builder.h"

#include <gtest/gtest.h>

namespace hpi {
namespace {

using test::ArchiveBuilder;
using test::BuiltArchive;
using test::Bytes;
using test::bytes_of;

// Entries deliberately out of name order, a nested directory and an empty one.
BuiltArchive sample()
{
    return ArchiveBuilder()
        .stored_file("zeta.txt", bytes_of("last by name, first by place"))
        .directory("units")
        .stored_file("units\\B.FBI", bytes_of("bbb"))
        .directory("units\\sub")
        .stored_file("units\\sub\\deep.txt", bytes_of("deep"))
        .stored_file("units\\A.FBI", bytes_of("a"))
        .directory("empty")
        .stored_file("alpha.txt", bytes_of("a file after an empty directory"))
        .build();
}

ErrorKind open_kind(const Bytes& bytes)
{
    auto archive = test::open_bytes(bytes);
    return archive ? ErrorKind::None : archive.error().kind;
}

// The fixed archives hold sorted entries, files-only directories and one
// header key; here stored order wins, subdirectories are not counted, and a
// header key whose derived key is 0 still decrypts.
TEST(ReaderDirectory, ListsDepthFirstInStoredOrderWithFileCountsForDirectories)
{
    const BuiltArchive built = sample();
    for (std::uint32_t key : {0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(key);
        auto archive = test::open_bytes(key ? built.encrypted(key) : built.bytes);
        ASSERT_TRUE(archive) << archive.error().message;
        std::vector<std::string> paths;
        for (const Entry& entry : (*archive)->entries())
            paths.push_back(entry.path);
        ASSERT_EQ(paths,
                  (std::vector<std::string>{"zeta.txt", "units", "units\\B.FBI", "units\\sub",
                                            "units\\sub\\deep.txt", "units\\A.FBI", "empty", "alpha.txt"}));
        const auto& entries = (*archive)->entries();
        EXPECT_EQ(entries[1].size, 2u);  // units: not the subdirectory
        EXPECT_EQ(entries[3].size, 1u);
        EXPECT_EQ(entries[6].size, 0u);
        Bytes content;
        ASSERT_FALSE(test::read_all(**archive, 4, content));
        EXPECT_EQ(content, bytes_of("deep"));
    }
}

TEST(ReaderDirectory, FindFoldsAsciiCaseOnlyAcceptsSlashesAndPrefersTheExactSpelling)
{
    auto archive = test::open_bytes(ArchiveBuilder()
                                        .directory("Units")
                                        .stored_file("Units\\arm.fbi", bytes_of("lower"))
                                        .stored_file("Units\\ARM.FBI", bytes_of("upper"))
                                        .stored_file("Units\\Caf\xE9.fbi", bytes_of("cp1252"))
                                        .build()
                                        .bytes);
    ASSERT_TRUE(archive) << archive.error().message;
    const Archive& a = **archive;
    const auto path_found = [&](std::string_view query) {
        const auto index = a.find(query);
        return index ? a.entries()[*index].path : std::string("(none)");
    };
    EXPECT_EQ(path_found("Units\\ARM.FBI"), "Units\\ARM.FBI");
    EXPECT_EQ(path_found("Units/arm.fbi"), "Units\\arm.fbi");
    // No exact spelling: the first in stored order.
    EXPECT_EQ(path_found("units\\Arm.Fbi"), "Units\\arm.fbi");
    EXPECT_EQ(path_found("UNITS"), "Units");
    EXPECT_EQ(path_found("units\\caf\xE9.FBI"), "Units\\Caf\xE9.fbi");
    // Case folding is ASCII only: the upper-case form of "é" is another name.
    for (const char* absent : {"units\\CAF\xC9.FBI", "units\\arm", "arm.fbi", ""})
        EXPECT_EQ(path_found(absent), "(none)") << absent;
}

TEST(ReaderDirectory, AnArchiveCutAtEveryOffsetIsAnErrorNeverACrash)
{
    // The last file is chunked, so every cut loses bytes somebody needs.
    const Bytes tail = test::noise(3000, 7);
    const BuiltArchive built =
        ArchiveBuilder()
            .directory("d")
            .stored_file("d\\s.txt", bytes_of("stored"))
            .chunked_file("l.bin", Method::Lz77, 3000, {test::lz77_literal_chunk(tail, true)})
            .chunked_file("z.bin", Method::Zlib, 3000, {test::zlib_chunk(tail)})
            .build();
    for (const Bytes& whole : {built.bytes, built.encrypted(0xBEEF)}) {
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            SCOPED_TRACE(cut);
            const Error error = test::first_error(Bytes(whole.begin(), whole.begin() + cut));
            EXPECT_EQ(error.kind, cut < 4 ? ErrorKind::NotAnArchive : ErrorKind::Truncated) << error.message;
        }
        EXPECT_FALSE(test::first_error(whole));
    }
}

TEST(ReaderDirectory, HostileHeadersAndDirectoryBlocksAreRefusedAtOpen)
{
    const BuiltArchive built = sample();
    const auto& root = built.at.at("");
    const auto& units = built.at.at("units");
    const auto& sub = built.at.at("units\\sub");
    const auto& deep = built.at.at("units\\sub\\deep.txt");
    const auto& empty = built.at.at("empty");
    struct Case {
        std::string what;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> writes;  // offset, value
        ErrorKind kind;
    };
    std::vector<Case> cases = {
        {"marker", {{0, 0x4B4E4142}}, ErrorKind::NotAnArchive},
        {"saved game", {{4, 0x4B4E4142}}, ErrorKind::NotAnArchive},
        {"unknown version", {{4, 0x00030000}}, ErrorKind::NotAnArchive},
        // Read as the later layout, whose data start (the root's entries
        // offset, 28) lies inside its 32-byte header.
        {"version 2", {{4, 0x00020000}}, ErrorKind::BadOffset},
        {"block over the header", {{16, 0}}, ErrorKind::BadOffset},
        {"no room for the root record", {{8, 24}}, ErrorKind::BadOffset},
        {"block end far past the file", {{8, 0xFFFFFFFF}}, ErrorKind::Truncated},
        {"block start far past the file", {{16, 0xFFFFFFF0}}, ErrorKind::BadOffset},
        {"root entries past the block", {{root.record + 4, built.directory_end}}, ErrorKind::BadOffset},
        {"root entries before the block", {{root.record + 4, 3}}, ErrorKind::BadOffset},
        {"directory record past the block",
         {{units.entry_record + 4, built.directory_end - 4}},
         ErrorKind::BadOffset},
        {"directory record far past the file", {{units.entry_record + 4, 0xFFFFFFF0}}, ErrorKind::BadOffset},
        {"name past the block", {{deep.entry_record, built.directory_end}}, ErrorKind::BadOffset},
        {"name inside the header", {{deep.entry_record, 4}}, ErrorKind::BadOffset},
        {"file record straddling the block end",
         {{deep.entry_record + 4, built.directory_end - 8}},
         ErrorKind::BadOffset},
        {"a directory that contains itself",
         {{sub.entry_record + 4, units.record}},
         ErrorKind::DirectoryLoop},
        {"a directory that contains the root",
         {{units.entry_record + 4, root.record}},
         ErrorKind::DirectoryLoop},
        {"two entries naming one directory",
         {{empty.entry_record + 4, units.record}},
         ErrorKind::DirectoryLoop},
        {"two directories sharing entry records",
         {{empty.record, 1}, {empty.record + 4, units.record + 8}},
         ErrorKind::DirectoryLoop},
    };
    // Absurd entry counts are refused before anything is allocated;
    // 0x1C71C71D * 9 wraps to 5 in 32 bits: the check must not be fooled.
    for (std::uint32_t count : {0xFFFFFFFFu, 0x1C71C71Du, 0x80000000u, 1000u})
        for (const auto* dir : {&root, &units})
            cases.push_back({"count " + std::to_string(count), {{dir->record, count}}, ErrorKind::BadOffset});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuiltArchive copy = built;
        for (const auto& [offset, value] : c.writes)
            copy.put_u32(offset, value);
        EXPECT_EQ(open_kind(copy.bytes), c.kind);
    }
}

// That 128 levels open is the writer's path test, which reads its deepest
// archive back.
TEST(ReaderDirectory, NestingIsBounded)
{
    ArchiveBuilder builder;
    std::string path = "d";
    builder.directory(path);
    for (int i = 1; i < 300; ++i)
        builder.directory(path += "\\d");
    EXPECT_EQ(open_kind(builder.build().bytes), ErrorKind::DirectoryLoop);
}

TEST(ReaderDirectory, NamesThatAreNotSinglePathComponentsOrTooLongAreBadNames)
{
    std::vector<Bytes> archives;
    for (const std::string name : {"a\\b", "a/b", "..", ".", ""}) {
        // Replace the name bytes in place: each fits in "placeholder".
        BuiltArchive built = ArchiveBuilder().stored_file("placeholder", bytes_of("x")).build();
        const auto at = built.at.at("placeholder").name;
        std::copy(name.begin(), name.end(), built.bytes.begin() + at);
        built.bytes[at + name.size()] = 0;
        archives.push_back(built.bytes);
    }
    // A name running to the end of the block without a NUL: the block ends
    // with the record of a zlib file, whose last byte is 2.
    BuiltArchive unended = ArchiveBuilder()
                               .stored_file("a", bytes_of("x"))
                               .chunked_file("z", Method::Zlib, 1, {test::zlib_chunk(bytes_of("z"))})
                               .build();
    unended.put_u32(unended.at.at("a").entry_record, unended.directory_end - 3);
    archives.push_back(unended.bytes);
    // A path longer than any the reader accepts, made of legal names.
    const std::string long_name(250, 'n');
    ArchiveBuilder builder;
    std::string path = long_name;
    builder.directory(path);
    for (int i = 0; i < 5; ++i)
        builder.directory(path += "\\" + long_name);
    archives.push_back(builder.build().bytes);
    for (std::size_t i = 0; i < archives.size(); ++i)
        EXPECT_EQ(open_kind(archives[i]), ErrorKind::BadName) << "case " << i;
}

TEST(ReaderDirectory, AFileRecordOutsideTheFileOrWithAnUnknownMethodFailsThatEntryOnly)
{
    const BuiltArchive built = sample();
    const std::uint32_t record = built.at.at("units\\B.FBI").record;
    struct Case {
        const char* what;
        std::uint32_t offset;
        std::uint32_t value;
        ErrorKind kind;
    };
    const Case cases[] = {
        {"data inside the header", record, 8, ErrorKind::BadOffset},
        {"data past the end of the file", record, std::uint32_t(built.bytes.size() + 1),
         ErrorKind::BadOffset},
        {"data running past the end", record, std::uint32_t(built.bytes.size() - 2), ErrorKind::Truncated},
        {"data far away", record, 0xFFFFFFFF, ErrorKind::BadOffset},
        // Not stored, so read as chunks, which the raw text cannot pass for:
        // which fault shows first depends on the text (None: any error).
        {"unknown method", record + 8, (built.u32(record + 8) & ~0xFFu) | 3, ErrorKind::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuiltArchive copy = built;
        copy.put_u32(c.offset, c.value);
        auto archive = test::open_bytes(copy.bytes);
        ASSERT_TRUE(archive) << archive.error().message;
        Bytes content;
        const Error error = test::read_all(**archive, *(*archive)->find("units\\B.FBI"), content);
        EXPECT_TRUE(c.kind == ErrorKind::None ? bool(error) : error.kind == c.kind) << error.message;
        EXPECT_NE(error.message.find("'units\\B.FBI'"), std::string::npos) << error.message;
        EXPECT_EQ((*archive)->test().kind, error.kind);
        EXPECT_FALSE(test::read_all(**archive, *(*archive)->find("units\\A.FBI"), content));
        EXPECT_EQ(content, bytes_of("a"));
    }
}

TEST(ReaderDirectory, EmptyFilesNeedNoPlausibleDataOffset)
{
    BuiltArchive built =
        ArchiveBuilder().stored_file("empty.dat", {}).chunked_file("empty.lz", Method::Lz77, 0, {}).build();
    built.put_u32(built.at.at("empty.dat").record, 0);
    built.put_u32(built.at.at("empty.lz").record, 0xFFFFFFFF);
    auto archive = test::open_bytes(built.bytes);
    ASSERT_TRUE(archive) << archive.error().message;
    std::size_t calls = 0;
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_FALSE((*archive)->read(i, [&](auto) { return ++calls, true; }));
    EXPECT_EQ(calls, 0u);
}

}  // namespace
}  // namespace hpi

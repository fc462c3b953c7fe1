// Version-2 archives built byte by byte: the layouts the fixed archives lack,
// the listing order, and every way a header, block, folder tree or file can
// be damaged, each with the kind of error and the place it names.
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/v2_builder.h"
#include "support/writer_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

namespace hpi {
namespace {

using test::Bytes;
using test::bytes_of;
using test::Chunk;
using test::chunk_bytes;
using test::V2Archive;
using test::V2Builder;

const Bytes kText = writer_test::make_content(300000, 2, true);
// Bigger than the reader's 256 KiB piece even compressed.
const Bytes kNoise = test::noise(300000, 5);

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t to)
{
    return Bytes(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(to));
}

Error read_entry(const Archive& archive, std::string_view path, Bytes& content)
{
    const auto index = archive.find(path);
    if (!index)
        return {ErrorKind::InvalidArgument, "no " + std::string(path)};
    return test::read_all(archive, *index, content);
}

TEST(ReaderV2, LayoutsTheFixedArchivesLackReadExactly)
{
    Chunk with_trailing = test::zlib_chunk_with_trailing(kText, bytes_of("not part of the stream"), true);
    const struct {
        const char* what;
        std::function<V2Builder&(V2Builder&)> add;
        const Bytes& content;
    } cases[] = {
        {"incompressible zlib chunk read in pieces",
         [](V2Builder& b) -> V2Builder& { return b.file("d\\f", kNoise); }, kNoise},
        {"stored chunk",
         [](V2Builder& b) -> V2Builder& {
             return b.stored_file("d\\f", 300000, chunk_bytes(test::stored_chunk(kNoise)),
                                  test::v2_content_checksum(kNoise));
         },
         kNoise},
        {"obfuscated LZ77 chunk",
         [](V2Builder& b) -> V2Builder& {
             return b.stored_file("d\\f", 300000, chunk_bytes(test::lz77_literal_chunk(kText, true)),
                                  test::v2_content_checksum(kText));
         },
         kText},
        {"three chunks of three methods",
         [](V2Builder& b) -> V2Builder& {
             return b.stored_file(
                 "d\\f", 300000,
                 concat({chunk_bytes(test::zlib_chunk(slice(kText, 0, 100000))),
                         chunk_bytes(test::lz77_literal_chunk(slice(kText, 100000, 100001))),
                         chunk_bytes(test::stored_chunk(slice(kText, 100001, 300000), true))}),
                 test::v2_content_checksum(kText));
         },
         kText},
        {"raw bytes", [](V2Builder& b) -> V2Builder& { return b.stored_file("d\\f", 300000, kNoise); },
         kNoise},
        {"zlib bytes after the stream",
         [&](V2Builder& b) -> V2Builder& {
             return b.stored_file("d\\f", 300000, chunk_bytes(with_trailing),
                                  test::v2_content_checksum(kText));
         },
         kText},
    };
    const struct {
        const char* what;
        std::function<void(V2Builder&)> arrange;
    } arrangements[] = {
        {"raw blocks", [](V2Builder&) {}},
        {"zlib blocks", [](V2Builder& b) { b.blocks_as_chunks(2); }},
        {"LZ77 blocks", [](V2Builder& b) { b.blocks_as_chunks(1); }},
        {"stored chunk blocks", [](V2Builder& b) { b.blocks_as_chunks(0); }},
        {"blocks before the data", [](V2Builder& b) { b.blocks_first(); }},
    };
    for (const auto& arrangement : arrangements) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(arrangement.what) + ", " + c.what);
            V2Builder builder;
            builder.folder("d").file("empty", {});
            arrangement.arrange(builder);
            auto archive = test::open_bytes(c.add(builder).build().bytes);
            ASSERT_TRUE(archive) << archive.error().message;
            Bytes got;
            const Error error = read_entry(**archive, "d\\f", got);
            ASSERT_FALSE(error) << error.message;
            EXPECT_TRUE(got == c.content);
            const Error tested = (*archive)->test();
            EXPECT_FALSE(tested) << tested.message;
        }
    }
}

// The records stand in no order; a folder's subfolders and files come out
// as one list sorted by case-folded name, subfolders first on a tie.
TEST(ReaderV2, ListsDepthFirstEachFoldersEntriesSortedWithoutRegardToCase)
{
    auto archive = test::open_bytes(V2Builder()
                                        .folder("Zeta")
                                        .folder("b")
                                        .folder("b\\inner")
                                        .file("b\\inner\\x", bytes_of("x"))
                                        .folder("same")
                                        .file("same", bytes_of("a file named like a folder"))
                                        .file("C.txt", bytes_of("c"))
                                        .file("a.txt", bytes_of("a"))
                                        .file("b\\Y", bytes_of("y"))
                                        .file("b\\_z", bytes_of("z"))
                                        .build()
                                        .bytes);
    ASSERT_TRUE(archive) << archive.error().message;
    std::vector<std::string> listing;
    for (const Entry& e : (*archive)->entries())
        listing.push_back((e.is_directory ? "d " : "f ") + e.path + " " + std::to_string(e.size));
    EXPECT_EQ(listing,
              (std::vector<std::string>{"f a.txt 1", "d b 2", "f b\\_z 1", "d b\\inner 1", "f b\\inner\\x 1",
                                        "f b\\Y 1", "f C.txt 1", "d same 0", "f same 26", "d Zeta 0"}));
}

// A raw directory block's records are changed in place by the tests below.
struct Tree {
    V2Archive built;
    std::uint32_t names_size;
};

Tree sample_tree()
{
    V2Archive built = V2Builder()
                          .folder("units")
                          .folder("units\\deep")
                          .file("units\\deep\\f.txt", bytes_of("deep"))
                          .folder("empty")
                          .file("units\\a.fbi", bytes_of("alpha"))
                          .file("top.txt", bytes_of("top"))
                          .build();
    return {built, built.u32(20)};
}

struct Damage {
    std::string what;
    std::function<void(V2Archive&)> spoil;
    ErrorKind kind;
    std::string where;  // what the message must name
};

void expect_refused_at_open(const Damage& d, V2Archive built)
{
    SCOPED_TRACE(d.what);
    d.spoil(built);
    auto archive = test::open_bytes(built.bytes);
    ASSERT_FALSE(archive) << "opened";
    EXPECT_EQ(archive.error().kind, d.kind) << archive.error().message;
    EXPECT_NE(archive.error().message.find(d.where), std::string::npos) << archive.error().message;
}

TEST(ReaderV2, DamagedHeadersBlocksAndTreesAreRefusedAtOpen)
{
    const Tree tree = sample_tree();
    const std::uint32_t size = std::uint32_t(tree.built.bytes.size());
    const auto field = [](const std::string& path, std::size_t at, std::uint32_t value) {
        return [=](V2Archive& b) { b.put_record_u32(path, at, value); };
    };
    const auto header = [](std::uint32_t at, std::uint32_t value) {
        return [=](V2Archive& b) { b.put_u32(at, value); };
    };
    const std::uint32_t units = tree.built.record.at("units");
    std::vector<Damage> cases = {
        {"data start inside the header", header(24, 31), ErrorKind::BadOffset, "file data start 31"},
        {"data start past the end", header(24, size + 1), ErrorKind::BadOffset, "file data start"},
        {"names block past the end", header(20, size), ErrorKind::Truncated, "names block ["},
        {"directory block over the header", header(8, 8), ErrorKind::BadOffset, "directory block [8, "},
        {"directory block far past the end", header(12, 0xFFFFFFFF), ErrorKind::Truncated, "directory block"},
        {"no room for the root record", header(12, 19), ErrorKind::BadOffset, "root folder record"},
        {"subfolders past the block", field("", 4, 1000), ErrorKind::BadOffset,
         "root folder: 2 folder records at offset 1000"},
        {"files past the block", field("units", 12, 0xFFFFFFF0), ErrorKind::BadOffset,
         "folder 'units': 1 file records"},
        {"a folder that lists itself", field("units", 4, units), ErrorKind::DirectoryLoop,
         "reached a second time"},
        {"a folder that lists the root",
         [](V2Archive& b) {
             b.put_record_u32("units\\deep", 4, 0);
             b.put_record_u32("units\\deep", 8, 1);
         },
         ErrorKind::DirectoryLoop, "folder 'units\\deep': folder records at offset 0"},
        {"two folders sharing a file list",
         [&](V2Archive& b) {
             b.put_record_u32("empty", 12, tree.built.record.at("units\\a.fbi"));
             b.put_record_u32("empty", 16, 1);
         },
         ErrorKind::DirectoryLoop,
         "file records at offset " + std::to_string(tree.built.record.at("units\\a.fbi")) +
             " are reached a second time"},
        {"name past the names block", field("top.txt", 0, tree.names_size), ErrorKind::BadOffset,
         "lies outside the names block"},
        {"a name without its end", header(20, tree.names_size - 1), ErrorKind::BadName, "has no end"},
        {"a folder named by the root's empty name", field("units", 0, 0), ErrorKind::BadName,
         "is not a single path level"},
    };
    // Counts whose byte length wraps in 32 bits must not pass.
    for (std::uint32_t count : {0xFFFFFFFFu, 0x0CCCCCCDu, 0x80000000u})
        cases.push_back({"folder count " + std::to_string(count), field("", 8, count), ErrorKind::BadOffset,
                         "folder records"});
    for (std::uint32_t count : {0xFFFFFFFFu, 0x0AAAAAABu})
        cases.push_back({"file count " + std::to_string(count), field("units", 16, count),
                         ErrorKind::BadOffset, "file records"});
    for (const Damage& d : cases)
        expect_refused_at_open(d, tree.built);

    // The blocks as chunks: their own faults.
    const V2Archive chunked =
        V2Builder().folder("units").file("units\\a.fbi", bytes_of("alpha")).blocks_as_chunks(2).build();
    const std::uint32_t dir = chunked.directory_at;
    const std::vector<Damage> block_cases = {
        {"block chunk checksum", [=](V2Archive& b) { b.put_u32(dir + 15, b.u32(dir + 15) ^ 1); },
         ErrorKind::BadChecksum, "directory block ["},
        {"block plain size beyond what the payload holds",
         [=](V2Archive& b) { b.put_u32(dir + 11, 0xFFFFFFFF); }, ErrorKind::BadCompressedData,
         "is more than a payload"},
        {"block plain size above what the stream gives",
         [=](V2Archive& b) { b.put_u32(dir + 11, b.u32(dir + 11) + 1); }, ErrorKind::BadCompressedData,
         "ends after"},
        {"block chunk of an unknown method", [=](V2Archive& b) { b.bytes[dir + 5] = 7; },
         ErrorKind::BadCompressedData, "unknown chunk method 7"},
        {"block chunk not filling its block", [=](V2Archive& b) { b.put_u32(20, b.u32(20) + 1); },
         ErrorKind::BadOffset, "names block"},
        {"block too short for a chunk header", [=](V2Archive& b) { b.put_u32(12, 10); },
         ErrorKind::BadCompressedData, "19-byte chunk header"},
    };
    for (const Damage& d : block_cases)
        expect_refused_at_open(d, chunked);
}

// A folder whose name is not one path level damages the tree; a file's
// damages that file alone: it is listed, under a path that is only words to
// show, and reading it fails, while the other file still reads.
TEST(ReaderV2, NamesThatAreNotOnePathLevelDamageAFolderTreeOrThatFileAlone)
{
    const std::string long_name(1030, 'n');
    for (const std::string name : {"..", ".", "a/b", "a\\b", "tab\there", "del\x7F", "", long_name.c_str()}) {
        for (bool as_folder : {true, false}) {
            SCOPED_TRACE(name.substr(0, 10) + (as_folder ? " folder" : " file"));
            V2Builder builder;
            builder.folder("ok").file("ok\\fine", bytes_of("fine"));
            // A backslash cannot come through a builder path: it is put into the name.
            const std::string stand_in = name == "a\\b" ? "a-b" : name;
            if (as_folder)
                builder.folder("ok\\" + stand_in);
            else
                builder.file("ok\\" + stand_in, bytes_of("x"));
            V2Archive built = builder.build();
            if (stand_in != name)
                built.bytes[built.names_at + built.u32(built.directory_at + built.record.at("ok\\a-b")) + 1] =
                    '\\';
            auto archive = test::open_bytes(built.bytes);
            if (as_folder) {
                ASSERT_FALSE(archive);
                EXPECT_EQ(archive.error().kind, ErrorKind::BadName) << archive.error().message;
                EXPECT_NE(archive.error().message.find("folder 'ok': record at offset"), std::string::npos)
                    << archive.error().message;
                continue;
            }
            ASSERT_TRUE(archive) << archive.error().message;
            const std::vector<Entry>& entries = (*archive)->entries();
            const auto bad =
                std::find_if(entries.begin(), entries.end(), [](const Entry& e) { return e.bad_name; });
            ASSERT_NE(bad, entries.end());
            EXPECT_EQ(
                std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.bad_name; }), 1);
            EXPECT_EQ(bad->path, ("ok\\" + name).substr(0, 1024));
            Bytes got;
            const Error error = test::read_all(**archive, std::size_t(bad - entries.begin()), got);
            EXPECT_EQ(error.kind, ErrorKind::BadName) << error.message;
            EXPECT_NE(error.message.find(name == long_name ? "path longer than 1024 bytes"
                                                           : "is not a single path level"),
                      std::string::npos)
                << error.message;
            EXPECT_TRUE(got.empty());
            EXPECT_EQ((*archive)->test().kind, ErrorKind::BadName);
            EXPECT_FALSE(read_entry(**archive, "ok\\fine", got));
            EXPECT_EQ(got, bytes_of("fine"));
        }
    }
    // A sound name keeps its path from a damaged one that shows the same.
    V2Archive built =
        V2Builder().folder("a").file("a\\b", bytes_of("sound")).file("a-b", bytes_of("damaged")).build();
    built.bytes[built.names_at + built.u32(built.directory_at + built.record.at("a-b")) + 1] = '\\';
    auto archive = test::open_bytes(built.bytes);
    ASSERT_TRUE(archive) << archive.error().message;
    Bytes got;
    EXPECT_FALSE(read_entry(**archive, "A\\B", got));
    EXPECT_EQ(got, bytes_of("sound"));
}

TEST(ReaderV2, TreesDeeperThanTheLimitAreRefused)
{
    for (std::size_t depth : {64u, 65u}) {
        SCOPED_TRACE(depth);
        V2Builder builder;
        std::string path = "d";
        builder.folder(path);
        for (std::size_t i = 1; i < depth; ++i)
            builder.folder(path += "\\d");
        builder.file(path + "\\f", bytes_of("deepest"));
        const Error error = test::first_error(builder.build().bytes);
        EXPECT_EQ(error.kind, depth <= 64 ? ErrorKind::None : ErrorKind::DirectoryLoop) << error.message;
    }
}

// Each case damages the file "d\\f" alone: the archive opens, that file
// fails with its kind and the place named, and the other file still reads.
TEST(ReaderV2, DamagedFilesAreErrorsForThatFileAlone)
{
    const Bytes text = slice(kText, 0, 100000);
    const std::uint32_t sum = test::v2_content_checksum(text);
    using Make = std::function<V2Archive()>;
    const auto one = [&](std::uint32_t size, Bytes stored, std::uint32_t checksum) -> Make {
        return [=] {
            return V2Builder()
                .folder("d")
                .file("ok", bytes_of("fine"))
                .stored_file("d\\f", size, stored, checksum)
                .build();
        };
    };
    const auto patched = [&](std::function<void(V2Archive&)> spoil) -> Make {
        return [=] {
            V2Archive b = one(100000, chunk_bytes(test::zlib_chunk(text)), sum)();
            spoil(b);
            return b;
        };
    };
    Chunk bad_sum = test::zlib_chunk(text);
    bad_sum.checksum = 12345;
    Chunk no_end = test::zlib_chunk(text);
    no_end.payload.resize(no_end.payload.size() - 4);  // the Adler-32 trailer gone
    Chunk too_long = test::zlib_chunk(slice(kText, 0, 100001));
    too_long.plain_size = 100000;
    Chunk too_short = test::zlib_chunk(slice(kText, 0, 99999));
    too_short.plain_size = 100000;
    Chunk unknown = test::stored_chunk(text);
    unknown.method = 5;
    // A payload of several pieces whose first deflate block is made one of
    // the reserved type: it fails to decode long before its end is read.
    const Bytes long_text = writer_test::make_content(3'000'000, 9, true);
    Chunk changed = test::zlib_chunk(long_text);
    EXPECT_GT(changed.payload.size(), 256u * 1024);
    changed.checksum = std::uint32_t(std::accumulate(changed.payload.begin(), changed.payload.end(), 0u));
    changed.payload[2] |= 0x06;
    const Bytes two = concat({chunk_bytes(test::zlib_chunk(slice(text, 0, 50000))),
                              chunk_bytes(test::stored_chunk(slice(text, 50000, 100000)))});
    Bytes second_unmarked = two;
    second_unmarked[chunk_bytes(test::zlib_chunk(slice(text, 0, 50000))).size() + 3] = 'X';
    const struct {
        const char* what;
        Make make;
        ErrorKind kind;
        const char* where;
    } cases[] = {
        {"data before the file data", patched([](V2Archive& b) { b.put_record_u32("d\\f", 4, 16); }),
         ErrorKind::BadOffset, "starts before the file data at 32"},
        {"data past the end", patched([](V2Archive& b) { b.put_record_u32("d\\f", 12, 0xFFFFFF00); }),
         ErrorKind::Truncated, "runs past the end of the file"},
        {"neither a chunk nor raw", one(100000, slice(kText, 0, 99999), sum), ErrorKind::BadCompressedData,
         "is neither a chunk nor"},
        {"chunk header cut", one(100000, slice(chunk_bytes(test::zlib_chunk(text)), 0, 10), sum),
         ErrorKind::BadCompressedData, "chunk 1 at offset"},
        {"second chunk without its marker", one(100000, second_unmarked, sum), ErrorKind::BadCompressedData,
         "chunk 2 at offset"},
        {"plain size past the file's size",
         patched([](V2Archive& b) { b.put_u32(b.data.at("d\\f") + 11, 100001); }),
         ErrorKind::BadCompressedData, "exceeds the 100000 bytes left"},
        {"payload past the stored size",
         patched([](V2Archive& b) { b.put_u32(b.data.at("d\\f") + 7, b.u32(b.data.at("d\\f") + 7) + 1); }),
         ErrorKind::BadOffset, "overruns"},
        {"chunk checksum", one(100000, chunk_bytes(bad_sum), sum), ErrorKind::BadChecksum,
         "chunk 1 at offset"},
        {"changed payload blamed on its checksum",
         one(3'000'000, chunk_bytes(changed), test::v2_content_checksum(long_text)), ErrorKind::BadChecksum,
         "chunk 1 at offset 66: checksum"},
        {"zlib past the plain size", one(100000, chunk_bytes(too_long), sum), ErrorKind::BadCompressedData,
         "inflates to more than 100000"},
        {"zlib short of the plain size", one(100000, chunk_bytes(too_short), sum),
         ErrorKind::BadCompressedData, "ends after 99999 of 100000"},
        {"zlib stream without its end", one(100000, chunk_bytes(no_end), sum), ErrorKind::BadCompressedData,
         "zlib data ends before the end"},
        {"unknown chunk method", one(100000, chunk_bytes(unknown), sum), ErrorKind::BadCompressedData,
         "unknown chunk method 5"},
        {"chunks short of the size", one(100001, two, sum), ErrorKind::BadCompressedData,
         "its chunks hold 100000 of its 100001"},
        {"content checksum", one(100000, two, sum ^ 0x100), ErrorKind::BadChecksum, "content checksum"},
        {"raw content checksum", one(100000, text, sum ^ 1), ErrorKind::BadChecksum, "content checksum"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto archive = test::open_bytes(c.make().bytes);
        ASSERT_TRUE(archive) << archive.error().message;
        Bytes got;
        const Error error = read_entry(**archive, "d\\f", got);
        EXPECT_EQ(error.kind, c.kind) << error.message;
        EXPECT_NE(error.message.find("entry 'd\\f': "), std::string::npos) << error.message;
        EXPECT_NE(error.message.find(c.where), std::string::npos) << error.message;
        EXPECT_EQ((*archive)->test().kind, c.kind);
        EXPECT_FALSE(read_entry(**archive, "ok", got)) << "the other file reads";
        EXPECT_EQ(got, bytes_of("fine"));
    }
}

// Every cut loses bytes somebody needs: the blocks at the end, or with the
// blocks first, file data (the last file is a chunk).
TEST(ReaderV2, AnArchiveCutAtEveryOffsetIsAnErrorNeverACrash)
{
    for (bool blocks_first : {false, true}) {
        SCOPED_TRACE(blocks_first ? "blocks first" : "blocks last");
        V2Builder builder;
        builder.folder("d").stored_file("d\\raw", 6, bytes_of("stored")).file("z.bin", test::noise(3000, 7));
        if (blocks_first)
            builder.blocks_first();
        const Bytes whole = builder.build().bytes;
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            SCOPED_TRACE(cut);
            const Error error = test::first_error(slice(whole, 0, cut));
            EXPECT_EQ(error.kind, cut < 4 ? ErrorKind::NotAnArchive : ErrorKind::Truncated) << error.message;
        }
        EXPECT_FALSE(test::first_error(whole));
    }
}

// Ranges of a file in one chunk: decoded from the start, the part before
// the range dropped; chunks before the range are passed over unread. A
// chunk's checksum covers its whole payload, and is checked before any byte
// of a range goes out, even when the change lies past the range.
TEST(ReaderV2, RangesOfOneChunkAndOfSeveralChunks)
{
    const Bytes three = concat({chunk_bytes(test::zlib_chunk(slice(kText, 0, 100000))),
                                chunk_bytes(test::stored_chunk(slice(kText, 100000, 200000))),
                                chunk_bytes(test::zlib_chunk(slice(kText, 200000, 300000)))});
    V2Archive built = V2Builder()
                          .file("one", kText)
                          .stored_file("three", 300000, three, test::v2_content_checksum(kText))
                          .stored_file("raw", 300000, kText)
                          .stored_file("stored", 300000, chunk_bytes(test::stored_chunk(kNoise)),
                                       test::v2_content_checksum(kNoise))
                          .build();
    built.bytes[built.data.at("stored") + 19 + 290000] ^= 0x40;
    // The middle chunk of "three" loses its checksum: ranges missing it still read.
    const std::uint32_t middle =
        built.data.at("three") + std::uint32_t(chunk_bytes(test::zlib_chunk(slice(kText, 0, 100000))).size());
    built.put_u32(middle + 15, built.u32(middle + 15) + 1);
    auto archive = test::open_bytes(built.bytes);
    ASSERT_TRUE(archive) << archive.error().message;
    const struct {
        const char* path;
        std::uint64_t offset, length;
        ErrorKind kind;
        std::size_t out = 0;  // with an error: the bytes of sound chunks that went out before it
    } ranges[] = {
        {"one", 0, 10, ErrorKind::None},
        {"one", 299990, 100, ErrorKind::None},
        {"one", 65535, 70000, ErrorKind::None},
        {"raw", 123456, 1000, ErrorKind::None},
        {"three", 0, 100000, ErrorKind::None},
        {"three", 200000, 5, ErrorKind::None},
        {"three", 99999, 2, ErrorKind::BadChecksum, 1},
        {"three", 150000, 1, ErrorKind::BadChecksum},
        {"stored", 0, 10, ErrorKind::BadChecksum},
        {"stored", 65536, 65536, ErrorKind::BadChecksum},
    };
    for (const auto& r : ranges) {
        SCOPED_TRACE(std::string(r.path) + " " + std::to_string(r.offset));
        Bytes got;
        const Error error = (*archive)->read_range((*archive)->find(r.path).value(), r.offset, r.length,
                                                   [&](std::span<const std::uint8_t> piece) {
                                                       got.insert(got.end(), piece.begin(), piece.end());
                                                       return true;
                                                   });
        EXPECT_EQ(error.kind, r.kind) << error.message;
        if (r.kind == ErrorKind::None) {
            EXPECT_TRUE(got == slice(kText, r.offset, std::min<std::size_t>(300000, r.offset + r.length)));
        } else {
            EXPECT_EQ(got.size(), r.out)
                << "bytes of the damaged chunk went out before its checksum was checked";
        }
    }
}

}  // namespace
}  // namespace hpi

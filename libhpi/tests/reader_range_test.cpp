// Reading part of a file: the bytes of every range match the same bytes of a
// whole read, at and across chunk borders, and only the chunks that hold the
// range are read, so damage elsewhere in the file does not stop it. (Reads
// from several threads are the fixtures' test: read() is a range.) Then a
// reader, one range after another.
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/v2_builder.h"
#include "support/writer_view.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>

namespace hpi {
namespace {

using test::ArchiveBuilder;
using test::BuiltArchive;
using test::Bytes;

constexpr std::uint64_t kChunk = 65536;
constexpr std::uint64_t kAll = std::numeric_limits<std::uint64_t>::max();

// 200,000 bytes: three whole chunks and a short fourth.
const Bytes kContent = writer_test::make_content(200000, 4, true);

BuiltArchive every_kind()
{
    return ArchiveBuilder()
        .stored_file("stored.bin", kContent)
        .chunked_file("zlib.bin", Method::Zlib, std::uint32_t(kContent.size()),
                      test::chunks_of(kContent, test::zlib_chunk, true))
        .chunked_file("lz77.bin", Method::Lz77, std::uint32_t(kContent.size()),
                      test::chunks_of(kContent, test::lz77_literal_chunk))
        .build();
}

struct Piece {
    Bytes bytes;
    std::size_t calls = 0;
};

Error read_piece(const Archive& archive, std::string_view path, std::uint64_t offset, std::uint64_t length,
                 Piece& piece)
{
    return archive.read_range(archive.find(path).value(), offset, length,
                              [&](std::span<const std::uint8_t> bytes) {
                                  piece.bytes.insert(piece.bytes.end(), bytes.begin(), bytes.end());
                                  ++piece.calls;
                                  return true;
                              });
}

TEST(ReaderRange, EveryRangeGivesTheSameBytesAsAWholeRead)
{
    const std::uint64_t size = kContent.size();
    const struct {
        std::uint64_t offset, length;
    } ranges[] = {
        {0, 0},
        {0, 1},
        {0, size},
        {0, kAll},  // longer than the file, without overflow
        {kChunk - 1, 1},
        {kChunk - 1, 2},  // the last byte of a chunk, then across
        {kChunk, 1},
        {kChunk, kChunk},          // exactly one whole chunk
        {kChunk + 1, kChunk},      // across one border, not at one
        {kChunk - 1, kChunk + 2},  // three chunks, one byte of each end
        {1, 3 * kChunk},           // into the short last chunk
        {3 * kChunk, kAll},        // the short last chunk alone
        {size - 1, 10},
        {size - 1, kAll},
        {size, 5},
        {size + 100, 5},
        {kAll, kAll},  // at or past the end: nothing
    };
    for (bool encrypted : {false, true}) {
        const BuiltArchive built = every_kind();
        auto archive = test::open_bytes(encrypted ? built.encrypted(0x1234ABCD) : built.bytes);
        ASSERT_TRUE(archive) << archive.error().message;
        for (const char* path : {"stored.bin", "zlib.bin", "lz77.bin"}) {
            for (const auto& range : ranges) {
                SCOPED_TRACE(std::string(path) + (encrypted ? " encrypted" : "") + " offset " +
                             std::to_string(range.offset) + " length " + std::to_string(range.length));
                Piece piece;
                const Error error = read_piece(**archive, path, range.offset, range.length, piece);
                ASSERT_FALSE(error) << error.message;
                const std::uint64_t from = std::min(range.offset, size);
                const std::uint64_t to = from + std::min(range.length, size - from);
                EXPECT_EQ(piece.bytes, Bytes(kContent.begin() + std::ptrdiff_t(from),
                                             kContent.begin() + std::ptrdiff_t(to)));
                if (from == to) {
                    EXPECT_EQ(piece.calls, 0u) << "an empty range calls no sink";
                }
            }
        }
    }
}

// Chunk 2 of 4 (bytes 65536 to 131071) is damaged; every other chunk is
// found through the length array without reading it.
std::uint32_t chunk_2(const BuiltArchive& b)
{
    const std::uint32_t data = b.at.at("zlib.bin").data;
    return data + 16 + b.u32(data);  // after the array of four lengths and chunk 1
}

TEST(ReaderRange, DamageOutsideTheRangeIsNotReadAndDamageInsideIsReported)
{
    using Spoil = void (*)(BuiltArchive&);
    const struct {
        const char* what;
        Spoil spoil;
        ErrorKind kind;
    } damages[] = {
        {"a payload byte changed", [](BuiltArchive& b) { b.bytes[chunk_2(b) + 19 + 20] ^= 1; },
         ErrorKind::BadChecksum},
        {"no SQSH marker", [](BuiltArchive& b) { b.bytes[chunk_2(b)] = 'X'; }, ErrorKind::BadCompressedData},
    };
    const struct {
        std::uint64_t offset, length;
        bool touches_chunk_2;
    } ranges[] = {
        {0, kChunk, false},           {kChunk - 10, 10, false}, {2 * kChunk, kAll, false},
        {3 * kChunk + 5, 100, false}, {kChunk - 1, 2, true},    {2 * kChunk - 1, 1, true},
        {kChunk + 100, 1, true},      {0, kAll, true},
    };
    for (const auto& damage : damages) {
        BuiltArchive built = ArchiveBuilder()
                                 .chunked_file("zlib.bin", Method::Zlib, std::uint32_t(kContent.size()),
                                               test::chunks_of(kContent, test::zlib_chunk))
                                 .build();
        damage.spoil(built);
        auto archive = test::open_bytes(built.bytes);
        ASSERT_TRUE(archive) << archive.error().message;
        for (const auto& range : ranges) {
            SCOPED_TRACE(std::string(damage.what) + " offset " + std::to_string(range.offset));
            Piece piece;
            const Error error = read_piece(**archive, "zlib.bin", range.offset, range.length, piece);
            if (!range.touches_chunk_2) {
                EXPECT_FALSE(error) << error.message;
                const std::uint64_t to =
                    range.offset + std::min(range.length, kContent.size() - range.offset);
                EXPECT_EQ(piece.bytes, Bytes(kContent.begin() + std::ptrdiff_t(range.offset),
                                             kContent.begin() + std::ptrdiff_t(to)));
                continue;
            }
            EXPECT_EQ(error.kind, damage.kind) << error.message;
            EXPECT_NE(error.message.find("'zlib.bin': chunk 2 of 4 at offset "), std::string::npos)
                << error.message;
            EXPECT_LE(piece.bytes.size(), kChunk) << "nothing of chunk 2 reaches the caller";
        }
    }
}

// A stored file cut short reads up to the cut; a range reaching it is
// Truncated.
TEST(ReaderRange, AStoredFileCutShortReadsUpToTheCut)
{
    BuiltArchive built = ArchiveBuilder().directory("d").stored_file("d\\s.bin", kContent).build();
    built.bytes.resize(built.bytes.size() - 1000);
    auto archive = test::open_bytes(built.bytes);
    ASSERT_TRUE(archive) << archive.error().message;
    Piece before;
    EXPECT_FALSE(read_piece(**archive, "d\\s.bin", 1000, kContent.size() - 2000, before));
    EXPECT_EQ(before.bytes.size(), kContent.size() - 2000);
    Piece across;
    const Error cut = read_piece(**archive, "d\\s.bin", 1000, kContent.size() - 1000, across);
    EXPECT_EQ(cut.kind, ErrorKind::Truncated) << cut.message;
    EXPECT_NE(cut.message.find("'d\\s.bin'"), std::string::npos) << cut.message;
}

Bytes part(const Bytes& bytes, std::size_t from, std::size_t to)
{
    return Bytes(bytes.begin() + std::ptrdiff_t(from), bytes.begin() + std::ptrdiff_t(to));
}

// The content of file `index` from `from` on, read by one reader in pieces
// of `piece` bytes; each read must give its piece whole.
Error read_by_reader(const Archive& archive, std::size_t index, std::uint64_t from, std::uint64_t piece,
                     Bytes& content)
{
    auto reader = archive.reader(index, from);
    if (!reader)
        return reader.error();
    const std::uint64_t size = archive.entries()[index].size;
    while ((*reader)->offset() < size) {
        const std::uint64_t before = content.size(), want = std::min(piece, size - (*reader)->offset());
        if (Error error = (*reader)->read(piece, [&](std::span<const std::uint8_t> bytes) {
                content.insert(content.end(), bytes.begin(), bytes.end());
                return true;
            }))
            return error;
        if (content.size() - before != want)
            return {ErrorKind::InvalidArgument, "a read gave another length"};
    }
    return {};
}

// One zlib chunk, three chunks of three methods, raw bytes; and version 1.
struct Version2Files {
    test::V2Archive built =
        test::V2Builder()
            .file("one", kContent)
            .stored_file(
                "three", 200000,
                [] {
                    Bytes three = test::chunk_bytes(test::zlib_chunk(part(kContent, 0, 70000)));
                    for (const Bytes& more :
                         {test::chunk_bytes(test::lz77_literal_chunk(part(kContent, 70000, 70001))),
                          test::chunk_bytes(test::stored_chunk(part(kContent, 70001, 200000), true))})
                        three.insert(three.end(), more.begin(), more.end());
                    return three;
                }(),
                test::v2_content_checksum(kContent))
            .stored_file("raw", 200000, kContent)
            .build();
};

TEST(ReaderRange, AReaderReadInPiecesOfAnySizeGivesTheBytesOfAWholeRead)
{
    auto v1 = test::open_bytes(every_kind().bytes);
    auto v2 = test::open_bytes(Version2Files().built.bytes);
    ASSERT_TRUE(v1 && v2);
    const struct {
        const Archive& archive;
        const char* path;
    } files[] = {{**v1, "stored.bin"}, {**v1, "zlib.bin"}, {**v2, "one"}, {**v2, "three"}, {**v2, "raw"}};
    for (const auto& file : files) {
        for (std::uint64_t from : {0u, 70000u, 200000u}) {
            for (std::uint64_t piece : {1000u, 65536u, 99999u, 300000u}) {
                SCOPED_TRACE(std::string(file.path) + " from " + std::to_string(from) + " by " +
                             std::to_string(piece));
                Bytes got;
                const Error error =
                    read_by_reader(file.archive, file.archive.find(file.path).value(), from, piece, got);
                ASSERT_FALSE(error) << error.message;
                EXPECT_TRUE(got == part(kContent, from, kContent.size()));
            }
        }
    }
}

// The content checksum covers the whole file: a reader that decoded all of
// it checks it at the end, after every piece before came out whole; one that
// passed over raw bytes unread cannot.
TEST(ReaderRange, AReaderThatDecodedTheWholeFileChecksTheContentChecksumAtItsEnd)
{
    const std::uint32_t wrong = test::v2_content_checksum(kContent) ^ 1;
    auto archive =
        test::open_bytes(test::V2Builder()
                             .stored_file("one", 200000, test::chunk_bytes(test::zlib_chunk(kContent)), wrong)
                             .stored_file("raw", 200000, kContent, wrong)
                             .build()
                             .bytes);
    ASSERT_TRUE(archive) << archive.error().message;
    const struct {
        const char* path;
        std::uint64_t from;
        bool checked;
    } cases[] = {{"one", 0, true}, {"one", 70000, true}, {"raw", 0, true}, {"raw", 70000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " from " + std::to_string(c.from));
        auto reader = (*archive)->reader((*archive)->find(c.path).value(), c.from);
        ASSERT_TRUE(reader);
        Bytes got;
        const auto keep = [&](std::span<const std::uint8_t> bytes) {
            got.insert(got.end(), bytes.begin(), bytes.end());
            return true;
        };
        EXPECT_FALSE((*reader)->read(200000 - 1 - c.from, keep));
        const Error last = (*reader)->read(1, keep);
        EXPECT_EQ(last.kind, c.checked ? ErrorKind::BadChecksum : ErrorKind::None) << last.message;
        EXPECT_TRUE(got == part(kContent, c.from, kContent.size()))
            << "the sum is known once the last byte is out";
    }
}

// A reader goes on where it stopped: the bytes before its place are not read
// again, so damage made there since does not reach it, where a range read
// from the start meets it.
TEST(ReaderRange, AReaderGoesOnWhereItStoppedWithoutReadingAgainWhatItPassed)
{
    writer_test::ScratchDir scratch;
    const test::V2Archive built = test::V2Builder().file("one", kContent).build();
    writer_test::write_file(scratch / "a.hpi", built.bytes);
    auto archive = Archive::open(scratch / "a.hpi");
    ASSERT_TRUE(archive) << archive.error().message;
    auto reader = (*archive)->reader(0);
    ASSERT_TRUE(reader);
    Bytes got;
    const auto keep = [&](std::span<const std::uint8_t> bytes) {
        got.insert(got.end(), bytes.begin(), bytes.end());
        return true;
    };
    ASSERT_FALSE((*reader)->read(kChunk, keep));
    {
        std::fstream file(scratch / "a.hpi", std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(built.data.at("one") + 19);
        file.write("\xFF\xFF\xFF\xFF", 4);
    }
    const Error rest = (*reader)->read(kAll, keep);
    EXPECT_FALSE(rest) << rest.message;
    EXPECT_TRUE(got == kContent);
    EXPECT_TRUE((*archive)->read_range(0, kChunk, 1, [](std::span<const std::uint8_t>) { return true; }))
        << "a range read decodes from the damaged start";
}

}  // namespace
}  // namespace hpi

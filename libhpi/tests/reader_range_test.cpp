// Reading part of a file: the bytes of every range match the same bytes of a
// whole read, at and across chunk borders, and only the chunks that hold the
// range are read, so damage elsewhere in the file does not stop it. (Reads
// from several threads are the fixtures' test: read() is a range.)
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/writer_view.h"

#include <gtest/gtest.h>

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

BuiltArchive every_kind() {
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

Error read_piece(const Archive& archive, std::string_view path, std::uint64_t offset,
                 std::uint64_t length, Piece& piece) {
    return archive.read_range(archive.find(path).value(), offset, length,
                              [&](std::span<const std::uint8_t> bytes) {
                                  piece.bytes.insert(piece.bytes.end(), bytes.begin(), bytes.end());
                                  ++piece.calls;
                                  return true;
                              });
}

TEST(ReaderRange, EveryRangeGivesTheSameBytesAsAWholeRead) {
    const std::uint64_t size = kContent.size();
    const struct {
        std::uint64_t offset, length;
    } ranges[] = {
        {0, 0},          {0, 1},
        {0, size},       {0, kAll},  // longer than the file, without overflow
        {kChunk - 1, 1}, {kChunk - 1, 2},  // the last byte of a chunk, then across
        {kChunk, 1},     {kChunk, kChunk},  // exactly one whole chunk
        {kChunk + 1, kChunk},               // across one border, not at one
        {kChunk - 1, kChunk + 2},           // three chunks, one byte of each end
        {1, 3 * kChunk},                    // into the short last chunk
        {3 * kChunk, kAll},                 // the short last chunk alone
        {size - 1, 10},  {size - 1, kAll},
        {size, 5},       {size + 100, 5},   {kAll, kAll},  // at or past the end: nothing
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
std::uint32_t chunk_2(const BuiltArchive& b) {
    const std::uint32_t data = b.at.at("zlib.bin").data;
    return data + 16 + b.u32(data);  // after the array of four lengths and chunk 1
}

TEST(ReaderRange, DamageOutsideTheRangeIsNotReadAndDamageInsideIsReported) {
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
        {0, kChunk, false},          {kChunk - 10, 10, false},   {2 * kChunk, kAll, false},
        {3 * kChunk + 5, 100, false}, {kChunk - 1, 2, true},      {2 * kChunk - 1, 1, true},
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
                const std::uint64_t to = range.offset + std::min(range.length, kContent.size() - range.offset);
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
// Truncated. Directories and unknown indexes are refused as by read().
TEST(ReaderRange, AStoredFileCutShortAndTheCallersMistakes) {
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

    const auto sink = [](std::span<const std::uint8_t>) { return true; };
    EXPECT_EQ((*archive)->read_range(0, 0, 1, sink).kind, ErrorKind::InvalidArgument);  // "d"
    EXPECT_EQ((*archive)->read_range(2, 0, 1, sink).kind, ErrorKind::InvalidArgument);
}

}  // namespace
}  // namespace hpi

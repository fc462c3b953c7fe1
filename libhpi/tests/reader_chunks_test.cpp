// File data on archives built byte by byte: chunk layouts the fixed archives
// lack, and every chunk fault the reader must catch before it hands a byte to
// the caller.
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/writer_view.h"

#include <gtest/gtest.h>

#include <numeric>

namespace hpi {
namespace {

using test::ArchiveBuilder;
using test::BuiltArchive;
using test::Bytes;
using test::Chunk;

Bytes text_like(std::size_t size)
{
    return writer_test::make_content(size, 1, true);
}

Error read_one(const Bytes& archive_bytes, Bytes& content)
{
    auto archive = test::open_bytes(archive_bytes);
    if (!archive)
        return archive.error();
    for (std::size_t i = 0; i < (*archive)->entries().size(); ++i)
        if (!(*archive)->entries()[i].is_directory)
            return test::read_all(**archive, i, content);
    return {ErrorKind::InvalidArgument, "no file"};
}

BuiltArchive one_file(Method method, const Bytes& content, std::vector<Chunk> chunks)
{
    return ArchiveBuilder()
        .directory("units")
        .chunked_file("units\\ARMCOM.FBI", method, std::uint32_t(content.size()), std::move(chunks))
        .build();
}

// The fixed archives hold every method with and without obfuscation and
// encryption; these are the layouts they lack.
TEST(ReaderChunks, LayoutsTheFixedArchivesLackDecodeExactly)
{
    const Bytes content = text_like(70000);
    const Bytes head(content.begin(), content.begin() + 65536), tail(content.begin() + 65536, content.end());
    Chunk with_extras = test::zlib_chunk_with_trailing(head, test::bytes_of("trailing garbage"), true);
    with_extras.slack = 7;  // the stored length covers more than header + payload
    const std::vector<Chunk> mixed = {test::zlib_chunk(head), test::lz77_literal_chunk(tail, true)};
    const struct {
        const char* what;
        Method record;
        std::vector<Chunk> chunks;
    } cases[] = {
        {"stored chunks", Method::Zlib, test::chunks_of(content, test::stored_chunk, true)},
        // The chunk's method decides, whatever the file record says.
        {"zlib and LZ77 chunks, LZ77 record", Method::Lz77, mixed},
        {"zlib and LZ77 chunks, zlib record", Method::Zlib, mixed},
        {"zlib bytes after the stream, slack after the payload",
         Method::Zlib,
         {with_extras, test::zlib_chunk(tail)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes got;
        const Error error = read_one(one_file(c.record, content, c.chunks).bytes, got);
        ASSERT_FALSE(error) << error.message;
        EXPECT_EQ(got, content);
    }
}

// A big file is read a few hundred KiB at a time, chunks straddling the
// pieces; each piece is decrypted at its own offset.
TEST(ReaderChunks, AnEncryptedFileReadInPiecesDecodesExactly)
{
    const Bytes content = test::noise(700000, 3);
    const auto chunks = test::chunks_of(content, test::stored_chunk, true);
    Bytes got;
    const Error error = read_one(one_file(Method::Zlib, content, chunks).encrypted(0x5A17), got);
    ASSERT_FALSE(error) << error.message;
    EXPECT_EQ(got, content);
}

// Each case spoils the chunks before the archive is built, or a number of the
// built archive's file record or chunk length array.
TEST(ReaderChunks, ChunkAndLengthArrayFaultsAreCaughtBeforeDecoding)
{
    const Bytes content = text_like(70000);
    const auto base = test::chunks_of(content, test::lz77_literal_chunk);
    using Patch = void (*)(BuiltArchive&, const test::Placement&);
    struct Case {
        const char* what;
        void (*spoil)(std::vector<Chunk>&);
        Patch patch;
        ErrorKind kind;
    };
    const Case cases[] = {
        {"checksum one bit off",
         [](auto& c) {
             c[1].checksum = std::accumulate(c[1].payload.begin(), c[1].payload.end(), 0u) ^ 0x100;
         },
         nullptr, ErrorKind::BadChecksum},
        {"no SQSH marker", [](auto& c) { c[0].marker = 0x48535152; }, nullptr, ErrorKind::BadCompressedData},
        // A chunk that really holds 70000 bytes must be stopped before any
        // of them is decoded into a 64 KiB buffer.
        {"chunk over 64 KiB", [](auto& c) { c[0] = test::stored_chunk(text_like(70000)); }, nullptr,
         ErrorKind::BadCompressedData},
        // A valid stream followed by 2 MiB of junk: no 64 KiB chunk needs such
        // a payload, and a reader that loaded it could be made to load gigabytes.
        {"oversized payload",
         [](auto& c) {
             c[1] = test::zlib_chunk_with_trailing(text_like(c[1].plain_size), Bytes(2 << 20, 0x55));
         },
         nullptr, ErrorKind::BadCompressedData},
        {"plain size not the chunk's share", [](auto& c) { c[1].plain_size -= 1; }, nullptr,
         ErrorKind::BadCompressedData},
        {"payload longer than the stored length",
         [](auto& c) { c[1].payload_size = std::uint32_t(c[1].payload.size() + 1); }, nullptr,
         ErrorKind::BadOffset},
        {"payload size near 4 GiB", [](auto& c) { c[0].payload_size = 0xFFFFFFF0; }, nullptr,
         ErrorKind::BadOffset},
        {"unknown chunk method", [](auto& c) { c[0].method = 9; }, nullptr, ErrorKind::BadCompressedData},
        {"stored chunk shorter than its plain size", [](auto& c) { c[1].method = 0; }, nullptr,
         ErrorKind::BadCompressedData},
        {"LZ77 stream ending early",
         [](auto& c) { c[1].payload = test::Lz77Stream().literals(test::bytes_of("short")).end().bytes(); },
         nullptr, ErrorKind::BadCompressedData},
        {"zlib stream inflating past the plain size",
         [](auto& c) {
             c[1] = test::zlib_chunk(text_like(c[1].plain_size + 1));
             c[1].plain_size -= 1;
         },
         nullptr, ErrorKind::BadCompressedData},
        {"zlib stream inflating short",
         [](auto& c) {
             c[1] = test::zlib_chunk(text_like(c[1].plain_size - 1));
             c[1].plain_size += 1;
         },
         nullptr, ErrorKind::BadCompressedData},
        {"zlib stream with a wrong Adler-32",
         [](auto& c) {
             c[1] = test::zlib_chunk(text_like(c[1].plain_size));
             c[1].payload.back() ^= 1;
         },
         nullptr, ErrorKind::BadCompressedData},
        {"stored length below the header size", nullptr, [](auto& b, auto& f) { b.put_u32(f.data, 18); },
         ErrorKind::BadCompressedData},
        {"stored length past the end of the file", nullptr,
         [](auto& b, auto& f) { b.put_u32(f.data + 4, 0xFFFFFF00); }, ErrorKind::Truncated},
        {"stored length shorter than header and payload", nullptr,
         [](auto& b, auto& f) { b.put_u32(f.data, b.u32(f.data) - 40); }, ErrorKind::BadOffset},
        {"length array past the end of the file", nullptr,
         [](auto& b, auto& f) { b.put_u32(f.record, std::uint32_t(b.bytes.size() - 4)); },
         ErrorKind::Truncated},
        {"size needing a longer length array", nullptr,
         [](auto& b, auto& f) { b.put_u32(f.record + 4, 140000); }, ErrorKind::BadCompressedData},
        {"size needing a length array past the end", nullptr,
         [](auto& b, auto& f) { b.put_u32(f.record + 4, 0xFFFFFFFF); }, ErrorKind::Truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto chunks = base;
        if (c.spoil)
            c.spoil(chunks);
        BuiltArchive built = one_file(Method::Lz77, content, chunks);
        if (c.patch)
            c.patch(built, built.at.at("units\\ARMCOM.FBI"));
        Bytes got;
        const Error error = read_one(built.bytes, got);
        EXPECT_EQ(error.kind, c.kind) << error.message;
        EXPECT_NE(error.message.find("'units\\ARMCOM.FBI': chunk "), std::string::npos) << error.message;
        EXPECT_LE(got.size(), 65536u) << "only the first chunk may reach the caller";
    }
}

}  // namespace
}  // namespace hpi

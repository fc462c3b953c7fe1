// File data on archives built byte by byte: every chunk method, with and
// without obfuscation and encryption, and every chunk fault the reader must
// catch before it hands a byte to the caller.
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/writer_view.h"

#include <gtest/gtest.h>

namespace hpi {
namespace {

using test::ArchiveBuilder;
using test::BuiltArchive;
using test::Bytes;
using test::Chunk;

Bytes text_like(std::size_t size) { return writer_test::make_content(size, 1, true); }

Error read_one(const Bytes& archive_bytes, Bytes& content) {
    auto archive = test::open_bytes(archive_bytes);
    if (!archive) return archive.error();
    for (std::size_t i = 0; i < (*archive)->entries().size(); ++i)
        if (!(*archive)->entries()[i].is_directory) return test::read_all(**archive, i, content);
    return {ErrorKind::InvalidArgument, "no file"};
}

BuiltArchive one_file(Method method, const Bytes& content, std::vector<Chunk> chunks) {
    return ArchiveBuilder()
        .directory("units")
        .chunked_file("units\\ARMCOM.FBI", method, std::uint32_t(content.size()), std::move(chunks))
        .build();
}

TEST(ReaderChunks, EveryMethodDecodesExactlyWithAndWithoutObfuscationAndEncryption) {
    const Bytes content = text_like(150000);  // three chunks, the last one short
    struct Case {
        const char* what;
        Method record;
        Chunk (*make)(const Bytes&, bool);
    };
    const Case cases[] = {
        {"LZ77", Method::Lz77, test::lz77_literal_chunk},
        {"zlib", Method::Zlib, test::zlib_chunk},
        {"stored chunks", Method::Zlib, test::stored_chunk},
    };
    for (const Case& c : cases) {
        for (bool obfuscated : {false, true}) {
            for (std::uint32_t key : {0u, 0x1234ABCDu}) {
                SCOPED_TRACE(std::string(c.what) + (obfuscated ? " obfuscated" : "") +
                             " key " + std::to_string(key));
                const BuiltArchive built =
                    one_file(c.record, content, test::chunks_of(content, c.make, obfuscated));
                Bytes got;
                const Error error = read_one(key ? built.encrypted(key) : built.bytes, got);
                ASSERT_FALSE(error) << error.message;
                EXPECT_EQ(got, content);
            }
        }
    }
}

TEST(ReaderChunks, TheChunkMethodDecidesWhateverTheFileRecordSays) {
    const Bytes content = text_like(70000);
    std::vector<Chunk> chunks = {test::zlib_chunk(Bytes(content.begin(), content.begin() + 65536), false),
                                 test::lz77_literal_chunk(Bytes(content.begin() + 65536, content.end()), true)};
    for (Method record : {Method::Lz77, Method::Zlib}) {
        Bytes got;
        const Error error = read_one(one_file(record, content, chunks).bytes, got);
        ASSERT_FALSE(error) << error.message;
        EXPECT_EQ(got, content);
    }
}

TEST(ReaderChunks, ZlibBytesAfterTheStreamAreIgnoredAndSlackAfterPayloadsSkipped) {
    const Bytes content = text_like(1000);
    Chunk chunk = test::zlib_chunk_with_trailing(content, test::bytes_of("trailing garbage"), true);
    chunk.slack = 7;  // the stored length covers more than header + payload
    Bytes got;
    const Error error = read_one(one_file(Method::Zlib, content, {chunk}).bytes, got);
    ASSERT_FALSE(error) << error.message;
    EXPECT_EQ(got, content);
}

TEST(ReaderChunks, WrongChecksumIsReportedWithEntryChunkAndBothSums) {
    const Bytes content = text_like(100000);
    std::vector<Chunk> chunks = test::chunks_of(content, test::zlib_chunk, true);
    const std::uint32_t good = [&] {
        BuiltArchive built = one_file(Method::Zlib, content, chunks);
        return built.u32(built.at.at("units\\ARMCOM.FBI").chunks[1] + 15);
    }();
    chunks[1].checksum = good ^ 0x100;
    const BuiltArchive built = one_file(Method::Zlib, content, chunks);
    for (std::uint32_t key : {0u, 77u}) {
        Bytes got;
        const Error error = read_one(key ? built.encrypted(key) : built.bytes, got);
        EXPECT_EQ(error.kind, ErrorKind::BadChecksum) << error.message;
        const std::string offset = std::to_string(built.at.at("units\\ARMCOM.FBI").chunks[1]);
        char sums[64];
        std::snprintf(sums, sizeof sums, "checksum 0x%08X expected 0x%08X", good, good ^ 0x100);
        EXPECT_EQ(error.message,
                  "entry 'units\\ARMCOM.FBI': chunk 2 of 2 at offset " + offset + ": " + sums);
        // The first chunk was whole and reached the caller before the fault.
        EXPECT_EQ(got, Bytes(content.begin(), content.begin() + 65536));
    }
}

TEST(ReaderChunks, ChunkHeaderFaultsAreCaughtBeforeDecoding) {
    const Bytes content = text_like(70000);
    const auto base = test::chunks_of(content, test::lz77_literal_chunk);
    struct Case {
        const char* what;
        void (*spoil)(std::vector<Chunk>&);
        ErrorKind kind;
    };
    const Case cases[] = {
        {"no SQSH marker", [](auto& c) { c[0].marker = 0x48535152; }, ErrorKind::BadCompressedData},
        // A chunk that really holds 70000 bytes must be stopped before any
        // of them is decoded into a 64 KiB buffer.
        {"chunk over 64 KiB", [](auto& c) { c[0] = test::stored_chunk(text_like(70000)); },
         ErrorKind::BadCompressedData},
        // A valid stream followed by 2 MiB of junk: no 64 KiB chunk needs such
        // a payload, and a reader that loaded it could be made to load gigabytes.
        {"oversized payload",
         [](auto& c) {
             c[1] = test::zlib_chunk_with_trailing(text_like(c[1].plain_size), Bytes(2 << 20, 0x55));
         },
         ErrorKind::BadCompressedData},
        {"plain size not the chunk's share",
         [](auto& c) { c[1].plain_size -= 1; }, ErrorKind::BadCompressedData},
        {"payload longer than the stored length",
         [](auto& c) { c[1].payload_size = std::uint32_t(c[1].payload.size() + 1); },
         ErrorKind::BadOffset},
        {"payload size near 4 GiB",
         [](auto& c) { c[0].payload_size = 0xFFFFFFF0; }, ErrorKind::BadOffset},
        {"unknown chunk method", [](auto& c) { c[0].method = 9; }, ErrorKind::BadCompressedData},
        {"stored chunk shorter than its plain size",
         [](auto& c) { c[1].method = 0; }, ErrorKind::BadCompressedData},
        {"LZ77 stream ending early",
         [](auto& c) {
             c[1].payload = test::Lz77Stream().literals(test::bytes_of("short")).end().bytes();
         },
         ErrorKind::BadCompressedData},
        {"zlib stream inflating past the plain size",
         [](auto& c) {
             c[1] = test::zlib_chunk(text_like(c[1].plain_size + 1), false);
             c[1].plain_size -= 1;
         },
         ErrorKind::BadCompressedData},
        {"zlib stream inflating short",
         [](auto& c) {
             c[1] = test::zlib_chunk(text_like(c[1].plain_size - 1), false);
             c[1].plain_size += 1;
         },
         ErrorKind::BadCompressedData},
        {"zlib stream with a wrong Adler-32",
         [](auto& c) {
             const std::uint32_t plain = c[1].plain_size;
             c[1] = test::zlib_chunk(text_like(plain), false);
             c[1].payload.back() ^= 1;
         },
         ErrorKind::BadCompressedData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto chunks = base;
        c.spoil(chunks);
        Bytes got;
        const Error error = read_one(one_file(Method::Lz77, content, chunks).bytes, got);
        EXPECT_EQ(error.kind, c.kind) << error.message;
        EXPECT_NE(error.message.find("'units\\ARMCOM.FBI': chunk "), std::string::npos)
            << error.message;
        EXPECT_LE(got.size(), 65536u) << "only the first chunk may reach the caller";
    }
}

TEST(ReaderChunks, LengthArrayFaultsAreCaught) {
    const Bytes content = text_like(70000);
    const BuiltArchive built =
        one_file(Method::Zlib, content, test::chunks_of(content, test::zlib_chunk));
    const auto& file = built.at.at("units\\ARMCOM.FBI");
    struct Case {
        const char* what;
        std::uint32_t offset;
        std::uint32_t value;
        ErrorKind kind;
    };
    const Case cases[] = {
        {"stored length below the header size", file.data, 18, ErrorKind::BadCompressedData},
        {"stored length past the end of the file", file.data + 4, 0xFFFFFF00,
         ErrorKind::Truncated},
        {"stored length shorter than header and payload", file.data, built.u32(file.data) - 40,
         ErrorKind::BadOffset},
        {"length array past the end of the file", file.record,
         std::uint32_t(built.bytes.size() - 4), ErrorKind::Truncated},
        {"size needing a longer length array", file.record + 4, 140000,
         ErrorKind::BadCompressedData},
        {"size needing a length array past the end", file.record + 4, 0xFFFFFFFF,
         ErrorKind::Truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuiltArchive copy = built;
        copy.put_u32(c.offset, c.value);
        Bytes got;
        const Error error = read_one(copy.bytes, got);
        EXPECT_EQ(error.kind, c.kind) << error.message;
    }
}

}  // namespace
}  // namespace hpi

// The LZ77 decoder on streams written item by item: the window's wrap, its
// zeroed start, and streams that end too early or say too much.
#include "decode.h"
#include "support/archive_builder.h"

#include <gtest/gtest.h>

namespace hpi {
namespace {

using test::Bytes;
using test::bytes_of;
using test::Lz77Stream;

// Decodes into a buffer longer than the plain size, so a write past it shows.
Bytes decode(const Bytes& payload, std::size_t plain_size)
{
    Bytes out(plain_size + 16, 0xCC);
    const std::size_t got = detail::lz77_decode(payload, std::span(out).first(plain_size));
    EXPECT_EQ(Bytes(out.begin() + std::ptrdiff_t(plain_size), out.end()), Bytes(16, 0xCC))
        << "written past the plain size";
    out.resize(got);
    return out;
}

// Byte k of the output sits in window slot (k + 1) mod 4096; the fixed LZ77
// archives hold ordinary references, but no careful encoder reads through
// slot 0, so the wrap is checked here.
TEST(ReaderLz77, AReferenceWrapsFromSlot4095ToSlots0And1)
{
    const Bytes first = test::noise(4097, 3);
    const Bytes got = decode(Lz77Stream().literals(first).reference(4095, 3).end().bytes(), 4100);
    EXPECT_EQ(Bytes(got.begin() + 4097, got.end()), Bytes(first.begin() + 4094, first.end()));
}

TEST(ReaderLz77, StreamsDecodeToTheirPlainSizeOrComeBackShort)
{
    const Bytes text = bytes_of("0123456789");
    // The window starts zeroed, so a reference to slots not yet written in
    // this chunk yields zero bytes: well defined, and never outside the window.
    EXPECT_EQ(
        decode(Lz77Stream().reference(100, 4).literals(bytes_of("ok")).reference(4000, 2).end().bytes(), 8),
        (Bytes{0, 0, 0, 0, 'o', 'k', 0, 0}));
    // An overlapping reference repeats its own output, up to the plain size.
    EXPECT_EQ(decode(Lz77Stream().literals(bytes_of("ab")).reference(1, 17).end().bytes(), 7),
              bytes_of("abababa"));
    Bytes payload = Lz77Stream().literals(text).end().bytes();
    EXPECT_EQ(decode(payload, 20), text);  // end marker before the plain size
    payload.insert(payload.end(), {0x00, 'X', 'Y'});
    EXPECT_EQ(decode(payload, 10), text);  // bytes after the end marker are ignored
    EXPECT_EQ(decode(Lz77Stream().literals(text).bytes(), 20), text);  // no end marker
    Bytes half_reference = Lz77Stream().literals(text).reference(1, 5).bytes();
    half_reference.pop_back();
    EXPECT_EQ(decode(half_reference, 20), text);
    EXPECT_EQ(decode({}, 20), Bytes{});
}

// A version-2 chunk arrives in pieces: cut anywhere (inside a reference,
// between a flag byte and its items, with the output full in the middle of
// a copy) it decodes as it does whole.
TEST(ReaderLz77, AStreamFedInPiecesOfAnySizeDecodesAsWhole)
{
    Lz77Stream stream;
    stream.literals(test::noise(300, 1));
    for (unsigned i = 0; i < 200; ++i)
        stream.reference(1 + (i * 37) % 290, 2 + i % 16).literal(std::uint8_t(i));
    const Bytes payload = stream.end().bytes();
    const std::size_t plain_size = 10000;  // more than the stream gives: it ends at its marker
    const Bytes whole = decode(payload, plain_size);
    ASSERT_GT(whole.size(), 2000u);
    for (std::size_t in_piece : {1u, 2u, 3u, 17u, 1000u}) {
        for (std::size_t out_piece : {1u, 5u, 4096u}) {
            SCOPED_TRACE(std::to_string(in_piece) + " in, " + std::to_string(out_piece) + " out");
            detail::Lz77Decoder decoder;
            Bytes got;
            for (std::size_t at = 0; at < payload.size() && !decoder.ended();) {
                std::span<const std::uint8_t> input(payload.data() + at,
                                                    std::min(in_piece, payload.size() - at));
                const std::size_t given = input.size();
                do {
                    Bytes out(out_piece);
                    out.resize(decoder.decode(input, out));
                    got.insert(got.end(), out.begin(), out.end());
                } while (!input.empty() && !decoder.ended());
                at += given - input.size();
            }
            EXPECT_TRUE(decoder.ended());
            EXPECT_EQ(got.size(), whole.size());
            EXPECT_TRUE(got == whole);
        }
    }
}

// The same for zlib through the chunk stream, and a stream cut before its
// end is not taken for a whole one.
TEST(ReaderLz77, AZlibChunkFedByteByByteDecodesAsWhole)
{
    const Bytes text = test::noise(100000, 2);
    const test::Chunk chunk = test::zlib_chunk(text);
    for (std::size_t cut : {chunk.payload.size(), chunk.payload.size() - 1}) {
        detail::ChunkStream stream;
        ASSERT_EQ(stream.start(2, text.size()), "");
        Bytes got;
        bool stopped = false;
        for (std::size_t i = 0; i < cut; ++i) {
            std::span<const std::uint8_t> byte(&chunk.payload[i], 1);
            ASSERT_EQ(stream.feed(
                          byte,
                          [&](std::span<const std::uint8_t> piece) {
                              got.insert(got.end(), piece.begin(), piece.end());
                              return true;
                          },
                          stopped),
                      "");
        }
        EXPECT_TRUE(got == text);
        EXPECT_EQ(stream.finish(),
                  cut == chunk.payload.size() ? "" : "zlib data ends before the end of its stream");
    }
}

}  // namespace
}  // namespace hpi

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
Bytes decode(const Bytes& payload, std::size_t plain_size) {
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
TEST(ReaderLz77, AReferenceWrapsFromSlot4095ToSlots0And1) {
    const Bytes first = test::noise(4097, 3);
    const Bytes got = decode(Lz77Stream().literals(first).reference(4095, 3).end().bytes(), 4100);
    EXPECT_EQ(Bytes(got.begin() + 4097, got.end()), Bytes(first.begin() + 4094, first.end()));
}

TEST(ReaderLz77, StreamsDecodeToTheirPlainSizeOrComeBackShort) {
    const Bytes text = bytes_of("0123456789");
    // The window starts zeroed, so a reference to slots not yet written in
    // this chunk yields zero bytes: well defined, and never outside the window.
    EXPECT_EQ(decode(Lz77Stream().reference(100, 4).literals(bytes_of("ok")).reference(4000, 2).end().bytes(), 8),
              (Bytes{0, 0, 0, 0, 'o', 'k', 0, 0}));
    // An overlapping reference repeats its own output, up to the plain size.
    EXPECT_EQ(decode(Lz77Stream().literals(bytes_of("ab")).reference(1, 17).end().bytes(), 7), bytes_of("abababa"));
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

}  // namespace
}  // namespace hpi

// The LZ77 decoder on streams written item by item: window positions, the
// zeroed start window, and streams that end too early or say too much.
#include "decode.h"
#include "support/archive_builder.h"

#include <gtest/gtest.h>

namespace hpi {
namespace {

using test::Bytes;
using test::Lz77Stream;

Bytes decode(const Bytes& payload, std::size_t plain_size) {
    Bytes out(plain_size, 0xCC);
    out.resize(detail::lz77_decode(payload, out));
    return out;
}

TEST(ReaderLz77, ReferencesAddressWindowSlotsCountedFromOneAndWrapAt4096) {
    // Byte k of the output sits in window slot (k + 1) mod 4096.
    const Bytes first = test::noise(5000, 3);
    Lz77Stream stream;
    stream.literals(first);
    const std::size_t k = 4990;  // slot 4991 mod 4096 = 895, already overwritten once
    stream.reference((k + 1) % 4096, 9);
    stream.reference(4095, 3);  // reads slot 4095, then wraps to slots 0 and 1
    const Bytes got = decode(stream.end().bytes(), 5012);
    ASSERT_EQ(got.size(), 5012u);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), got.begin()));
    EXPECT_TRUE(std::equal(got.begin() + 5000, got.begin() + 5009, first.begin() + k));
    // Slots 4095, 0 and 1 were last written by output bytes 4094, 4095, 4096.
    EXPECT_EQ(got[5009], got[4094]);
    EXPECT_EQ(got[5010], got[4095]);
    EXPECT_EQ(got[5011], got[4096]);
}

TEST(ReaderLz77, ReferenceBeforeAnyOutputReadsTheZeroedWindow) {
    // The window starts zeroed, so a reference to slots not yet written in
    // this chunk yields zero bytes: well defined, and never outside the window.
    const Bytes payload =
        Lz77Stream().reference(100, 4).literals(test::bytes_of("ok")).reference(4000, 2).end().bytes();
    EXPECT_EQ(decode(payload, 8), (Bytes{0, 0, 0, 0, 'o', 'k', 0, 0}));
}

TEST(ReaderLz77, AnOverlappingReferenceRepeatsItsOutputAndStopsAtThePlainSize) {
    const Bytes payload = Lz77Stream().literals(test::bytes_of("ab")).reference(1, 17).end().bytes();
    Bytes buffer(32, 0xCC);
    const std::size_t got = detail::lz77_decode(payload, std::span(buffer).first(7));
    EXPECT_EQ(got, 7u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 7), test::bytes_of("abababa"));
    EXPECT_EQ(buffer[7], 0xCC);  // nothing written past the chunk's size
}

TEST(ReaderLz77, StreamsEndingEarlyComeBackShort) {
    const Bytes text = test::bytes_of("0123456789");
    // End marker before the plain size.
    EXPECT_EQ(decode(Lz77Stream().literals(text).end().bytes(), 20).size(), 10u);
    // Payload ends without an end marker.
    EXPECT_EQ(decode(Lz77Stream().literals(text).bytes(), 20).size(), 10u);
    // Payload ends in the middle of a reference's two bytes.
    Bytes half = Lz77Stream().literals(text).reference(1, 5).bytes();
    half.pop_back();
    EXPECT_EQ(decode(half, 20).size(), 10u);
    // Nothing at all.
    EXPECT_EQ(decode({}, 20).size(), 0u);
}

TEST(ReaderLz77, BytesAfterTheEndMarkerAreIgnored) {
    Bytes payload = Lz77Stream().literals(test::bytes_of("done")).end().bytes();
    payload.insert(payload.end(), {0x00, 'X', 'Y'});
    EXPECT_EQ(decode(payload, 4), test::bytes_of("done"));
}

}  // namespace
}  // namespace hpi

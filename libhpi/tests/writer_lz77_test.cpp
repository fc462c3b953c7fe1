// The LZ77 encoder: its output decodes through the library's decoder (held to
// the format by the fixed LZ77 archives), ends with the marker, and never
// reads window slot 0.
#include <gtest/gtest.h>

#include <string>

#include "decode.h"
#include "lz77_encode.h"
#include "support/writer_view.h"

namespace {

using writer_test::Bytes;
using writer_test::make_content;

// The items of a stream, walked as the format lays them out: where the end
// marker ends, and whether a reference reads slot 0 (wrapping from 4095).
struct Lz77Walk {
    bool ended_with_marker = false;
    std::size_t consumed = 0;
    bool referenced_slot_zero = false;
};

Lz77Walk walk(const Bytes& in)
{
    Lz77Walk w;
    std::size_t pos = 0;
    while (pos < in.size() && !w.ended_with_marker) {
        const std::uint8_t flags = in[pos++];
        for (unsigned bit = 1; bit < 0x100 && pos < in.size() && !w.ended_with_marker; bit <<= 1) {
            if ((flags & bit) == 0) {
                ++pos;
                continue;
            }
            const unsigned v = in[pos] | unsigned(pos + 1 < in.size() ? in[pos + 1] : 0) << 8;
            pos += 2;
            w.ended_with_marker = v >> 4 == 0;
            w.referenced_slot_zero |= (v >> 4) + (v & 0x0F) + 2 > 4096;
        }
    }
    w.consumed = pos;
    return w;
}

struct Sample {
    std::string label;
    Bytes plain;
};

Bytes repeated_with_period(std::size_t size, std::size_t period)
{
    Bytes unit = make_content(period, 77, false);
    Bytes out;
    while (out.size() < size)
        out.push_back(unit[out.size() % period]);
    return out;
}

// Noise in which the 17 bytes that land in window slot 0 (output position
// 4095) reappear later: the obvious match source is the forbidden one.
Bytes repeats_of_slot_zero_bytes()
{
    Bytes out = make_content(65536, 5, false);
    for (std::size_t at : {4200u, 4400u, 8190u, 12287u, 30000u})
        std::copy(out.begin() + 4095, out.begin() + 4095 + 17, out.begin() + std::ptrdiff_t(at));
    return out;
}

std::vector<Sample> samples()
{
    return {
        {"empty", {}},
        {"one byte", {0x41}},
        {"two equal bytes", {0, 0}},
        {"three equal bytes", {7, 7, 7}},
        {"zeros, full chunk", Bytes(65536, 0)},
        {"text, full chunk", make_content(65536, 1, true)},
        {"noise, full chunk", make_content(65536, 2, false)},
        {"text, odd size", make_content(10007, 3, true)},
        {"period 4095", repeated_with_period(65536, 4095)},
        {"period 4096", repeated_with_period(65536, 4096)},
        {"period 4097", repeated_with_period(65536, 4097)},
        {"period 1", repeated_with_period(9000, 1)},
        {"slot zero bait", repeats_of_slot_zero_bytes()},
    };
}

TEST(Lz77Encoder, OutputDecodesToTheInputAndEndsWithTheMarker)
{
    hpi::detail::Lz77Encoder encoder;  // reused on purpose: no state may leak between chunks
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.label);
        // The encoder appends after what the buffer already holds.
        Bytes out = {0xAA, 0xBB, 0xCC};
        encoder.encode(s.plain, out);
        ASSERT_TRUE(out.size() > 3 && out[0] == 0xAA && out[2] == 0xCC);
        const Bytes encoded(out.begin() + 3, out.end());
        Bytes decoded(s.plain.size());
        EXPECT_EQ(hpi::detail::lz77_decode(encoded, decoded), s.plain.size());
        EXPECT_TRUE(decoded == s.plain);
        const Lz77Walk items = walk(encoded);
        EXPECT_TRUE(items.ended_with_marker);
        EXPECT_EQ(items.consumed, encoded.size()) << "bytes after the end marker";
        EXPECT_FALSE(items.referenced_slot_zero);
        EXPECT_LE(encoded.size(), hpi::detail::Lz77Encoder::bound(s.plain.size()));
    }
}

}  // namespace

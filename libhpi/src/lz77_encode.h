// LZ77 encoder for the archive chunks of method 1: a 4096-byte window,
// back-references of 2 to 17 bytes, flag bytes read least significant bit
// first, and an end marker (the items' layout is told in format.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace hpi::detail {

class Lz77Encoder {
public:
    // Appends the encoded form of `plain` (one chunk, at most 65536 bytes) to
    // `out`, end marker included.
    void encode(std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& out);

    // Largest encoded size of n plain bytes: one flag byte per eight items,
    // plus the end marker.
    static std::size_t bound(std::size_t n) { return n + n / 8 + 4; }

private:
    struct Match {
        std::size_t length = 0;
        std::size_t source = 0;
    };
    Match longest_match(std::span<const std::uint8_t> plain, std::size_t pos) const;
    void remember(std::span<const std::uint8_t> plain, std::size_t pos);

    std::vector<std::int32_t> head_;  // last position of each two-byte prefix
    std::vector<std::int32_t> prev_;  // earlier position with the same prefix
};

}  // namespace hpi::detail

// The chunk codecs on the reading side: the LZ77 variant of the format and
// zlib through libdeflate.
#include "decode.h"

#include "format.h"

#include <algorithm>
#include <array>
#include <libdeflate.h>

namespace hpi::detail {

std::size_t Lz77Decoder::decode(std::span<const std::uint8_t>& input, std::span<std::uint8_t> out)
{
    constexpr std::size_t kMask = format::kLz77WindowSize - 1;
    std::size_t in = 0;
    std::size_t produced = 0;
    const auto emit = [&](std::uint8_t c) {
        out[produced++] = c;
        window_[wp_] = c;
        wp_ = (wp_ + 1) & kMask;
    };
    const auto copy = [&] {
        for (; copy_left_ > 0 && produced < out.size(); --copy_left_) {
            emit(window_[rp_]);
            rp_ = (rp_ + 1) & kMask;
        }
    };

    copy();
    while (!ended_ && produced < out.size() && in < input.size()) {
        if (bit_ == 0x100) {
            flags_ = input[in++];
            bit_ = 1;
            continue;
        }
        if ((flags_ & bit_) == 0) {
            emit(input[in++]);
            bit_ <<= 1;
            continue;
        }
        unsigned v;
        if (low_ >= 0) {
            v = unsigned(low_) | unsigned(input[in++]) << 8;
            low_ = -1;
        } else if (input.size() - in >= 2) {
            v = input[in] | unsigned(input[in + 1]) << 8;
            in += 2;
        } else {
            low_ = input[in++];
            continue;
        }
        bit_ <<= 1;
        rp_ = v >> 4;
        if (rp_ == 0) {
            ended_ = true;
            break;
        }
        copy_left_ = (v & 0x0F) + 2;
        copy();
    }
    input = input.subspan(in);
    return produced;
}

std::size_t lz77_decode(std::span<const std::uint8_t> payload, std::span<std::uint8_t> out)
{
    constexpr std::size_t kMask = format::kLz77WindowSize - 1;
    std::array<std::uint8_t, format::kLz77WindowSize> window{};
    std::size_t wp = 1;
    std::size_t in = 0;
    std::size_t produced = 0;
    const auto emit = [&](std::uint8_t c) {
        out[produced++] = c;
        window[wp] = c;
        wp = (wp + 1) & kMask;
    };

    while (in < payload.size() && produced < out.size()) {
        const std::uint8_t flags = payload[in++];
        for (unsigned bit = 1; bit < 0x100; bit <<= 1) {
            if (produced == out.size() || in == payload.size())
                return produced;
            if ((flags & bit) == 0) {
                emit(payload[in++]);
                continue;
            }
            if (payload.size() - in < 2)
                return produced;
            const unsigned v = payload[in] | unsigned(payload[in + 1]) << 8;
            in += 2;
            std::size_t rp = v >> 4;
            if (rp == 0)
                return produced;
            for (unsigned n = (v & 0x0F) + 2; n > 0 && produced < out.size(); --n) {
                emit(window[rp]);
                rp = (rp + 1) & kMask;
            }
        }
    }
    return produced;
}

ChunkDecoder::ChunkDecoder() : inflater_(libdeflate_alloc_decompressor()) {}

ChunkDecoder::~ChunkDecoder()
{
    if (inflater_)
        libdeflate_free_decompressor(inflater_);
}

std::string ChunkDecoder::decode(std::uint8_t method, std::span<const std::uint8_t> payload,
                                 std::span<std::uint8_t> out)
{
    switch (Method(method)) {
        case Method::Stored:
            if (payload.size() != out.size())
                return "stored chunk holds " + std::to_string(payload.size()) + " bytes, expected " +
                       std::to_string(out.size());
            std::copy(payload.begin(), payload.end(), out.begin());
            return {};
        case Method::Lz77: {
            const std::size_t got = lz77_decode(payload, out);
            if (got != out.size())
                return "LZ77 data ends after " + std::to_string(got) + " of " + std::to_string(out.size()) +
                       " bytes";
            return {};
        }
        case Method::Zlib:
            return decode_zlib(payload, out);
    }
    return "unknown chunk method " + std::to_string(method);
}

std::string ChunkDecoder::decode_zlib(std::span<const std::uint8_t> payload, std::span<std::uint8_t> out)
{
    if (!inflater_)
        return "no memory for the zlib decoder";
    // The _ex form reports how much input the stream used, which makes it
    // explicit that bytes after the end of the stream are accepted.
    std::size_t used_in = 0;
    std::size_t got = 0;
    const auto result = libdeflate_zlib_decompress_ex(inflater_, payload.data(), payload.size(), out.data(),
                                                      out.size(), &used_in, &got);
    switch (result) {
        case LIBDEFLATE_SUCCESS:
            if (got != out.size())
                return "zlib data ends after " + std::to_string(got) + " of " + std::to_string(out.size()) +
                       " bytes";
            return {};
        case LIBDEFLATE_INSUFFICIENT_SPACE:
            return "zlib data inflates to more than " + std::to_string(out.size()) + " bytes";
        default:
            return "zlib data is corrupt";
    }
}

}  // namespace hpi::detail

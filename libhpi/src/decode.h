// Decoding of one chunk's payload, shared by the reader and its tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct libdeflate_decompressor;

namespace hpi::detail {

// Runs the LZ77 stream in `payload` until the end marker, the end of the
// payload or out.size() bytes, whichever comes first, and returns how many
// bytes were written to `out`. The window starts zeroed, so a reference to a
// slot not yet written in this chunk yields zero bytes; every window index is
// masked, so no stream can read or write outside the window or `out`.
std::size_t lz77_decode(std::span<const std::uint8_t> payload, std::span<std::uint8_t> out);

// Turns a chunk payload (already decrypted and deobfuscated) into exactly
// out.size() plain bytes. One decoder per thread: it owns a libdeflate state.
class ChunkDecoder {
public:
    ChunkDecoder();
    ~ChunkDecoder();
    ChunkDecoder(const ChunkDecoder&) = delete;
    ChunkDecoder& operator=(const ChunkDecoder&) = delete;

    // Returns an empty text on success, otherwise what is wrong with the data.
    std::string decode(std::uint8_t method, std::span<const std::uint8_t> payload,
                       std::span<std::uint8_t> out);

private:
    std::string decode_zlib(std::span<const std::uint8_t> payload, std::span<std::uint8_t> out);
    libdeflate_decompressor* inflater_ = nullptr;
};

}  // namespace hpi::detail

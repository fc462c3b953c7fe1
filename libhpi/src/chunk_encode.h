// Turns up to 65536 plain bytes into one archive chunk: the 19-byte header
// (marker, version, method, not obfuscated, sizes, checksum) and its payload.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "hpi/hpi.h"
#include "lz77_encode.h"

struct libdeflate_compressor;

namespace hpi::detail {

// One per thread: it keeps the compressor state between chunks.
class ChunkEncoder {
public:
    ChunkEncoder(Method method, int zlib_level);
    ~ChunkEncoder();
    ChunkEncoder(const ChunkEncoder&) = delete;
    ChunkEncoder& operator=(const ChunkEncoder&) = delete;

    // Replaces `out` with the whole chunk. Method must be Lz77 or Zlib.
    Error encode(std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& out);

private:
    Error encode_zlib(std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& out);

    Method method_;
    int zlib_level_;
    libdeflate_compressor* zlib_ = nullptr;
    Lz77Encoder lz77_;
};

}  // namespace hpi::detail

#include "chunk_encode.h"

#include <libdeflate.h>

#include "format.h"

namespace hpi::detail {
namespace {

void store_chunk_header(std::vector<std::uint8_t>& chunk, Method method, std::size_t plain_size)
{
    std::span<const std::uint8_t> payload(chunk.data() + format::kChunkHeaderSize,
                                          chunk.size() - format::kChunkHeaderSize);
    format::store_chunk_header(chunk.data(), {.marker = format::kChunkMarker,
                                              .method = std::uint8_t(method),
                                              .obfuscated = false,  // every reader accepts plain payloads
                                              .payload_size = std::uint32_t(payload.size()),
                                              .plain_size = std::uint32_t(plain_size),
                                              .checksum = format::chunk_checksum(payload)});
}

}  // namespace

ChunkEncoder::ChunkEncoder(Method method, int zlib_level) : method_(method), zlib_level_(zlib_level) {}

ChunkEncoder::~ChunkEncoder()
{
    if (zlib_)
        libdeflate_free_compressor(zlib_);
}

Error ChunkEncoder::encode_zlib(std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& out)
{
    if (!zlib_) {
        zlib_ = libdeflate_alloc_compressor(zlib_level_);
        if (!zlib_)
            return Error{ErrorKind::IoError,
                         "cannot start the zlib compressor at level " + std::to_string(zlib_level_)};
    }
    std::size_t room = libdeflate_zlib_compress_bound(zlib_, plain.size());
    out.resize(format::kChunkHeaderSize + room);
    std::size_t written = libdeflate_zlib_compress(zlib_, plain.data(), plain.size(),
                                                   out.data() + format::kChunkHeaderSize, room);
    if (written == 0)  // cannot happen with the bound above, but never write garbage
        return Error{ErrorKind::IoError, "zlib compression of a chunk failed"};
    out.resize(format::kChunkHeaderSize + written);
    return {};
}

Error ChunkEncoder::encode(std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (method_ == Method::Zlib) {
        if (Error e = encode_zlib(plain, out))
            return e;
    } else if (method_ == Method::Lz77) {
        out.resize(format::kChunkHeaderSize);
        lz77_.encode(plain, out);
    } else {
        return Error{ErrorKind::InvalidArgument, "stored files are not cut into chunks"};
    }
    store_chunk_header(out, method_, plain.size());
    return {};
}

}  // namespace hpi::detail

// Decoding of one chunk's payload, shared by the reader and its tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "format.h"
#include "hpi/hpi.h"

struct libdeflate_decompressor;

namespace hpi::detail {

// The LZ77 stream (its items' layout is told in format.h) decoded as it
// comes, in pieces of any size: the state of an item cut between two pieces
// (a flag byte's remaining bits, half a reference, a copy cut short by a
// full output) waits for the next call.
// A chunk held whole goes through lz77_decode instead, which keeps all its
// state in locals and runs about 1.7 times as fast.
class Lz77Decoder {
public:
    // Consumes from the front of `input` and writes to the front of `out`
    // until one of them runs out or the end marker comes; returns how many
    // bytes were written.
    std::size_t decode(std::span<const std::uint8_t>& input, std::span<std::uint8_t> out);
    bool ended() const { return ended_; }
    // A reference cut short by a full output still has bytes to give.
    bool copying() const { return copy_left_ > 0; }

private:
    std::array<std::uint8_t, format::kLz77WindowSize> window_{};
    std::size_t wp_ = 1;
    unsigned flags_ = 0;
    unsigned bit_ = 0x100;  // 0x100: the next byte is a flag byte
    int low_ = -1;          // first byte of a reference cut between pieces
    std::size_t rp_ = 0;
    unsigned copy_left_ = 0;
    bool ended_ = false;
};

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
    // `method` is the byte as the chunk header stores it, a Method or not.
    std::string decode(std::uint8_t method, std::span<const std::uint8_t> payload,
                       std::span<std::uint8_t> out);

private:
    std::string decode_zlib(std::span<const std::uint8_t> payload, std::span<std::uint8_t> out);
    libdeflate_decompressor* inflater_ = nullptr;
};

// Decodes one chunk whose payload arrives in pieces, so that a chunk of any
// size needs only a fixed amount of memory: the plain bytes go to the output
// function a buffer at a time, never more than the chunk's plain size in all.
class ChunkStream {
public:
    // Receives plain bytes in order; returning false stops the chunk.
    using Output = std::function<bool(std::span<const std::uint8_t>)>;

    ChunkStream();
    ~ChunkStream();
    ChunkStream(const ChunkStream&) = delete;
    ChunkStream& operator=(const ChunkStream&) = delete;

    // Each returns an empty text on success, otherwise what is wrong with
    // the data. start() begins a chunk; feed() takes the next payload bytes,
    // already deobfuscated, from the front of `payload`. When the output
    // declines, it sets `stopped` and leaves in `payload` what it has not
    // taken yet: the chunk goes on where it stopped with the next feed() of
    // that rest, which may be empty when the decoder still holds output.
    // finish() checks, once the payload is all fed, that the chunk gave
    // exactly its plain size. `method` is the byte as the chunk header stores
    // it, a Method or not.
    std::string start(std::uint8_t method, std::uint64_t plain_size);
    std::string feed(std::span<const std::uint8_t>& payload, const Output& out, bool& stopped);
    std::string finish();

private:
    struct Zlib;
    std::string feed_zlib(std::span<const std::uint8_t>& payload, const Output& out, bool& stopped);
    std::uint64_t room() const { return plain_size_ - produced_; }

    Method method_ = Method::Stored;
    std::uint64_t plain_size_ = 0;
    std::uint64_t produced_ = 0;
    bool zlib_ended_ = false;
    bool zlib_full_ = false;  // the last output buffer was filled: zlib may hold more
    std::unique_ptr<Zlib> zlib_;
    std::unique_ptr<Lz77Decoder> lz77_;
    std::unique_ptr<std::uint8_t[]> buffer_;
};

}  // namespace hpi::detail

// Chunks decoded as their payload streams in: zlib through zlib's inflate,
// which keeps its state between pieces (libdeflate wants the whole stream at
// once), LZ77 through the piecewise decoder, stored bytes as they are.
#include "decode.h"

#include <algorithm>
#include <zlib.h>

namespace hpi::detail {
namespace {

// Plain bytes handed to the output at a time.
constexpr std::size_t kOutputPiece = 64 * 1024;

}  // namespace

struct ChunkStream::Zlib {
    z_stream stream{};
    bool ready = false;

    ~Zlib()
    {
        if (ready)
            inflateEnd(&stream);
    }
    bool restart()
    {
        if (ready)
            return inflateReset(&stream) == Z_OK;
        ready = inflateInit(&stream) == Z_OK;
        return ready;
    }
};

ChunkStream::ChunkStream() : buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kOutputPiece)) {}
ChunkStream::~ChunkStream() = default;

std::string ChunkStream::start(std::uint8_t method, std::uint64_t plain_size)
{
    method_ = Method(method);
    plain_size_ = plain_size;
    produced_ = 0;
    zlib_ended_ = false;
    zlib_full_ = false;
    switch (method_) {
        case Method::Stored:
            return {};
        case Method::Lz77:
            lz77_ = std::make_unique<Lz77Decoder>();
            return {};
        case Method::Zlib:
            if (!zlib_)
                zlib_ = std::make_unique<Zlib>();
            if (!zlib_->restart())
                return "no memory for the zlib decoder";
            return {};
    }
    return "unknown chunk method " + std::to_string(method);
}

std::string ChunkStream::feed(std::span<const std::uint8_t>& payload, const Output& out, bool& stopped)
{
    stopped = false;
    if (method_ == Method::Zlib)
        return feed_zlib(payload, out, stopped);
    if (method_ == Method::Stored) {
        if (payload.size() > room())
            return "stored chunk holds more than its " + std::to_string(plain_size_) + " bytes";
        produced_ += payload.size();
        const std::span<const std::uint8_t> plain = payload;
        payload = {};
        stopped = !plain.empty() && !out(plain);
        return {};
    }
    // Bytes after the end marker or past the plain size are ignored, as in
    // a chunk decoded whole.
    while ((!payload.empty() || lz77_->copying()) && room() > 0 && !lz77_->ended()) {
        const std::span<std::uint8_t> space(buffer_.get(),
                                            std::size_t(std::min<std::uint64_t>(kOutputPiece, room())));
        const std::size_t got = lz77_->decode(payload, space);
        produced_ += got;
        if (got > 0 && !out(space.first(got))) {
            stopped = true;
            return {};
        }
    }
    return {};
}

std::string ChunkStream::feed_zlib(std::span<const std::uint8_t>& payload, const Output& out, bool& stopped)
{
    z_stream& z = zlib_->stream;
    // zlib counts in 32-bit units: a huge piece is fed a part at a time. A
    // full output buffer may leave output inside zlib with no input left.
    while (!zlib_ended_ && (!payload.empty() || zlib_full_)) {
        const auto part = std::min<std::size_t>(payload.size(), 1u << 30);
        z.next_in = const_cast<Bytef*>(payload.data());
        z.avail_in = uInt(part);
        // With the plain size reached, one byte of room more shows whether
        // the stream would give more than it announced.
        const auto space = std::size_t(std::min<std::uint64_t>(kOutputPiece, room() + 1));
        z.next_out = buffer_.get();
        z.avail_out = uInt(space);
        const int result = inflate(&z, Z_NO_FLUSH);
        payload = payload.subspan(part - z.avail_in);
        const std::size_t got = space - z.avail_out;
        zlib_full_ = z.avail_out == 0;
        if (got > room())
            return "zlib data inflates to more than " + std::to_string(plain_size_) + " bytes";
        produced_ += got;
        if (result == Z_STREAM_END) {
            zlib_ended_ = true;  // what follows the stream is ignored
        } else if (result == Z_BUF_ERROR && got == 0 && z.avail_in == 0) {
            break;  // wants more input
        } else if (result != Z_OK) {
            return "zlib data is corrupt";
        }
        if (got > 0 && !out(std::span<const std::uint8_t>(buffer_.get(), got))) {
            stopped = true;
            return {};
        }
    }
    return {};
}

std::string ChunkStream::finish()
{
    if (method_ == Method::Zlib && !zlib_ended_ && produced_ == plain_size_)
        return "zlib data ends before the end of its stream";
    if (produced_ != plain_size_)
        return std::string(method_ == Method::Stored ? "stored chunk"
                           : method_ == Method::Lz77 ? "LZ77 data"
                                                     : "zlib data") +
               " ends after " + std::to_string(produced_) + " of " + std::to_string(plain_size_) + " bytes";
    return {};
}

}  // namespace hpi::detail

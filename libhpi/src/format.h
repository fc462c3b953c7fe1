// On-disk layout of the archives, version 1 and version 2: the fixed numbers
// and the small byte-level helpers that the reader and the writer share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace hpi::format {

// Every number of the format is a little-endian 32-bit word, but for a few
// one-byte flags.
inline constexpr std::size_t kWordSize = 4;

inline constexpr std::uint32_t kMarker = 0x49504148;  // "HAPI"
inline constexpr std::uint32_t kVersion1 = 0x00010000;
inline constexpr std::uint32_t kVersion2 = 0x00020000;   // the later layout, namespace v2
inline constexpr std::uint32_t kSavedGame = 0x4B4E4142;  // "BANK"

// Version 1: a 20-byte header, the directory block (all its offsets absolute
// file offsets), then the file data.
inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::size_t kHeaderMarkerAt = 0;
inline constexpr std::size_t kHeaderVersionAt = 4;
inline constexpr std::size_t kHeaderDirectoryEndAt = 8;  // one past the directory block
inline constexpr std::size_t kHeaderKeyAt = 12;          // 0: not encrypted
inline constexpr std::size_t kHeaderDirectoryStartAt = 16;

// Directory record: how many entry records it lists, and where the first
// of them stands; they follow one another.
inline constexpr std::size_t kDirectoryRecordSize = 8;
inline constexpr std::size_t kDirectoryEntryCountAt = 0;
inline constexpr std::size_t kDirectoryEntriesAt = 4;

// Entry record: its name, then its directory record or its file record.
inline constexpr std::size_t kEntryRecordSize = 9;
inline constexpr std::size_t kEntryNameAt = 0;
inline constexpr std::size_t kEntryRecordAt = 4;
inline constexpr std::size_t kEntryIsDirectoryAt = 8;  // one byte

inline constexpr std::size_t kFileRecordSize = 9;
inline constexpr std::size_t kFileDataStartAt = 0;
inline constexpr std::size_t kFileSizeAt = 4;    // the content's size, decoded
inline constexpr std::size_t kFileMethodAt = 8;  // one byte, a Method

// A compressed file's data starts with the stored length of each of its
// chunks, one 32-bit word each, and the chunks follow.
inline constexpr std::size_t kChunkLengthSize = kWordSize;

inline constexpr std::uint32_t kChunkMarker = 0x48535153;  // "SQSH"
inline constexpr std::size_t kChunkHeaderSize = 19;
// Fields of the chunk header.
inline constexpr std::size_t kChunkMarkerAt = 0;
inline constexpr std::size_t kChunkVersionAt = 4;     // one byte
inline constexpr std::size_t kChunkMethodAt = 5;      // one byte, a Method
inline constexpr std::size_t kChunkObfuscatedAt = 6;  // one byte, nonzero: obfuscated
inline constexpr std::size_t kChunkPayloadSizeAt = 7;
inline constexpr std::size_t kChunkPlainSizeAt = 11;
inline constexpr std::size_t kChunkChecksumAt = 15;
inline constexpr std::size_t kChunkSize = 65536;  // plain bytes per chunk
inline constexpr std::uint8_t kChunkVersion = 2;

// An LZ77 payload (method 1) is a run of items in groups of up to eight,
// each group led by a flag byte whose bits, least significant first, tell
// its items apart:
//   0  a literal: one byte, written to the output and to the window;
//   1  a reference: a 16-bit little-endian word v, whose high twelve bits
//      (v >> 4) name the window slot the copy starts at and whose low four
//      bits (v & 0x0F) are its length less 2, so 2 to 17 bytes; a slot of 0
//      is no copy but the end of the stream.
// The window holds 4096 bytes, starts zeroed, and is written from slot 1 on;
// slots wrap at 4096, and a copy may read bytes it has itself just written.
inline constexpr std::size_t kLz77WindowSize = 4096;

// The reader refuses deeper nesting or longer paths as hostile, so the writer
// refuses to produce them: whatever this library writes, it can read.
inline constexpr std::size_t kMaxDirectoryDepth = 128;  // directories nested in one another
inline constexpr std::size_t kMaxPathLength = 1024;     // bytes of a "\"-joined path

inline std::uint32_t load_u32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline void store_u32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// A chunk header as stored; parse_chunk_header reads it from its 19 bytes,
// store_chunk_header writes them (with this library's chunk version).
struct ChunkHeader {
    std::uint32_t marker;
    std::uint8_t method;  // a Method as stored: any byte may come from a damaged archive
    bool obfuscated;
    std::uint32_t payload_size;
    std::uint32_t plain_size;
    std::uint32_t checksum;
};

inline ChunkHeader parse_chunk_header(const std::uint8_t* p)
{
    return ChunkHeader{.marker = load_u32(p + kChunkMarkerAt),
                       .method = p[kChunkMethodAt],
                       .obfuscated = p[kChunkObfuscatedAt] != 0,
                       .payload_size = load_u32(p + kChunkPayloadSizeAt),
                       .plain_size = load_u32(p + kChunkPlainSizeAt),
                       .checksum = load_u32(p + kChunkChecksumAt)};
}

inline void store_chunk_header(std::uint8_t* p, const ChunkHeader& header)
{
    store_u32(p + kChunkMarkerAt, header.marker);
    p[kChunkVersionAt] = kChunkVersion;
    p[kChunkMethodAt] = header.method;
    p[kChunkObfuscatedAt] = header.obfuscated ? 1 : 0;
    store_u32(p + kChunkPayloadSizeAt, header.payload_size);
    store_u32(p + kChunkPlainSizeAt, header.plain_size);
    store_u32(p + kChunkChecksumAt, header.checksum);
}

// Sum of the payload bytes as stored (after archive decryption, before the
// payload obfuscation is undone), modulo 2^32.
inline std::uint32_t chunk_checksum(std::span<const std::uint8_t> payload)
{
    std::uint32_t sum = 0;
    for (std::uint8_t b : payload)
        sum += b;
    return sum;
}

// Archive-level encryption: only the low byte of the derived key matters.
inline std::uint8_t archive_key(std::uint32_t header_key)
{
    return std::uint8_t(~((header_key * 4) | (header_key >> 6)));
}

// Decrypts bytes read from absolute file offset `pos` in place.
inline void decrypt(std::span<std::uint8_t> bytes, std::uint64_t pos, std::uint8_t key)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] ^= std::uint8_t(~(std::uint8_t(pos + i) ^ key));
}

// Undoes the per-chunk payload obfuscation in place; `first` is the index of
// payload[0] within the whole payload, for a payload handled in pieces.
inline void deobfuscate(std::span<std::uint8_t> payload, std::uint64_t first = 0)
{
    for (std::size_t i = 0; i < payload.size(); ++i) {
        const auto at = std::uint8_t(first + i);
        payload[i] = std::uint8_t((payload[i] - at) ^ at);
    }
}

inline void obfuscate(std::span<std::uint8_t> payload)
{
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = std::uint8_t((payload[i] ^ std::uint8_t(i)) + std::uint8_t(i));
}

// Version 2: a 32-byte header, the file data, a names block and a directory
// block. Nothing is encrypted; offsets inside the directory block are relative
// to the decoded block, name offsets to the decoded names block.
namespace v2 {

inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kHeaderMarkerAt = 0;
inline constexpr std::size_t kHeaderVersionAt = 4;
inline constexpr std::size_t kHeaderDirectoryOffsetAt = 8;
inline constexpr std::size_t kHeaderDirectorySizeAt = 12;
inline constexpr std::size_t kHeaderNamesOffsetAt = 16;
inline constexpr std::size_t kHeaderNamesSizeAt = 20;
inline constexpr std::size_t kHeaderDataStartAt = 24;
inline constexpr std::size_t kHeaderReservedAt = 28;

// Folder record: its name, then its subfolder list and its file list, each
// an offset of records back to back and their count.
inline constexpr std::size_t kFolderRecordSize = 20;
inline constexpr std::size_t kFolderNameAt = 0;
inline constexpr std::size_t kFolderSubfoldersAt = 4;
inline constexpr std::size_t kFolderSubfolderCountAt = 8;
inline constexpr std::size_t kFolderFilesAt = 12;
inline constexpr std::size_t kFolderFileCountAt = 16;

inline constexpr std::size_t kFileRecordSize = 24;
inline constexpr std::size_t kFileNameAt = 0;
// Folder and file records both begin with their name, read alike.
static_assert(kFileNameAt == kFolderNameAt);
inline constexpr std::size_t kFileDataStartAt = 4;  // absolute file offset
inline constexpr std::size_t kFileSizeAt = 8;
inline constexpr std::size_t kFileStoredSizeAt = 12;
inline constexpr std::size_t kFileTimeAt = 16;      // seconds since 1970
inline constexpr std::size_t kFileChecksumAt = 20;  // ContentChecksum of the content

// Folders nested below the root; deeper is refused as hostile, and the writer
// refuses to write it.
inline constexpr std::size_t kMaxFolderDepth = 64;

// The most a block chunk's payload can expand to: a deflate stream at most
// about 1032 times, an LZ77 stream 8 times (a two-byte reference and an
// eighth of a flag byte give 17 bytes).
inline constexpr std::uint64_t kMostZlibExpansion = 1032;
inline constexpr std::uint64_t kMostLz77Expansion = 8;

// Checksum of a file's whole content, in four 8-bit accumulators: the sum,
// the XOR, the sum of each byte XOR its index, the XOR of each byte plus its
// index (indexes taken modulo 256). Fed in pieces, in order.
class ContentChecksum {
public:
    void add(std::span<const std::uint8_t> bytes)
    {
        for (std::uint8_t b : bytes) {
            const auto i = std::uint8_t(index_++);
            sum_ = std::uint8_t(sum_ + b);
            xor_ ^= b;
            indexed_sum_ = std::uint8_t(indexed_sum_ + (b ^ i));
            indexed_xor_ ^= std::uint8_t(b + i);
        }
    }
    std::uint32_t value() const
    {
        return std::uint32_t(sum_) | std::uint32_t(xor_) << 8 | std::uint32_t(indexed_sum_) << 16 |
               std::uint32_t(indexed_xor_) << 24;
    }

private:
    std::uint64_t index_ = 0;
    std::uint8_t sum_ = 0, xor_ = 0, indexed_sum_ = 0, indexed_xor_ = 0;
};

}  // namespace v2

}  // namespace hpi::format

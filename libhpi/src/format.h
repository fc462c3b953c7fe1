// On-disk layout of version-1 archives: the fixed numbers and the small
// byte-level helpers that the reader and the writer share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace hpi::format {

inline constexpr std::uint32_t kMarker = 0x49504148;        // "HAPI"
inline constexpr std::uint32_t kVersion1 = 0x00010000;
inline constexpr std::uint32_t kVersion2 = 0x00020000;       // later layout, unsupported
inline constexpr std::uint32_t kSavedGame = 0x4B4E4142;      // "BANK"
inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::size_t kDirectoryRecordSize = 8;
inline constexpr std::size_t kEntryRecordSize = 9;
inline constexpr std::size_t kFileRecordSize = 9;

inline constexpr std::uint32_t kChunkMarker = 0x48535153;    // "SQSH"
inline constexpr std::size_t kChunkHeaderSize = 19;
inline constexpr std::size_t kChunkSize = 65536;             // plain bytes per chunk
inline constexpr std::uint8_t kChunkVersion = 2;

inline constexpr std::size_t kLz77WindowSize = 4096;

// The reader refuses deeper nesting or longer paths as hostile, so the writer
// refuses to produce them: whatever this library writes, it can read.
inline constexpr std::size_t kMaxDirectoryDepth = 128;  // directories nested in one another
inline constexpr std::size_t kMaxPathLength = 1024;     // bytes of a "\"-joined path

inline std::uint32_t load_u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline void store_u32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// Sum of the payload bytes as stored (after archive decryption, before the
// payload obfuscation is undone), modulo 2^32.
inline std::uint32_t chunk_checksum(std::span<const std::uint8_t> payload) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : payload) sum += b;
    return sum;
}

// Archive-level encryption: only the low byte of the derived key matters.
inline std::uint8_t archive_key(std::uint32_t header_key) {
    return std::uint8_t(~((header_key * 4) | (header_key >> 6)));
}

// Decrypts bytes read from absolute file offset `pos` in place.
inline void decrypt(std::span<std::uint8_t> bytes, std::uint64_t pos, std::uint8_t key) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] ^= std::uint8_t(~(std::uint8_t(pos + i) ^ key));
}

// Undoes the per-chunk payload obfuscation in place.
inline void deobfuscate(std::span<std::uint8_t> payload) {
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = std::uint8_t((payload[i] - std::uint8_t(i)) ^ std::uint8_t(i));
}

}  // namespace hpi::format

// Builds archives byte by byte from the format's own description, so the
// reader is checked against the format and not only against our writer.
// Every header field can be set wrong on purpose, and the placement of every
// record is reported back so a test can damage exactly one of them.
#pragma once

#include "hpi/hpi.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hpi::test {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(std::string_view text);
// Deterministic pseudo-random bytes (incompressible test content).
Bytes noise(std::size_t size, std::uint32_t seed);

// One chunk as it will be written. `payload` is the encoded data before the
// payload obfuscation; the builder obfuscates when asked and fills in the
// checksum unless a wrong one is given.
struct Chunk {
    std::uint32_t marker = 0x48535153;
    std::uint8_t method = 0;
    bool obfuscated = false;
    Bytes payload;
    std::uint32_t plain_size = 0;
    std::optional<std::uint32_t> payload_size;  // header value, when not payload.size()
    std::optional<std::uint32_t> checksum;      // header value, when not the true sum
    std::uint32_t slack = 0;                    // unused bytes after the payload
};

Chunk stored_chunk(const Bytes& plain, bool obfuscated = false);
// LZ77 stream of literals only, closed by the end marker.
Chunk lz77_literal_chunk(const Bytes& plain, bool obfuscated = false);
// A zlib stream, compressed by libdeflate.
Chunk zlib_chunk(const Bytes& plain, bool obfuscated = false);
// The same stream followed by `trailing` bytes that are not part of it.
Chunk zlib_chunk_with_trailing(const Bytes& plain, const Bytes& trailing, bool obfuscated = false);
// The chunk's bytes: its 19-byte header, then its payload (obfuscated when
// asked) and its slack.
Bytes chunk_bytes(const Chunk& chunk);
// Cuts `content` into 64 KiB pieces and makes one chunk of each.
std::vector<Chunk> chunks_of(const Bytes& content, Chunk (*make)(const Bytes&, bool),
                             bool obfuscated = false);

// Writes LZ77 items in the flag-byte layout of the format.
class Lz77Stream {
public:
    Lz77Stream& literal(std::uint8_t byte);
    Lz77Stream& literals(const Bytes& bytes);
    // Copies `length` (2..17) bytes starting at window position `window_pos`.
    Lz77Stream& reference(unsigned window_pos, unsigned length);
    Lz77Stream& end();
    const Bytes& bytes() const { return bytes_; }

private:
    void next_item(bool is_reference);
    Bytes bytes_;
    std::size_t flag_at_ = 0;
    unsigned items_ = 0;
};

struct Placement {
    std::uint32_t entry_record = 0;  // the entry record naming it
    std::uint32_t name = 0;          // its name
    std::uint32_t record = 0;        // its directory or file record
    std::uint32_t data = 0;          // files: data_start
};

struct BuiltArchive {
    Bytes bytes;  // plain, header_key 0
    std::uint32_t directory_end = 0;
    std::map<std::string, Placement> at;  // by path; "" is the root directory

    std::uint32_t u32(std::uint32_t offset) const;
    void put_u32(std::uint32_t offset, std::uint32_t value);
    // The same archive encrypted under `header_key`.
    Bytes encrypted(std::uint32_t header_key) const;
};

class ArchiveBuilder {
public:
    ArchiveBuilder();
    ~ArchiveBuilder();

    // Paths are "\" separated; parents must have been added first. Entries
    // are stored in the order they are added.
    ArchiveBuilder& directory(const std::string& path);
    ArchiveBuilder& stored_file(const std::string& path, Bytes content);
    ArchiveBuilder& chunked_file(const std::string& path, Method record_method, std::uint32_t size,
                                 std::vector<Chunk> chunks);

    BuiltArchive build() const;

private:
    struct Node;
    Node& add(const std::string& path, bool is_directory);
    std::unique_ptr<Node> root_;
};

// An archive of these entries in this order, names as stored: a path ending
// in "\" is a folder; content starting "zlib:" makes a file of 64 KiB zlib
// chunks of the rest, "bad:" the same with its last chunk's checksum wrong;
// any other content is a stored file.
Bytes archive_of(const std::vector<std::pair<std::string, std::string>>& entries);

// Opens `bytes` as an archive file (an anonymous memory file).
Result<std::unique_ptr<Archive>> open_bytes(const Bytes& bytes);

// The error of opening `bytes`, or else the first one test() finds.
Error first_error(const Bytes& bytes);

// Reads a whole entry into memory (tests only handle small files).
Error read_all(const Archive& archive, std::size_t index, Bytes& out);

}  // namespace hpi::test

// Builds version-2 archives byte by byte from the format's description, so
// the version-2 reader is checked against the format and not only against
// our writer. Folders and files are laid out in the order they are added,
// which need not be sorted; the blocks are raw unless asked otherwise, so a
// test can change any record of the built archive.
#pragma once

#include "support/archive_builder.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hpi::test {

// The checksum a version-2 file record holds for `content`.
std::uint32_t v2_content_checksum(const Bytes& content);

struct V2Archive {
    Bytes bytes;
    std::uint32_t names_at = 0;                   // where the names block is stored
    std::uint32_t directory_at = 0;               // where the directory block is stored
    std::map<std::string, std::uint32_t> record;  // by path ("" the root): offset in the block
    std::map<std::string, std::uint32_t> data;    // by file path: data_start

    std::uint32_t u32(std::uint32_t offset) const;
    void put_u32(std::uint32_t offset, std::uint32_t value);
    // A field of the raw directory block, by offset inside the block.
    void put_record_u32(const std::string& path, std::size_t field, std::uint32_t value)
    {
        put_u32(directory_at + record.at(path) + std::uint32_t(field), value);
    }
};

class V2Builder {
public:
    V2Builder();
    ~V2Builder();

    // Parents must be added first; paths are "\" separated.
    V2Builder& folder(const std::string& path);
    // A file stored as one zlib chunk of its content.
    V2Builder& file(const std::string& path, const Bytes& content);
    // A file whose stored data is exactly `stored` (chunks built with
    // chunk_bytes, raw bytes, or anything else); `size` is the record's.
    V2Builder& stored_file(const std::string& path, std::uint32_t size, Bytes stored,
                           std::optional<std::uint32_t> checksum = std::nullopt);
    // Each block as one obfuscated zlib chunk (when `method` is 2), LZ77
    // (1) or stored (0) chunk, instead of raw.
    V2Builder& blocks_as_chunks(std::uint8_t method = 2);
    // The blocks, raw, right after the header and the file data after them.
    V2Builder& blocks_first();

    V2Archive build() const;

private:
    struct Node;
    Node& add(const std::string& path, bool is_folder);
    std::unique_ptr<Node> root_;
    std::optional<std::uint8_t> block_method_;
    bool blocks_first_ = false;
};

}  // namespace hpi::test

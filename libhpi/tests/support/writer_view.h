// An independent, deliberately plain look at the bytes a Writer produced,
// written straight from the format description, so that writer tests do not
// depend on the library's own reader. It trusts its input: tests only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace writer_test {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of everything directly inside, sorted.
    std::vector<std::string> listing() const;

private:
    std::filesystem::path path_;
};

Bytes read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const Bytes& bytes);
void write_file(const std::filesystem::path& path, const std::string& text);

// Deterministic test content: text-like when `compressible`, noise otherwise.
Bytes make_content(std::size_t size, std::uint32_t seed, bool compressible);

std::uint32_t u32_at(const Bytes& b, std::size_t pos);

// The LZ77 decoder exactly as the format describes it. Records what a
// careful encoder must avoid.
struct Lz77Decoded {
    Bytes plain;
    bool ended_with_marker = false;
    std::size_t consumed = 0;          // payload bytes read up to the end marker
    bool referenced_slot_zero = false;  // a copy read window slot 0
};
Lz77Decoded lz77_decode(const Bytes& payload, std::size_t plain_size);

struct ViewChunk {
    std::uint32_t stored_length = 0;  // from the length array
    std::uint8_t version = 0, method = 0, obfuscated = 0;
    std::uint32_t payload_size = 0, plain_size = 0, checksum = 0;
    std::size_t payload_pos = 0;
};

struct ViewEntry {
    std::string path;  // "\" separated
    std::string name;
    bool is_directory = false;
    std::uint32_t data_start = 0, size = 0;
    std::uint8_t method = 0;
};

class ArchiveView {
public:
    explicit ArchiveView(const std::filesystem::path& file);

    const Bytes& bytes() const { return bytes_; }
    std::uint32_t marker() const { return u32_at(bytes_, 0); }
    std::uint32_t version() const { return u32_at(bytes_, 4); }
    std::uint32_t directory_end() const { return u32_at(bytes_, 8); }
    std::uint32_t header_key() const { return u32_at(bytes_, 12); }
    std::uint32_t directory_start() const { return u32_at(bytes_, 16); }

    // Depth first, each directory before its contents, records in stored order.
    const std::vector<ViewEntry>& entries() const { return entries_; }
    const ViewEntry* find(const std::string& path) const;
    // Names directly inside a directory ("" for the root), in stored order.
    std::vector<std::string> names_in(const std::string& dir_path) const;

    std::vector<ViewChunk> chunks(const ViewEntry& file) const;
    // Content of a file, decoded chunk by chunk; fails the current test on
    // any inconsistency (checksum, sizes, marker).
    Bytes content(const ViewEntry& file) const;

private:
    void walk(std::uint32_t dir_offset, const std::string& prefix, int depth);

    Bytes bytes_;
    std::vector<ViewEntry> entries_;
};

}  // namespace writer_test

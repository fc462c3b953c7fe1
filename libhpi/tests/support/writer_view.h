// Helpers for the writer tests: scratch folders, test content, and a look at
// chunk headers.
// They trust their input: tests only.
#pragma once

#include "hpi/hpi.h"

#include <cstdint>
#include <filesystem>
#include <memory>
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

// Deterministic test content: text-like when `compressible`, else the
// builder's noise.
Bytes make_content(std::size_t size, std::uint32_t seed, bool compressible);

std::uint32_t u32_at(const Bytes& b, std::size_t pos);

// A packed archive opened with the library's reader, whose own suites hold
// it to archives built byte by byte from the format description; fails the
// current test when the archive does not open.
std::unique_ptr<hpi::Archive> open_packed(const std::filesystem::path& file);
// Content of the entry at `path`; fails the current test if it cannot be read.
Bytes content_of(const hpi::Archive& archive, std::string_view path);

// A chunk header straight from the bytes, with its length array slot.
struct ChunkHeader {
    std::uint32_t stored_length = 0;
    std::uint8_t version = 0, method = 0, obfuscated = 0;
    std::uint32_t payload_size = 0, plain_size = 0;
};
std::vector<ChunkHeader> chunk_headers(const Bytes& archive, const hpi::Entry& file);

}  // namespace writer_test

// A deterministic corpus that looks like the content of game archives: unit
// and weapon scripts, number tables, model-like binary records, and some
// already-compressed (incompressible) media.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct CorpusFile {
    std::string archive_path;
    std::filesystem::path disk_path;
    std::string kind;
    std::uint64_t size = 0;
};

// Writes about `total_bytes` of files below `dir`; the same arguments always
// give the same bytes.
std::vector<CorpusFile> generate_corpus(const std::filesystem::path& dir, std::uint64_t total_bytes);

}  // namespace bench

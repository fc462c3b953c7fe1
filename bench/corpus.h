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

// The files of one archive of a collection; `name` is its file name.
struct CollectionArchive {
    std::string name;
    std::vector<CorpusFile> files;
};

// A collection of archives as people keep them: at scale 1, 40 archives of
// about 20,000 files and 300 MB in all, mostly small text files (1-8 KB),
// some mid-size binary ones (20-500 KB, partly compressible) and one big file
// (1-4 MB) per archive. The archives share their folder names but no file
// name, even without regard to case, so `dir`, where every file is written,
// is exactly what dumping them all gives. The same scale always gives the
// same bytes.
std::vector<CollectionArchive> generate_collection(const std::filesystem::path& dir, double scale);

// The files of one big archive of media and maps, 1.25 GiB at scale 1, so
// that even packed it passes 1 GiB; written below `dir`.
std::vector<CorpusFile> generate_big_archive(const std::filesystem::path& dir, double scale);

}  // namespace bench

// Shared by the contract and command-line tests: the fixed archives'
// manifest and string-shaped conveniences over the archive test helpers.
#pragma once

#include "support/writer_view.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testkit {

std::filesystem::path testdata_dir();

struct ManifestRow {
    std::string archive;
    bool is_directory = false;
    std::uint64_t size = 0;  // files only
    std::string path;        // UTF-8, "\" between levels
    std::string sha256;      // files only, lower-case hex
};

// Rows of one archive, in listing order.
std::vector<ManifestRow> manifest_rows(std::string_view archive);

// The archives whose every entry the manifest describes.
std::vector<std::string> good_archives();

std::string sha256_hex(std::string_view bytes);
std::string read_file(const std::filesystem::path& file);
using writer_test::write_file;

// An unencrypted archive whose root holds these stored files in this order,
// built byte by byte: for archives our own writer would never make, such as
// names that differ only in case.
std::string stored_archive(const std::vector<std::pair<std::string, std::string>>& files);

using ScratchDir = writer_test::ScratchDir;

}  // namespace testkit

// The manifests of the fixed archives (testdata/MANIFEST.tsv and, for
// version 2, testdata/v2/MANIFEST.tsv): one row per entry, in listing order,
// with the SHA-256 of every file's content.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace hpi::test {

std::filesystem::path testdata_dir();

struct ManifestRow {
    std::string archive;  // below the test data: "zlib.ufo", "v2/units.hpi"
    bool is_directory = false;
    std::uint64_t size = 0;  // files only
    std::string path;        // UTF-8, "\" between levels
    std::string sha256;      // files only, lower-case hex
};

// Rows of one archive, in listing order.
std::vector<ManifestRow> manifest_rows(std::string_view archive);

// The archives whose every entry the manifest describes.
std::vector<std::string> good_archives();

}  // namespace hpi::test

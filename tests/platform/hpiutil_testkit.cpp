#include "hpiutil_testkit.h"

#include "support/archive_builder.h"
#include "support/sha256.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testkit {
namespace fs = std::filesystem;

fs::path testdata_dir() { return QUARRIX_TESTDATA_DIR; }

std::vector<ManifestRow> manifest_rows(std::string_view archive) {
    std::ifstream in(testdata_dir() / "MANIFEST.tsv");
    if (!in) throw std::runtime_error("MANIFEST.tsv not found in " + testdata_dir().string());
    std::vector<ManifestRow> rows;
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestRow row;
        std::string kind, size;
        std::getline(fields, row.archive, '\t');
        std::getline(fields, kind, '\t');
        std::getline(fields, size, '\t');
        std::getline(fields, row.path, '\t');
        std::getline(fields, row.sha256, '\t');
        if (row.archive != archive) continue;
        row.is_directory = kind == "d";
        if (!row.is_directory) row.size = std::stoull(size);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> good_archives() {
    return {"stored.hpi", "zlib.ufo", "lz77.gp3", "encrypted.hpi", "edges.hpi"};
}

std::string sha256_hex(std::string_view bytes) {
    return hpi::test::sha256_hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string read_file(const fs::path& file) {
    const auto bytes = writer_test::read_file(file);
    return std::string(bytes.begin(), bytes.end());
}

std::string stored_archive(const std::vector<std::pair<std::string, std::string>>& files) {
    hpi::test::ArchiveBuilder builder;
    for (const auto& [name, content] : files) builder.stored_file(name, hpi::test::bytes_of(content));
    const auto bytes = builder.build().bytes;
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace testkit

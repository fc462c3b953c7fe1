#include "support/manifest.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hpi::test {

std::filesystem::path testdata_dir() { return QUARRIX_TESTDATA_DIR; }

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

}  // namespace hpi::test

#include "support/manifest.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hpi::test {

std::filesystem::path testdata_dir() { return QUARRIX_TESTDATA_DIR; }

namespace {

std::vector<ManifestRow> all_rows() {
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
        row.is_directory = kind == "d";
        if (!row.is_directory) row.size = std::stoull(size);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

std::vector<ManifestRow> manifest_rows(std::string_view archive) {
    std::vector<ManifestRow> rows;
    for (ManifestRow& row : all_rows())
        if (row.archive == archive) rows.push_back(std::move(row));
    return rows;
}

// Taken from the manifest itself, so an archive added to it is checked too.
std::vector<std::string> good_archives() {
    std::vector<std::string> names;
    for (const ManifestRow& row : all_rows())
        if (std::find(names.begin(), names.end(), row.archive) == names.end())
            names.push_back(row.archive);
    return names;
}

}  // namespace hpi::test

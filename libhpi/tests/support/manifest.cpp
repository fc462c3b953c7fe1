#include "support/manifest.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hpi::test {

std::filesystem::path testdata_dir()
{
    return QUARRIX_TESTDATA_DIR;
}

namespace {

// The rows of one manifest; `folder` is where its archives lie below the
// test data, and comes before their names.
void read_rows(const std::string& folder, std::vector<ManifestRow>& rows)
{
    std::ifstream in(testdata_dir() / folder / "MANIFEST.tsv");
    if (!in)
        throw std::runtime_error("MANIFEST.tsv not found in " + (testdata_dir() / folder).string());
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestRow row;
        std::string kind, size;
        std::getline(fields, row.archive, '\t');
        row.archive = folder + row.archive;
        std::getline(fields, kind, '\t');
        std::getline(fields, size, '\t');
        std::getline(fields, row.path, '\t');
        std::getline(fields, row.sha256, '\t');
        row.is_directory = kind == "d";
        if (!row.is_directory)
            row.size = std::stoull(size);
        rows.push_back(std::move(row));
    }
}

// Version 1's archives, then version 2's in v2/.
std::vector<ManifestRow> all_rows()
{
    std::vector<ManifestRow> rows;
    read_rows("", rows);
    read_rows("v2/", rows);
    return rows;
}

}  // namespace

std::vector<ManifestRow> manifest_rows(std::string_view archive)
{
    std::vector<ManifestRow> rows;
    for (ManifestRow& row : all_rows())
        if (row.archive == archive)
            rows.push_back(std::move(row));
    return rows;
}

// Taken from the manifest itself, so an archive added to it is checked too.
std::vector<std::string> good_archives()
{
    std::vector<std::string> names;
    for (const ManifestRow& row : all_rows())
        if (std::find(names.begin(), names.end(), row.archive) == names.end())
            names.push_back(row.archive);
    return names;
}

}  // namespace hpi::test

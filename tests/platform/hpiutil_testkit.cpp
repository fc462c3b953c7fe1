#include "hpiutil_testkit.h"

#include "support/sha256.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
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
    return hpi::test::sha256_hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                           bytes.size()));
}

namespace {

void put_u32(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = char(value >> (8 * i));
}

}  // namespace

std::string stored_archive(const std::vector<std::pair<std::string, std::string>>& files) {
    const std::uint32_t root = 20, entries = root + 8;
    std::uint32_t names = entries + 9 * std::uint32_t(files.size());
    std::uint32_t records = names;
    for (const auto& file : files) records += std::uint32_t(file.first.size() + 1);
    const std::uint32_t directory_end = records + 9 * std::uint32_t(files.size());

    std::string out(directory_end, '\0');
    out.replace(0, 4, "HAPI");
    put_u32(out, 4, 0x00010000);
    put_u32(out, 8, directory_end);
    put_u32(out, 16, root);
    put_u32(out, root, std::uint32_t(files.size()));
    put_u32(out, root + 4, entries);
    std::uint32_t data = directory_end;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& [name, content] = files[i];
        const std::uint32_t entry = entries + 9 * std::uint32_t(i);
        const std::uint32_t record = records + 9 * std::uint32_t(i);
        put_u32(out, entry, names);
        put_u32(out, entry + 4, record);
        out.replace(names, name.size(), name);
        names += std::uint32_t(name.size() + 1);
        put_u32(out, record, data);
        put_u32(out, record + 4, std::uint32_t(content.size()));
        out += content;
        data += std::uint32_t(content.size());
    }
    return out;
}

std::string read_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::vector<std::string> folder_names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testkit

#include "hpiutil_testkit.h"

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

namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void compress_block(std::array<std::uint32_t, 8>& state, const std::uint8_t* block) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 |
               std::uint32_t(block[4 * i + 2]) << 8 | block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::array<std::uint32_t, 8> v = state;
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t s1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
        const std::uint32_t choose = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const std::uint32_t t1 = v[7] + s1 + choose + kRoundConstants[i] + w[i];
        const std::uint32_t s0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
        const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        std::copy_backward(v.begin(), v.end() - 1, v.end());
        v[4] += t1;
        v[0] = t1 + s0 + majority;
    }
    for (int i = 0; i < 8; ++i) state[i] += v[i];
}

}  // namespace

std::string sha256_hex(std::string_view bytes) {
    std::array<std::uint32_t, 8> state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string padded(bytes);
    const std::uint64_t bit_length = std::uint64_t(bytes.size()) * 8;
    padded.push_back(char(0x80));
    while (padded.size() % 64 != 56) padded.push_back('\0');
    for (int shift = 56; shift >= 0; shift -= 8) padded.push_back(char(bit_length >> shift));
    for (std::size_t i = 0; i < padded.size(); i += 64)
        compress_block(state, reinterpret_cast<const std::uint8_t*>(padded.data() + i));
    std::string hex;
    char digits[9];
    for (std::uint32_t word : state) {
        std::snprintf(digits, sizeof digits, "%08x", word);
        hex += digits;
    }
    return hex;
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

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "quarrix-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace testkit

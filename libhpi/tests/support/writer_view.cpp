#include "writer_view.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace writer_test {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarrix-writer-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch directory");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ScratchDir::listing() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void write_file(const std::filesystem::path& path, const std::string& text) {
    write_file(path, Bytes(text.begin(), text.end()));
}

Bytes make_content(std::size_t size, std::uint32_t seed, bool compressible) {
    static const char* const words[] = {"[UNITINFO]", "Name=", "Armor", "Speed=1.25;",
                                        "weapon1=", "LASER", "\r\n", "{", "}", " ",
                                        "BuildCostEnergy=", "0", "7", "Description="};
    Bytes out;
    out.reserve(size);
    std::uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    while (out.size() < size) {
        if (compressible) {
            const char* w = words[next() % std::size(words)];
            for (const char* c = w; *c && out.size() < size; ++c) out.push_back(std::uint8_t(*c));
        } else {
            out.push_back(std::uint8_t(next() >> 7));
        }
    }
    return out;
}

std::uint32_t u32_at(const Bytes& b, std::size_t pos) {
    if (pos + 4 > b.size()) throw std::out_of_range("u32 past the end of the archive");
    return std::uint32_t(b[pos]) | std::uint32_t(b[pos + 1]) << 8 |
           std::uint32_t(b[pos + 2]) << 16 | std::uint32_t(b[pos + 3]) << 24;
}

Lz77Decoded lz77_decode(const Bytes& in, std::size_t plain_size) {
    Lz77Decoded r;
    std::uint8_t w[4096] = {};
    unsigned wp = 1;
    std::size_t pos = 0;
    auto next_byte = [&](std::uint8_t& c) {
        if (pos >= in.size()) return false;
        c = in[pos++];
        return true;
    };
    std::uint8_t f = 0;
    if (!next_byte(f)) return r;
    unsigned bit = 1;
    while (r.plain.size() < plain_size) {
        if ((f & bit) == 0) {
            std::uint8_t c;
            if (!next_byte(c)) break;
            r.plain.push_back(c);
            w[wp] = c;
            wp = (wp + 1) & 0xFFF;
        } else {
            std::uint8_t lo, hi;
            if (!next_byte(lo) || !next_byte(hi)) break;
            unsigned v = lo | unsigned(hi) << 8;
            unsigned rp = v >> 4;
            if (rp == 0) {
                r.ended_with_marker = true;
                break;
            }
            unsigned n = (v & 0x0F) + 2;
            for (unsigned k = 0; k < n; ++k) {
                if (rp == 0) r.referenced_slot_zero = true;
                std::uint8_t c = w[rp];
                r.plain.push_back(c);
                w[wp] = c;
                rp = (rp + 1) & 0xFFF;
                wp = (wp + 1) & 0xFFF;
            }
        }
        bit <<= 1;
        if (bit == 0x100) {
            bit = 1;
            if (!next_byte(f)) break;
        }
    }
    // The writer always ends a stream with the marker; read it if the output
    // filled up first.
    if (!r.ended_with_marker && r.plain.size() == plain_size && pos + 2 <= in.size() &&
        (f & bit) != 0 && (in[pos] | in[pos + 1] << 8) >> 4 == 0) {
        r.ended_with_marker = true;
        pos += 2;
    }
    r.consumed = pos;
    return r;
}

ArchiveView::ArchiveView(const std::filesystem::path& file) : bytes_(read_file(file)) {
    if (bytes_.size() < 20) throw std::runtime_error("archive shorter than its header");
    walk(directory_start(), "", 0);
}

void ArchiveView::walk(std::uint32_t dir_offset, const std::string& prefix, int depth) {
    if (depth > 10000) throw std::runtime_error("directory nesting runs away");
    std::uint32_t count = u32_at(bytes_, dir_offset);
    std::uint32_t first = u32_at(bytes_, dir_offset + 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t rec = first + std::size_t(i) * 9;
        std::uint32_t name_at = u32_at(bytes_, rec);
        std::uint32_t data_at = u32_at(bytes_, rec + 4);
        ViewEntry e;
        e.is_directory = bytes_.at(rec + 8) == 1;
        for (std::size_t p = name_at; bytes_.at(p) != 0; ++p) e.name.push_back(char(bytes_[p]));
        e.path = prefix.empty() ? e.name : prefix + "\\" + e.name;
        if (!e.is_directory) {
            e.data_start = u32_at(bytes_, data_at);
            e.size = u32_at(bytes_, data_at + 4);
            e.method = bytes_.at(data_at + 8);
        }
        entries_.push_back(e);
        if (e.is_directory) walk(data_at, e.path, depth + 1);
    }
}

const ViewEntry* ArchiveView::find(const std::string& path) const {
    for (const ViewEntry& e : entries_)
        if (e.path == path) return &e;
    return nullptr;
}

std::vector<std::string> ArchiveView::names_in(const std::string& dir_path) const {
    std::vector<std::string> names;
    for (const ViewEntry& e : entries_) {
        std::string parent = e.path.size() > e.name.size()
                                 ? e.path.substr(0, e.path.size() - e.name.size() - 1)
                                 : std::string();
        if (parent == dir_path) names.push_back(e.name);
    }
    return names;
}

std::vector<ViewChunk> ArchiveView::chunks(const ViewEntry& file) const {
    std::vector<ViewChunk> out;
    std::size_t count = (std::size_t(file.size) + 65535) / 65536;
    std::size_t at = file.data_start + count * 4;
    for (std::size_t i = 0; i < count; ++i) {
        ViewChunk c;
        c.stored_length = u32_at(bytes_, file.data_start + i * 4);
        EXPECT_EQ(u32_at(bytes_, at), 0x48535153u) << file.path << " chunk " << i;
        c.version = bytes_.at(at + 4);
        c.method = bytes_.at(at + 5);
        c.obfuscated = bytes_.at(at + 6);
        c.payload_size = u32_at(bytes_, at + 7);
        c.plain_size = u32_at(bytes_, at + 11);
        c.checksum = u32_at(bytes_, at + 15);
        c.payload_pos = at + 19;
        out.push_back(c);
        at += c.stored_length;
    }
    return out;
}

Bytes ArchiveView::content(const ViewEntry& file) const {
    if (file.method == 0)
        return Bytes(bytes_.begin() + file.data_start,
                     bytes_.begin() + file.data_start + file.size);
    Bytes out;
    for (const ViewChunk& c : chunks(file)) {
        EXPECT_EQ(c.stored_length, 19 + c.payload_size) << file.path;
        Bytes payload(bytes_.begin() + std::ptrdiff_t(c.payload_pos),
                      bytes_.begin() + std::ptrdiff_t(c.payload_pos + c.payload_size));
        std::uint32_t sum = 0;
        for (std::uint8_t b : payload) sum += b;
        EXPECT_EQ(sum, c.checksum) << file.path;
        Bytes plain;
        if (c.method == 1) {
            Lz77Decoded d = lz77_decode(payload, c.plain_size);
            EXPECT_TRUE(d.ended_with_marker) << file.path;
            EXPECT_FALSE(d.referenced_slot_zero) << file.path;
            plain = d.plain;
        } else if (c.method == 2) {
            plain.resize(c.plain_size);
            libdeflate_decompressor* d = libdeflate_alloc_decompressor();
            std::size_t got = 0;
            auto r = libdeflate_zlib_decompress(d, payload.data(), payload.size(), plain.data(),
                                                plain.size(), &got);
            libdeflate_free_decompressor(d);
            EXPECT_EQ(r, LIBDEFLATE_SUCCESS) << file.path;
            EXPECT_EQ(got, c.plain_size) << file.path;
        } else {
            plain = payload;
        }
        out.insert(out.end(), plain.begin(), plain.end());
    }
    return out;
}

}  // namespace writer_test

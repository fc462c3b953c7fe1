#include "writer_view.h"

#include "support/archive_builder.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace writer_test {

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quarrix-writer-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a scratch directory");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ScratchDir::listing() const
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void write_file(const std::filesystem::path& path, const std::string& text)
{
    write_file(path, Bytes(text.begin(), text.end()));
}

Bytes make_content(std::size_t size, std::uint32_t seed, bool compressible)
{
    if (!compressible)
        return hpi::test::noise(size, seed);
    static const char* const words[] = {
        "[UNITINFO]", "Name=", "Armor", "Speed=1.25;",      "weapon1=", "LASER", "\r\n",
        "{",          "}",     " ",     "BuildCostEnergy=", "0",        "7",     "Description="};
    Bytes out;
    out.reserve(size);
    std::uint32_t state = seed * 2654435761u + 1;
    while (out.size() < size) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        for (const char* c = words[state % std::size(words)]; *c && out.size() < size; ++c)
            out.push_back(std::uint8_t(*c));
    }
    return out;
}

std::uint32_t u32_at(const Bytes& b, std::size_t pos)
{
    if (pos + 4 > b.size())
        throw std::out_of_range("u32 past the end of the archive");
    return std::uint32_t(b[pos]) | std::uint32_t(b[pos + 1]) << 8 | std::uint32_t(b[pos + 2]) << 16 |
           std::uint32_t(b[pos + 3]) << 24;
}

std::unique_ptr<hpi::Archive> open_packed(const std::filesystem::path& file)
{
    auto archive = hpi::Archive::open(file);
    EXPECT_TRUE(archive) << archive.error().message;
    return archive ? std::move(*archive) : nullptr;
}

Bytes content_of(const hpi::Archive& archive, std::string_view path)
{
    Bytes out;
    const auto index = archive.find(path);
    EXPECT_TRUE(index) << path;
    if (index) {
        const hpi::Error error = hpi::test::read_all(archive, *index, out);
        EXPECT_FALSE(error) << error.message;
    }
    return out;
}

std::vector<ChunkHeader> chunk_headers(const Bytes& archive, const hpi::Entry& file)
{
    std::vector<ChunkHeader> out;
    const std::size_t count = (std::size_t(file.size) + 65535) / 65536;
    std::size_t at = file.data_offset + count * 4;
    for (std::size_t i = 0; i < count; ++i) {
        ChunkHeader c;
        c.stored_length = u32_at(archive, file.data_offset + i * 4);
        c.version = archive.at(at + 4);
        c.method = archive.at(at + 5);
        c.obfuscated = archive.at(at + 6);
        c.payload_size = u32_at(archive, at + 7);
        c.plain_size = u32_at(archive, at + 11);
        out.push_back(c);
        at += c.stored_length;
    }
    return out;
}

}  // namespace writer_test

#include "support/archive_builder.h"

#include <libdeflate.h>

#include <numeric>
#include <stdexcept>

#include <sys/mman.h>
#include <unistd.h>

namespace hpi::test {
namespace {

void append_u32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

void append_u16(Bytes& out, unsigned value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

Chunk chunk_of(std::uint8_t method, Bytes payload, const Bytes& plain, bool obfuscated)
{
    Chunk chunk;
    chunk.method = method;
    chunk.obfuscated = obfuscated;
    chunk.payload = std::move(payload);
    chunk.plain_size = std::uint32_t(plain.size());
    return chunk;
}

Bytes obfuscate(Bytes bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = std::uint8_t((bytes[i] ^ std::uint8_t(i)) + std::uint8_t(i));
    return bytes;
}

}  // namespace

Bytes bytes_of(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

Bytes noise(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& byte : out) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        byte = std::uint8_t(x >> 11);
    }
    return out;
}

Chunk stored_chunk(const Bytes& plain, bool obfuscated)
{
    return chunk_of(0, plain, plain, obfuscated);
}

Chunk lz77_literal_chunk(const Bytes& plain, bool obfuscated)
{
    return chunk_of(1, Lz77Stream().literals(plain).end().bytes(), plain, obfuscated);
}

Chunk zlib_chunk(const Bytes& plain, bool obfuscated)
{
    return zlib_chunk_with_trailing(plain, {}, obfuscated);
}

Chunk zlib_chunk_with_trailing(const Bytes& plain, const Bytes& trailing, bool obfuscated)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    Bytes payload(libdeflate_zlib_compress_bound(compressor, plain.size()));
    payload.resize(
        libdeflate_zlib_compress(compressor, plain.data(), plain.size(), payload.data(), payload.size()));
    libdeflate_free_compressor(compressor);
    payload.insert(payload.end(), trailing.begin(), trailing.end());
    return chunk_of(2, std::move(payload), plain, obfuscated);
}

Bytes chunk_bytes(const Chunk& chunk)
{
    Bytes b;
    const Bytes stored = chunk.obfuscated ? obfuscate(chunk.payload) : chunk.payload;
    append_u32(b, chunk.marker);
    b.push_back(2);  // version
    b.push_back(chunk.method);
    b.push_back(chunk.obfuscated ? 1 : 0);
    append_u32(b, chunk.payload_size.value_or(std::uint32_t(stored.size())));
    append_u32(b, chunk.plain_size);
    append_u32(b, chunk.checksum.value_or(std::accumulate(stored.begin(), stored.end(), 0u)));
    b.insert(b.end(), stored.begin(), stored.end());
    b.resize(b.size() + chunk.slack, 0xEE);
    return b;
}

std::vector<Chunk> chunks_of(const Bytes& content, Chunk (*make)(const Bytes&, bool), bool obfuscated)
{
    std::vector<Chunk> chunks;
    for (std::size_t pos = 0; pos < content.size(); pos += 65536) {
        const std::size_t end = std::min<std::size_t>(content.size(), pos + 65536);
        chunks.push_back(make(
            Bytes(content.begin() + std::ptrdiff_t(pos), content.begin() + std::ptrdiff_t(end)), obfuscated));
    }
    return chunks;
}

void Lz77Stream::next_item(bool is_reference)
{
    if (items_ % 8 == 0) {
        flag_at_ = bytes_.size();
        bytes_.push_back(0);
    }
    if (is_reference)
        bytes_[flag_at_] |= std::uint8_t(1u << (items_ % 8));
    ++items_;
}

Lz77Stream& Lz77Stream::literal(std::uint8_t byte)
{
    next_item(false);
    bytes_.push_back(byte);
    return *this;
}

Lz77Stream& Lz77Stream::literals(const Bytes& bytes)
{
    for (std::uint8_t b : bytes)
        literal(b);
    return *this;
}

Lz77Stream& Lz77Stream::reference(unsigned window_pos, unsigned length)
{
    if (length < 2 || length > 17 || window_pos == 0 || window_pos > 0xFFF)
        throw std::invalid_argument("LZ77 reference out of range");
    next_item(true);
    append_u16(bytes_, window_pos << 4 | (length - 2));
    return *this;
}

Lz77Stream& Lz77Stream::end()
{
    next_item(true);
    append_u16(bytes_, 0);
    return *this;
}

std::uint32_t BuiltArchive::u32(std::uint32_t offset) const
{
    return std::uint32_t(bytes.at(offset)) | std::uint32_t(bytes.at(offset + 1)) << 8 |
           std::uint32_t(bytes.at(offset + 2)) << 16 | std::uint32_t(bytes.at(offset + 3)) << 24;
}

void BuiltArchive::put_u32(std::uint32_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = std::uint8_t(value >> (8 * i));
}

Bytes BuiltArchive::encrypted(std::uint32_t header_key) const
{
    Bytes out = bytes;
    for (int i = 0; i < 4; ++i)
        out[12 + i] = std::uint8_t(header_key >> (8 * i));
    const std::uint32_t key = ~((header_key * 4) | (header_key >> 6));
    for (std::size_t pos = 20; pos < out.size(); ++pos) {
        // plain = ((pos ^ key) & 0xFF) ^ (~stored & 0xFF), solved for stored.
        const std::uint8_t plain = out[pos];
        out[pos] = std::uint8_t(~(plain ^ ((pos ^ key) & 0xFF)));
    }
    return out;
}

struct ArchiveBuilder::Node {
    std::string name;
    std::string path;
    bool is_directory = false;
    std::vector<std::unique_ptr<Node>> children;
    Method method = Method::Stored;
    std::uint32_t size = 0;
    Bytes content;              // stored files
    std::vector<Chunk> chunks;  // chunked files
};

ArchiveBuilder::ArchiveBuilder() : root_(std::make_unique<Node>())
{
    root_->is_directory = true;
}
ArchiveBuilder::~ArchiveBuilder() = default;

ArchiveBuilder::Node& ArchiveBuilder::add(const std::string& path, bool is_directory)
{
    Node* parent = root_.get();
    std::size_t start = 0;
    for (std::size_t sep; (sep = path.find('\\', start)) != std::string::npos; start = sep + 1) {
        const std::string part = path.substr(start, sep - start);
        Node* next = nullptr;
        for (auto& child : parent->children)
            if (child->is_directory && child->name == part)
                next = child.get();
        if (!next)
            throw std::invalid_argument("no parent directory for " + path);
        parent = next;
    }
    auto node = std::make_unique<Node>();
    node->name = path.substr(start);
    node->path = path;
    node->is_directory = is_directory;
    parent->children.push_back(std::move(node));
    return *parent->children.back();
}

ArchiveBuilder& ArchiveBuilder::directory(const std::string& path)
{
    add(path, true);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::stored_file(const std::string& path, Bytes content)
{
    Node& node = add(path, false);
    node.size = std::uint32_t(content.size());
    node.content = std::move(content);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::chunked_file(const std::string& path, Method record_method,
                                             std::uint32_t size, std::vector<Chunk> chunks)
{
    Node& node = add(path, false);
    node.method = record_method;
    node.size = size;
    node.chunks = std::move(chunks);
    return *this;
}

BuiltArchive ArchiveBuilder::build() const
{
    BuiltArchive out;
    Bytes& b = out.bytes;
    b.assign(20, 0);
    std::vector<const Node*> files;

    // Directory record, its entry records, then each child's name followed by
    // the child's own record (depth first).
    auto emit_directory = [&](auto& self, const Node& dir) -> std::uint32_t {
        const auto record = std::uint32_t(b.size());
        const auto entries = record + 8;
        append_u32(b, std::uint32_t(dir.children.size()));
        append_u32(b, entries);
        b.resize(b.size() + 9 * dir.children.size(), 0);
        for (std::size_t i = 0; i < dir.children.size(); ++i) {
            const Node& child = *dir.children[i];
            Placement& place = out.at[child.path];
            place.entry_record = entries + std::uint32_t(9 * i);
            place.name = std::uint32_t(b.size());
            b.insert(b.end(), child.name.begin(), child.name.end());
            b.push_back(0);
            if (child.is_directory) {
                place.record = self(self, child);
            } else {
                place.record = std::uint32_t(b.size());
                b.resize(b.size() + 9, 0);
                b[place.record + 8] = std::uint8_t(child.method);
                files.push_back(&child);
            }
            out.put_u32(place.entry_record, place.name);
            out.put_u32(place.entry_record + 4, place.record);
            b[place.entry_record + 8] = child.is_directory ? 1 : 0;
        }
        return record;
    };
    out.at[""].record = emit_directory(emit_directory, *root_);
    out.directory_end = std::uint32_t(b.size());

    for (const Node* file : files) {
        Placement& place = out.at[file->path];
        place.data = std::uint32_t(b.size());
        out.put_u32(place.record, place.data);
        out.put_u32(place.record + 4, file->size);
        if (file->method == Method::Stored) {
            b.insert(b.end(), file->content.begin(), file->content.end());
            continue;
        }
        for (const Chunk& chunk : file->chunks)
            append_u32(b, std::uint32_t(19 + chunk.payload.size() + chunk.slack));
        for (const Chunk& chunk : file->chunks) {
            const Bytes stored = chunk_bytes(chunk);
            b.insert(b.end(), stored.begin(), stored.end());
        }
    }

    out.put_u32(0, 0x49504148);
    out.put_u32(4, 0x00010000);
    out.put_u32(8, out.directory_end);
    out.put_u32(16, 20);
    return out;
}

Bytes archive_of(const std::vector<std::pair<std::string, std::string>>& entries)
{
    ArchiveBuilder builder;
    for (const auto& [path, content] : entries) {
        if (path.ends_with('\\')) {
            builder.directory(path.substr(0, path.size() - 1));
        } else if (content.starts_with("zlib:") || content.starts_with("bad:")) {
            const Bytes plain = bytes_of(content.substr(content.find(':') + 1));
            auto chunks = chunks_of(plain, zlib_chunk);
            if (content.starts_with("bad:"))
                chunks.back().checksum = 12345;
            builder.chunked_file(path, Method::Zlib, std::uint32_t(plain.size()), chunks);
        } else {
            builder.stored_file(path, bytes_of(content));
        }
    }
    return builder.build().bytes;
}

// Through an anonymous memory file, opened by path like any other: no disk
// traffic, and nothing left behind.
Result<std::unique_ptr<Archive>> open_bytes(const Bytes& bytes)
{
    const int fd = ::memfd_create("quarrix-reader-test", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        throw std::runtime_error("cannot fill a memory file");
    auto archive = Archive::open("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);  // the archive holds its own descriptor
    return archive;
}

Error first_error(const Bytes& bytes)
{
    auto archive = open_bytes(bytes);
    if (!archive)
        return archive.error();
    return (*archive)->test();
}

Error read_all(const Archive& archive, std::size_t index, Bytes& out)
{
    out.clear();
    return archive.read(index, [&](std::span<const std::uint8_t> piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return true;
    });
}

}  // namespace hpi::test

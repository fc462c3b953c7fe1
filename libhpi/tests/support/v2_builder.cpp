#include "support/v2_builder.h"

#include <stdexcept>

namespace hpi::test {
namespace {

void put(Bytes& b, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        b.at(at + std::size_t(i)) = std::uint8_t(value >> (8 * i));
}

Bytes block_chunk(const Bytes& plain, std::uint8_t method)
{
    Chunk chunk = method == 2   ? zlib_chunk(plain, true)
                  : method == 1 ? lz77_literal_chunk(plain, true)
                                : stored_chunk(plain, true);
    return chunk_bytes(chunk);
}

}  // namespace

std::uint32_t v2_content_checksum(const Bytes& content)
{
    std::uint8_t sum = 0, all_xor = 0, sum_of_xor_index = 0, xor_of_sum_index = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const std::uint8_t b = content[i], index = std::uint8_t(i % 256);
        sum = std::uint8_t(sum + b);
        all_xor = std::uint8_t(all_xor ^ b);
        sum_of_xor_index = std::uint8_t(sum_of_xor_index + (b ^ index));
        xor_of_sum_index = std::uint8_t(xor_of_sum_index ^ std::uint8_t(b + index));
    }
    return std::uint32_t(sum) | std::uint32_t(all_xor) << 8 | std::uint32_t(sum_of_xor_index) << 16 |
           std::uint32_t(xor_of_sum_index) << 24;
}

std::uint32_t V2Archive::u32(std::uint32_t offset) const
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | bytes.at(offset + std::uint32_t(i));
    return v;
}

void V2Archive::put_u32(std::uint32_t offset, std::uint32_t value)
{
    put(bytes, offset, value);
}

struct V2Builder::Node {
    std::string name, path;
    bool is_folder = true;
    std::vector<std::unique_ptr<Node>> folders, files;
    std::uint32_t size = 0;
    Bytes stored;
    std::uint32_t checksum = 0;
};

V2Builder::V2Builder() : root_(std::make_unique<Node>()) {}
V2Builder::~V2Builder() = default;

V2Builder::Node& V2Builder::add(const std::string& path, bool is_folder)
{
    Node* parent = root_.get();
    std::size_t start = 0;
    for (std::size_t sep; (sep = path.find('\\', start)) != std::string::npos; start = sep + 1) {
        Node* next = nullptr;
        for (auto& f : parent->folders)
            if (f->name == path.substr(start, sep - start))
                next = f.get();
        if (!next)
            throw std::invalid_argument("no parent folder for " + path);
        parent = next;
    }
    auto node = std::make_unique<Node>();
    node->name = path.substr(start);
    node->path = path;
    node->is_folder = is_folder;
    auto& list = is_folder ? parent->folders : parent->files;
    list.push_back(std::move(node));
    return *list.back();
}

V2Builder& V2Builder::folder(const std::string& path)
{
    add(path, true);
    return *this;
}

V2Builder& V2Builder::file(const std::string& path, const Bytes& content)
{
    return stored_file(path, std::uint32_t(content.size()), chunk_bytes(zlib_chunk(content)),
                       v2_content_checksum(content));
}

V2Builder& V2Builder::stored_file(const std::string& path, std::uint32_t size, Bytes stored,
                                  std::optional<std::uint32_t> checksum)
{
    Node& node = add(path, false);
    node.size = size;
    node.stored = std::move(stored);
    node.checksum = checksum.value_or(v2_content_checksum(node.stored));
    return *this;
}

V2Builder& V2Builder::blocks_as_chunks(std::uint8_t method)
{
    block_method_ = method;
    return *this;
}

V2Builder& V2Builder::blocks_first()
{
    blocks_first_ = true;
    return *this;
}

V2Archive V2Builder::build() const
{
    V2Archive out;
    Bytes block(20, 0), names(1, 0);
    std::vector<std::pair<const Node*, std::uint32_t>> files;  // with their record offsets
    const auto name = [&](std::uint32_t record, const Node& node) {
        put(block, record, std::uint32_t(names.size()));
        names.insert(names.end(), node.name.begin(), node.name.end());
        names.push_back(0);
    };
    // Subfolder records at the cursor, then file records, then each
    // subfolder in turn.
    const auto place = [&](auto& self, const Node& folder, std::uint32_t record) -> void {
        out.record[folder.path] = record;
        const auto folders_at = std::uint32_t(block.size());
        block.resize(block.size() + 20 * folder.folders.size(), 0);
        const auto files_at = std::uint32_t(block.size());
        block.resize(block.size() + 24 * folder.files.size(), 0);
        put(block, record + 4, folders_at);
        put(block, record + 8, std::uint32_t(folder.folders.size()));
        put(block, record + 12, files_at);
        put(block, record + 16, std::uint32_t(folder.files.size()));
        for (std::size_t i = 0; i < folder.folders.size(); ++i)
            name(folders_at + 20 * std::uint32_t(i), *folder.folders[i]);
        for (std::size_t i = 0; i < folder.files.size(); ++i) {
            const std::uint32_t at = files_at + 24 * std::uint32_t(i);
            name(at, *folder.files[i]);
            out.record[folder.files[i]->path] = at;
            files.emplace_back(folder.files[i].get(), at);
        }
        for (std::size_t i = 0; i < folder.folders.size(); ++i)
            self(self, *folder.folders[i], folders_at + 20 * std::uint32_t(i));
    };
    place(place, *root_, 0);

    Bytes& b = out.bytes;
    b.assign(32, 0);
    const auto add_data = [&] {
        for (const auto& [file, record] : files) {
            out.data[file->path] = std::uint32_t(b.size());
            put(block, record + 4, std::uint32_t(b.size()));
            put(block, record + 8, file->size);
            put(block, record + 12, std::uint32_t(file->stored.size()));
            put(block, record + 16, 1700000000);
            put(block, record + 20, file->checksum);
            b.insert(b.end(), file->stored.begin(), file->stored.end());
        }
    };
    const auto stored_form = [&](const Bytes& plain) {
        return block_method_ ? block_chunk(plain, *block_method_) : plain;
    };
    std::size_t names_size = names.size(), directory_size = block.size();
    if (blocks_first_) {
        // Raw blocks keep their size whatever data offsets they hold, so
        // the data's place is known before they are filled in.
        if (block_method_)
            throw std::logic_error("blocks before the data are raw");
        out.names_at = 32;
        out.directory_at = std::uint32_t(32 + names.size());
        b.resize(out.directory_at + block.size(), 0);
        add_data();
        std::copy(names.begin(), names.end(), b.begin() + out.names_at);
        std::copy(block.begin(), block.end(), b.begin() + out.directory_at);
    } else {
        add_data();
        const Bytes stored_names = stored_form(names), stored_dir = stored_form(block);
        names_size = stored_names.size();
        directory_size = stored_dir.size();
        out.names_at = std::uint32_t(b.size());
        b.insert(b.end(), stored_names.begin(), stored_names.end());
        out.directory_at = std::uint32_t(b.size());
        b.insert(b.end(), stored_dir.begin(), stored_dir.end());
    }
    put(b, 12, std::uint32_t(directory_size));
    put(b, 20, std::uint32_t(names_size));
    put(b, 0, 0x49504148);
    put(b, 4, 0x00020000);
    put(b, 8, out.directory_at);
    put(b, 16, out.names_at);
    put(b, 24, 32);
    return out;
}

}  // namespace hpi::test

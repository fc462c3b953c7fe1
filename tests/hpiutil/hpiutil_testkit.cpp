#include "hpiutil_testkit.h"

#include "support/archive_builder.h"
#include "support/sha256.h"

namespace testkit {
namespace fs = std::filesystem;

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

#include "hpiutil_testkit.h"

#include "support/sha256.h"

namespace testkit {
namespace fs = std::filesystem;

std::string sha256_hex(std::string_view bytes)
{
    return hpi::test::sha256_hex(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string fixture(const std::string& name)
{
    return (testdata_dir() / name).string();
}

std::string manifest_sha256(const std::string& archive, const std::string& path)
{
    for (const auto& row : manifest_rows(archive))
        if (row.path == path)
            return row.sha256;
    return "(not in the manifest)";
}

std::string read_file(const fs::path& file)
{
    const auto bytes = writer_test::read_file(file);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace testkit

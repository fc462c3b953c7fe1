// Shared by the contract and command-line tests: the fixed archives'
// manifest and string-shaped conveniences over the archive test helpers.
#pragma once

#include "support/archive_builder.h"
#include "support/manifest.h"
#include "support/writer_view.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testkit {

using hpi::test::archive_of;
using hpi::test::good_archives;
using hpi::test::manifest_rows;
using hpi::test::ManifestRow;
using hpi::test::testdata_dir;

std::string sha256_hex(std::string_view bytes);
// A fixed archive's path, and the SHA-256 its manifest gives for one entry.
std::string fixture(const std::string& name);
std::string manifest_sha256(const std::string& archive, const std::string& path);
std::string read_file(const std::filesystem::path& file);
using writer_test::write_file;

using ScratchDir = writer_test::ScratchDir;

}  // namespace testkit

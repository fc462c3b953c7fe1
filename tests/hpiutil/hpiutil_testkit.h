// Shared by the contract and command-line tests: the fixed archives'
// manifest and string-shaped conveniences over the archive test helpers.
#pragma once

#include "support/manifest.h"
#include "support/writer_view.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testkit {

using hpi::test::good_archives;
using hpi::test::manifest_rows;
using hpi::test::ManifestRow;
using hpi::test::testdata_dir;

std::string sha256_hex(std::string_view bytes);
std::string read_file(const std::filesystem::path& file);
using writer_test::write_file;

// An unencrypted archive whose root holds these stored files in this order,
// built byte by byte: for archives our own writer would never make, such as
// names that differ only in case.
std::string stored_archive(const std::vector<std::pair<std::string, std::string>>& files);

using ScratchDir = writer_test::ScratchDir;

}  // namespace testkit

// The disk side of packing: the files added to a Writer opened, checked
// against the size they had when added, and read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "hpi/file_descriptor.h"
#include "hpi/hpi.h"

namespace hpi::detail {

Error io_error(std::string what, int err);
std::string in_quotes(const std::filesystem::path& p);

// Opens a disk file added earlier and checks it still has the size it had
// then: packing a file that changed underneath would write a record whose
// size disagrees with its data.
Result<FileDescriptor> open_source(const std::filesystem::path& path, std::uint64_t expected_size);
// Reads exactly n bytes; a file that ends first is an IoError naming it.
Error read_exactly(int fd, const std::filesystem::path& path, std::uint8_t* buffer, std::size_t n);
// Checks that the file has nothing more to give.
Error expect_end(int fd, const std::filesystem::path& path);

// Tells `progress`, if any, how far the packing is; `disk_file` (packed as
// `archive_path`) is the file it is at.
void report_progress(const ProgressFn& progress, const std::filesystem::path& disk_file,
                     std::string_view archive_path, std::uint64_t done, std::uint64_t total);

}  // namespace hpi::detail

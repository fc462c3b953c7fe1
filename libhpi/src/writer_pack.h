// Writes a collected tree as one archive: header, directory block, then the
// data of every file in directory order.
#pragma once

#include <cstdint>
#include <filesystem>

#include "hpi/hpi.h"
#include "writer_tree.h"

namespace hpi::detail {

// Every offset of the format is 32-bit: no byte of an archive may lie past it.
inline constexpr std::uint64_t kLargestArchive = 0xFFFFFFFFu;

// `largest_archive` exists so that tests can reach the size refusal without
// writing gigabytes.
Error pack_tree(const TreeNode& root, const std::filesystem::path& target, const PackOptions& options,
                const ProgressFn& progress, std::uint64_t largest_archive = kLargestArchive);

}  // namespace hpi::detail

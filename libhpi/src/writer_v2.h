// Writes a collected tree as a version-2 archive: the header, each file's
// data as one chunk, then the names block and the directory block.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "hpi/hpi.h"
#include "writer_tree.h"

namespace hpi::detail {

// Where the archive's bytes go: `bytes` at offset `pos` of the new file.
using WriteAt = std::function<Error(std::uint64_t pos, std::span<const std::uint8_t> bytes)>;

// The tree as a version-2 archive, no byte of it past `largest_archive`
// (TooLarge otherwise). Options are already checked.
Error write_version2(const TreeNode& root, const WriteAt& write_at, const PackOptions& options,
                     const ProgressFn& progress, std::uint64_t largest_archive);

// A tree that version 2 cannot hold (folders nested too deep, a name with a
// control byte), as an InvalidArgument, before anything is written.
Error check_version2_tree(const TreeNode& root);

}  // namespace hpi::detail

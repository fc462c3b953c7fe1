// The archive under construction: a file in the target's folder that takes
// the target's name only when complete.
//
// Where the file system allows it the file has no name at all while it is
// written (O_TMPFILE): it is linked into place at commit, so a process killed
// at any moment leaves nothing behind. Elsewhere it is a hidden named file
// beside the target, removed on every failure, when the object goes away
// uncommitted, and by remove_temporary_archives() on a sudden end.
//
// The program's own extraction has a twin of this policy
// (src/platform/atomic_file): the library stays free of the program's code,
// so each keeps its own, and both follow the same rules.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "hpi/file_descriptor.h"
#include "hpi/hpi.h"

namespace hpi::detail {

class TemporaryArchive {
public:
    static Result<TemporaryArchive> create_beside(const std::filesystem::path& target);

    TemporaryArchive(TemporaryArchive&& other) noexcept;
    TemporaryArchive& operator=(TemporaryArchive&&) = delete;
    ~TemporaryArchive();

    Error write_at(std::uint64_t pos, std::span<const std::uint8_t> bytes);

    // Flushes the data to the disk, then gives it the target's name (replacing
    // a file there in one step), so that a crash leaves either the old archive
    // or the complete new one under that name.
    Error commit();

    bool is_named() const { return named_slot_ >= 0; }

private:
    TemporaryArchive(FileDescriptor folder, FileDescriptor file, std::filesystem::path target);
    Error place_unnamed();
    Error rename_over_target(const char* temporary_name);
    void drop() noexcept;

    FileDescriptor folder_;
    FileDescriptor file_;
    std::filesystem::path target_;
    int named_slot_ = -1;  // slot of the named temporary file, -1 when unnamed
    bool committed_ = false;
};

// Makes every later temporary archive a named one, as on a file system
// without unnamed files; lets the tests reach that path.
void force_named_temporary_archives(bool named);

}  // namespace hpi::detail

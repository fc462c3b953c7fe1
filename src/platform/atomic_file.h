// Replacing a file all at once: the new content goes to a temporary file in
// the target's folder and takes the target's name only when complete, so a
// reader sees the old file or the new one, never a part, and a failure leaves
// the old file as it was.
//
// Where the file system allows it the temporary file has no name (O_TMPFILE)
// and is linked in at Commit, so even a killed process leaves nothing behind.
// An existing target is replaced in one step: the new file takes a hidden
// name for a moment and is renamed over it. Elsewhere the temporary file is
// named ".quarrix-<16 hex digits>.part" (short, so it fits whatever the
// length of the target's name; the dot keeps a leftover of a crash out of
// ordinary listings). A named one is removed on any failure and when the
// object goes away without Commit, and every one still open is listed in a
// process-wide registry, so that a program about to end at once can remove
// them all with RemoveOpenTemporaryFiles().
//
// The archive library keeps a twin of this policy for the archives it writes
// (libhpi/src/temporary_archive): the library stays free of the program's
// code, so each has its own, and both follow the same rules.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/beneath.h"

namespace quarrix::platform {

struct RegistrySlot;

enum class Durability {
    None,   // the rename alone: fast, for many files rebuilt on demand
    Synced  // the content reaches the disk before the rename, the rename before Commit returns
};

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file in target's folder (the current folder when
    // target has none); Commit renames it to target. The folder is named as
    // the caller names it. The file gets the mode a new file gets from the
    // process's umask.
    bool Create(const std::filesystem::path& target, std::error_code& error);

    // Creates the temporary file in the folder open as folderFd (for use under
    // OpenFolderBeneath; the descriptor is duplicated, the caller keeps its
    // own); Commit gives it the name `name` in that folder. name must be a
    // single safe name (IsSingleSafeName), else EINVAL. A named temporary file
    // is made with O_EXCL|O_NOFOLLOW, and a link found at name is replaced
    // rather than written through.
    bool CreateIn(int folderFd, std::string_view name, std::error_code& error);

    // The same in a folder whose descriptor the caller shares with this
    // object instead of having it duplicated: many files made in one kept
    // folder then cost no system call for the folder.
    bool CreateIn(std::shared_ptr<const UniqueFd> folder, std::string_view name, std::error_code& error);

    // The open temporary file (owned by this object), e.g. to set its mode;
    // -1 before Create and after Commit or Discard.
    int fd() const { return file_.get(); }

    // Writes all of data, retrying short writes; a full disk or a size limit
    // is an error, never a short file.
    bool Write(const void* data, std::size_t size, std::error_code& error);

    // Closes the file (checking the close), puts it in place under the final
    // name, and with Durability::Synced syncs the file before and its folder
    // after. On failure the temporary file is removed and the final name is
    // untouched.
    bool Commit(Durability durability, std::error_code& error);

    // Drops the temporary file (nothing happens without one).
    void Discard() noexcept;

private:
    bool createInOwnFolder(std::error_code& error);
    bool claimHiddenName(const std::function<bool(const char*)>& makeFile, std::error_code& error);
    bool placeNamed(std::error_code& error);
    bool placeUnnamed(std::error_code& error);
    bool linkUnnamed(const char* name);
    int folder() const { return folder_ ? folder_->get() : -1; }

    std::shared_ptr<const UniqueFd> folder_;
    UniqueFd file_;
    std::string finalName_;
    char temporaryName_[32] = {};  // empty for an unnamed file
    RegistrySlot* slot_ = nullptr;
};

// Makes every later temporary file a named one, as on a file system without
// unnamed files; lets the tests reach that path.
void ForceNamedTemporaryFiles(bool named);

// Removes every temporary file of an AtomicFile not yet committed or
// discarded, in any thread. Takes no lock and allocates nothing, so it may be
// called right before _Exit (or from a signal handler); a file being created
// by another thread at that very moment may escape.
void RemoveOpenTemporaryFiles() noexcept;

}  // namespace quarrix::platform

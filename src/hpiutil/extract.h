// Writing one archive entry to disk without ever leaving the destination.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <hpi/hpi.h>

#include "hpiutil/failure.h"
#include "platform/atomic_file.h"
#include "platform/beneath.h"

namespace hpiutil {

// A destination path cut where the entry's own path begins: the root, taken
// as the caller names it, and below it the folders and the file name that
// come from the entry.
struct Destination {
    std::filesystem::path root;
    std::vector<std::string> folders;
    std::string file;
};

// Splits destination ("/" between levels) so that its last `levels` levels
// are the part below the root. Nothing when it has fewer levels, or when one
// of those levels is not a single safe name. A destination that is those
// levels alone has the current folder as its root.
std::optional<Destination> split_destination(std::string_view destination, std::size_t levels);

// The folders of the last files extracted, kept open: files of one folder
// come one after another in listing order, so most files need no walk down
// from the root. Safe to share between threads: each thread making files in
// a folder shares its descriptor, and no system call is made under the lock.
class FolderCache {
public:
    // Starts file in the folder destination names (made when missing).
    bool create_file(const Destination& destination, quarrix::platform::AtomicFile& file,
                     std::error_code& error);

private:
    using Folder = std::shared_ptr<const quarrix::platform::UniqueFd>;
    struct Kept {
        std::filesystem::path root;
        std::vector<std::string> folders;
        Folder folder;
    };
    // A few more than the threads that extract at once, each in its own folder.
    static constexpr std::size_t kKept = 20;

    Folder find(const Destination& destination);
    void keep(const Destination& destination, Folder folder);

    std::mutex mutex_;
    std::vector<Kept> kept_;  // the most recently used last
};

// Writes entries()[index] of archive below destination.root: the folders are
// made and opened one level at a time without following links, and the file
// is written to a temporary file in its folder that takes the final name only
// when the whole entry was read, checked and written. On failure (damaged
// entry, full disk, unwritable folder, a link or file in the way, a stop
// requested by a signal) nothing is left behind, an existing file is
// untouched, and the result says why.
Failure extract_beneath(const hpi::Archive& archive, std::size_t index, const Destination& destination,
                        FolderCache& folders);

}  // namespace hpiutil

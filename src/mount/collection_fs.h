// The merged view of a collection as a read-only file system (libfuse 3, the
// kernel's FUSE): the folders and files an unpacked dump would write, each
// file decompressed on read a block at a time. Names are listed as the dump
// spells them and looked up without regard to ASCII case, as the game looks
// them up. Files are 0444, folders 0555, their times the modification time of
// the archive that provides them; anything that would write fails with
// "read-only file system". A damaged entry fails its reads with an I/O error
// and is reported once. Requests are served by several threads.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include <hpi/hpi.h>

#include "collection/merged_view.h"

namespace quarrix::mount {

// Why a mount did not happen.
enum class MountFailure {
    None,
    NoMountPoint,  // the mount point does not exist
    NotAFolder,    // it is not a folder
    NotEmpty,      // it holds something
    Unreadable,    // it cannot be looked at (error says why)
    NoFuse,        // this machine offers no FUSE device (error says why)
    Refused,       // the kernel or fusermount3 refused the mount
};

struct MountResult {
    MountFailure failure = MountFailure::None;
    std::error_code error;
    explicit operator bool() const { return failure == MountFailure::None; }
};

// Called once for each copy whose reading failed.
using DamageReport = std::function<void(const collection::Copy&, const hpi::Error&)>;

class CollectionFs {
public:
    // The view must outlive the file system.
    CollectionFs(const collection::MergedView& view, DamageReport report, std::size_t cache_bytes = 8u << 20);
    ~CollectionFs();
    CollectionFs(const CollectionFs&) = delete;
    CollectionFs& operator=(const CollectionFs&) = delete;

    // Mounts on `mount_point`, which must be an empty folder.
    MountResult mount(const std::string& mount_point);

    // Goes on in a child process of its own session, standard input and
    // output on /dev/null; standard error, where damaged entries are
    // reported, is kept when it is a terminal or a file and goes to
    // /dev/null too otherwise (a pipe, whose reader would wait for the
    // unmount). Returns true in the child, which is to serve(); in
    // the calling process returns false once the child exists (or with
    // `error` set when none could be made), leaving the mount to the child.
    bool continue_in_background(std::error_code& error);

    // Serves requests until the file system is unmounted (fusermount3 -u) or
    // SIGINT, SIGTERM or SIGHUP arrives, then unmounts it if still mounted.
    // Returns false when the loop ended on an error.
    bool serve();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace quarrix::mount

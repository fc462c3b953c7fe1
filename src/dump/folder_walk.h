// The walk of a disk folder that becomes an archive. The consolidated dump
// (AddDirectory) and quarrix-cli pack both go through it, so that they take
// and refuse the same things and say so in the same words.
//
// Each folder is added before its contents and its whole subtree before the
// next entry of its level, in the order the disk lists them. A link to a
// file is added as the file it leads to; a pipe, a socket or a device is
// reported and left out (it has no content to keep, and reading one could
// wait for ever); a link to a folder is not followed (it could lead
// anywhere, the walk's own folder included) and is reported, as is a folder
// reached a second time through a mount. Names an archive
// cannot hold are reported and left out: names that are not valid UTF-8 or
// hold a character Windows-1252 lacks, names holding "\" (which would be
// read back as two levels), and names that differ only in case from one
// already added (an archive compares names without regard to case, so only
// one could be kept).
#pragma once

#include "failures.h"
#include "platform/find_file.h"

#include <optional>
#include <string>

namespace quarrix::dump {

// Where the walk puts what it takes, by the path inside the archive (UTF-8,
// "\" between levels). A failure returned is reported by the walk.
class PackingTarget {
public:
    virtual ~PackingTarget() = default;
    virtual hpiutil::Failure AddFolder(const std::string& archivePath) = 0;
    virtual hpiutil::Failure AddFile(const std::string& archivePath, const std::string& diskPath) = 0;
};

// Walks everything below the disk folder `folder` into `target` under
// `archivePath` ("" for the archive's root). Failures are added to
// `failures` under the name `archive`. `leaveOut` is a file passed over
// without a word: an earlier archive of the new one's name inside the folder.
// A stop asked for by a signal (platform/stop_signals.h) ends the walk
// before its next entry, without a failure: the run reports the stop.
void WalkFolderForPacking(const std::string& folder, const std::string& archivePath, PackingTarget& target,
                          DumpFailures& failures, const std::string& archive,
                          const std::optional<platform::FileIdentity>& leaveOut = std::nullopt);

}  // namespace quarrix::dump

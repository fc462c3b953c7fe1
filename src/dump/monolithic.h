// CreateMonolithic: the second half of a consolidated dump. The tree that the
// extraction left in the temporary folder is packed into one new archive in
// the target folder, then the temporary folder is deleted.
#pragma once

#include "callback.h"
#include "failures.h"

#include <cstdint>
#include <string>

namespace quarrix::dump {

// What packing asks of its surroundings: OK-only messages, the progress shown
// around the packing itself, and the deletion of the temporary folder.
class MonolithicHost : public Callback::PackProgress {
public:
    virtual void Message(const std::string& text) = 0;
    virtual void PackingStarts() = 0;
    virtual void PackingEnds() = 0;
    virtual void DeleteFolder(const std::string& folder) = 0;
};

// Packs `tempFolder` into target/Filename with zlib. When the archive cannot
// be created (a missing target folder, or a name that is empty or names a
// folder) the temporary folder is kept, so that the next consolidated dump
// packs its files too; otherwise it is deleted, whatever the packing gave.
// Failures are shown through the host and added to `failures`.
void CreateMonolithic(const std::string& target, const std::string& Filename, const std::string& tempFolder,
                      MonolithicHost& host, DumpFailures& failures);

// Adds everything below the disk folder `source` to the new archive under
// `archivePath` ("" for the archive's root), each folder before its contents.
void AddDirectory(std::int32_t handle, const std::string& source, const std::string& archivePath,
                  MonolithicHost& host, DumpFailures& failures, const std::string& archive);

}  // namespace quarrix::dump

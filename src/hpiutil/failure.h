// Why something failed, kept typed from the place it happened (the archive
// library's Error, the system's error code, a rule of the program) until the
// edge that shows it to a person turns it into words. The words and the kind
// names below are what people and scripts read: they are part of the
// program's interface.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

#include <hpi/hpi.h>

namespace hpiutil {

enum class Cause {
    None,
    NotAnArchive,
    Damaged,      // the library found damage (which kind: Failure::damage)
    Unsupported,  // an archive layout this program cannot read
    Missing,      // no such file or folder
    NoSpace,      // the disk (or the quota) is full
    PermissionDenied,
    ReadOnly,    // a read-only file system
    InTheWay,    // a file, folder or link of that name is in the way
    TooLarge,    // past a size limit (the system's or the format's)
    UnsafeName,  // an entry path that would leave the folder it goes to
    NotCp1252,   // a name an archive cannot hold
    NotUtf8,     // a disk name that is not valid UTF-8
    NameTooLong,
    NotAFile,       // a pipe, a socket or a device: no content an archive can hold
    CaseCollision,  // differs only in case from a name already taken
    LinkToFolder,   // a link to a folder, not followed
    FolderTwice,    // a folder reached a second time (through a mount or a link)
    Interrupted,
    Io,     // any other refusal of the system
    Other,  // a mistake of the caller's; the detail says what
};

struct Failure {
    Cause cause = Cause::None;
    std::error_code system = {};                   // the system's answer, when it was the system's
    hpi::ErrorKind damage = hpi::ErrorKind::None;  // for Damaged
    bool wholeArchive = false;                     // for Damaged: the archive, not one entry
    std::string detail = {};                       // what and where, in words

    explicit operator bool() const { return cause != Cause::None; }
    bool operator==(const Failure&) const = default;
};

Failure FromSystem(std::error_code code, std::string detail = {});
// A failure of the archive library; `wholeArchive` when it concerns the
// archive itself (opening it) rather than one of its entries.
Failure FromLibrary(const hpi::Error& error, bool wholeArchive = false);
Failure Because(Cause cause, std::string detail = {});

// The cause in plain words: "no space left on device", "damaged entry:
// checksum mismatch (chunk 1 of 2 at offset 147: ...)", "not an archive".
std::string Describe(const Failure& failure);

// A stable short name of the kind of cause, for scripts: "no-space",
// "damaged", "unsafe-name", "not-an-archive", ...
std::string_view KindName(Cause cause);

}  // namespace hpiutil

// The --json output of quarrix-cli: JSON Lines, one object per line, each
// with a "type" and the path of the archive it concerns.
//
//   {"type":"entry","archive":A,"path":"units\\a.fbi","kind":"file","size":N}
//   {"type":"entry","archive":A,"path":"units","kind":"folder"}
//   {"type":"archive","archive":A,"ok":true, ...counts the command knows}
//   {"type":"failure","archive":A,"entry":E,"cause":"no space left on device","kind":"no-space"}
//   {"type":"failure","folder":F,"cause":...,"kind":...}   (a folder on disk, no archive)
//   {"type":"consolidated","archive":"TARGET/NAME","ok":true}
//
// "cause" is the sentence a person reads, "kind" the stable name of the
// cause for scripts (hpiutil::KindName). Names inside archives are UTF-8 as
// the archive contract gives them; a path on disk that is not valid UTF-8
// shows U+FFFD where it is not.
#pragma once

#include <iosfwd>
#include <string>

#include <hpi/hpi.h>
#include <nlohmann/json.hpp>

#include "dump/failures.h"
#include "hpiutil/failure.h"

namespace quarrix::cli::json {

using Object = nlohmann::ordered_json;

// The --json flag's help, and the lines each command's --help ends with.
inline constexpr const char* kHelp =
    "JSON Lines on standard output, one object per line (see the manual page)";
inline constexpr const char* kFooter =
    "With --json, standard output holds one JSON object per line instead, each with\n"
    "\"type\" and the \"archive\" (or \"folder\") it concerns; a failure has \"cause\"\n"
    "(words) and \"kind\" (no-space, damaged, not-an-archive, ...). Standard error\n"
    "is the same. See quarrix-cli(1).";

// The object on one line of its own.
void write(std::ostream& out, const Object& object);

// One entry of a listing; its path converted from Windows-1252 as the text
// listing converts it.
Object entry(const std::string& archive, const hpi::Entry& entry);

// {"type":"archive","archive":A}; the command adds "ok" and its counts.
Object archive(const std::string& archive);

// A failure about an archive, or one of its entries when `entry` is not empty.
Object failure(const std::string& archive, const std::string& entry, const hpiutil::Failure& cause);

// A failure about a folder on disk (the target, the directory to scan).
Object folder_failure(const std::string& folder, const hpiutil::Failure& cause);

// One failure an extraction, a packing or a dump collected. An item naming
// no entry and marked as a folder names a folder on disk in its archive
// field (the target that could not be made); every other names an archive.
Object failure(const dump::DumpFailure& failure);

}  // namespace quarrix::cli::json

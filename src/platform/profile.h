// The private-profile (INI) file: one value read or written per call, the file
// opened anew each time.
//
// Text is 8-bit and passed through unchanged (the program writes UTF-8).
// Section and key names match without regard to ASCII letter case and to
// blanks around them; values are trimmed of surrounding blanks. Files with
// CRLF or LF line ends are read. A write changes only the line it must,
// appends a new key at the end of its section and a new section at the end of
// the file, and replaces the file atomically: a failed write leaves the old
// file as it was.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quarrix::platform {

// The value of `key` in `section` of `file`, or `defaultValue` when the file,
// the section or the key does not exist. The value ends at a NUL byte if the
// file holds one. Only the first section of a name is searched, and in it the
// first entry of the key.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::filesystem::path& file);

// Stores `value` under `key` in `section` of `file`, creating the file, the
// section and the key as needed. Returns false, with the file untouched, when
// the file cannot be read or replaced (read-only file, missing or read-only
// folder, a folder in its place) and when a name or the value would break the
// file's structure (a line break or NUL anywhere, "=" or a leading "[" in the
// key, "]" in the section, an empty section or key).
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::filesystem::path& file);

}  // namespace quarrix::platform

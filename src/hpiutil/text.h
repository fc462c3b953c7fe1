// The contract's texts are UTF-8 (the system's own text), while names inside
// an archive are Windows-1252: the conversion happens here, exactly, and a
// text that cannot be converted exactly is refused rather than altered into
// another, existing-looking name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <hpi/names.h>

namespace hpiutil {

// Well-formed UTF-8, by the rule the archive library and the disk share.
using hpi::is_valid_utf8;

// A disk path as the caller gives it (UTF-8, "\" or "/" between levels) as a
// path this system opens; nothing when the text is empty or not valid UTF-8.
std::optional<std::filesystem::path> disk_path_from_text(const char* text);

// A path inside an archive as the caller gives it (UTF-8) in the archive's
// Windows-1252; nothing when the text is not valid UTF-8 or holds a character
// that Windows-1252 cannot store.
std::optional<std::string> archive_path_from_text(const char* text);

// Whether an archive path given by the caller stays below the folder it is
// extracted to: not absolute, no drive letter, and every level, with "\" or
// "/" between levels, a safe one (hpi::contained_levels).
bool is_contained_archive_path(std::string_view path);

}  // namespace hpiutil

// The small text rules of a dump: names the archive library writes into a
// fixed buffer, the short name of an archive or entry shown while it is
// worked on, and the split of an entry path into the folders it names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrix::dump {

// The part of `text` before its first NUL; with no NUL, `text` without its
// trailing blanks.
std::string StripNull(std::string_view text);

// The file name of `path` without its folders and without anything from its
// first "." on; "\" and "/" both separate folders. A name without any "."
// gives `path` back whole, folders included.
std::string GetBaseName(std::string_view path);

// The components of an entry path ("\" or "/" between levels), or nothing
// when the path would leave the folder it is extracted into: empty, absolute,
// starting with a drive letter, or holding a level that is not safe
// (hpi::contained_levels).
std::optional<std::vector<std::string>> SafeComponents(std::string_view entryPath);

// ASCII letters in lower case, every other byte as it is: how names are
// compared where the archives come from (hpi::fold_ascii, under the name the
// dump's code knows it by).
std::string FoldCase(std::string_view name);

}  // namespace quarrix::dump

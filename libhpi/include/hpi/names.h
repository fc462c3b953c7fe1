// The rules for names that the archive library and the program above it
// share: which name is a safe level of a path, how names compare without
// regard to case, which text is UTF-8, and
// how archive names (Windows-1252 bytes) cross to UTF-8 and back. Each rule lives here alone, so that a fix
// reaches every reader of archives, every writer and every door to the disk
// at once. No I/O, no allocation beyond the strings returned.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hpi {

// ------------------------------------------------------------ path levels

// The first rule a name breaks as one level of a path, or None.
enum class LevelFault { None, Empty, Dots, Separator, Nul };

// A safe level names something inside the folder it is taken in, and only
// that: it is not empty, not "." or "..", and holds neither separator (the
// archives' "\", this system's "/") nor NUL. Archive names are checked by it
// when they are read and when they are written, and so is every name before
// it becomes a level of a path on disk.
LevelFault level_fault(std::string_view name);
inline bool is_safe_level(std::string_view name)
{
    return level_fault(name) == LevelFault::None;
}

// Whether a path begins with a drive letter ("C:"): absolute on the system
// the archives come from, whatever follows.
bool starts_with_drive(std::string_view path);

// The levels of a path, "\" or "/" between them, when the whole path stays
// below the folder it is taken in: every level safe, and no drive letter in
// front. Nothing otherwise, for an empty path too.
std::optional<std::vector<std::string_view>> contained_levels(std::string_view path);

// ------------------------------------------------------------- ASCII case

// Archives come from a system that compares names without regard to case,
// and only ASCII letters fold: every other byte, of Windows-1252 or of
// UTF-8, compares as it is. Readers look names up this way, the writer
// orders and merges them this way, and the program matches names on disk
// and in its options file this way.
constexpr char fold_ascii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}
std::string fold_ascii(std::string_view text);
bool equal_ignoring_ascii_case(std::string_view a, std::string_view b);

// ------------------------------------------------------------------ UTF-8

// Decodes the sequence at text[pos] (pos < text.size()) and moves pos past
// it. A byte that cannot begin a sequence, or a sequence cut short or broken
// by a byte that cannot continue it, gives nothing and moves pos past its
// first byte only, so that the next call starts at the byte that broke it;
// an overlong form, a surrogate or a code point past U+10FFFF gives nothing
// and moves pos past the whole sequence.
std::optional<char32_t> next_code_point(std::string_view text, std::size_t& pos);

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing past U+10FFFF.
bool is_valid_utf8(std::string_view text);

// --------------------------------------------------------- Windows-1252

// Windows-1252 <-> UTF-8 for names crossing to and from the disk. Every byte
// string survives the round trip unchanged.
std::string cp1252_to_utf8(std::string_view text);
// Characters without a Windows-1252 form, and malformed UTF-8 (one '?' for
// each sequence next_code_point refuses), become '?'; returns false then.
bool utf8_to_cp1252(std::string_view text, std::string& out);

}  // namespace hpi

// The rules for names that the archive library and the program above it
// share: which text is UTF-8, and how archive names (Windows-1252 bytes)
// cross to UTF-8 and back. Each rule lives here alone, so that a fix
// reaches every reader of archives, every writer and every door to the disk
// at once. No I/O, no allocation beyond the strings returned.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hpi {

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

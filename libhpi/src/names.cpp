// The shared rules for names: see hpi/names.h.
#include "hpi/names.h"

#include <algorithm>

namespace hpi {

LevelFault level_fault(std::string_view name)
{
    if (name.empty())
        return LevelFault::Empty;
    if (name == "." || name == "..")
        return LevelFault::Dots;
    if (name.find_first_of("\\/") != std::string_view::npos)
        return LevelFault::Separator;
    if (name.find('\0') != std::string_view::npos)
        return LevelFault::Nul;
    return LevelFault::None;
}

bool starts_with_drive(std::string_view path)
{
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return path.size() >= 2 && letter(path[0]) && path[1] == ':';
}

std::optional<std::vector<std::string_view>> contained_levels(std::string_view path)
{
    if (starts_with_drive(path))
        return std::nullopt;
    std::vector<std::string_view> levels;
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find_first_of("\\/", start);
        const std::string_view level = path.substr(start, end - start);
        if (!is_safe_level(level))
            return std::nullopt;
        levels.push_back(level);
        if (end == std::string_view::npos)
            return levels;
        start = end + 1;
    }
}

std::string fold_ascii(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = fold_ascii(c);
    return folded;
}

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return fold_ascii(x) == fold_ascii(y); });
}

std::optional<char32_t> next_code_point(std::string_view text, std::size_t& pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    ++pos;
    if (lead < 0x80)
        return lead;
    std::size_t extra;
    char32_t cp;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < extra)
        return std::nullopt;
    for (std::size_t i = 0; i < extra; ++i) {
        const auto cont = static_cast<unsigned char>(text[pos + i]);
        if ((cont & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (cont & 0x3F);
    }
    pos += extra;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    return cp;
}

bool is_valid_utf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size())
        if (!next_code_point(text, pos))
            return false;
    return true;
}

}  // namespace hpi

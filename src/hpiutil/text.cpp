#include "hpiutil/text.h"

#include <algorithm>

#include <hpi/hpi.h>

namespace hpiutil {
namespace {

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Bytes in the sequence that lead begins (0 for a byte that cannot begin one),
// and the smallest code point that needs that many.
std::size_t sequence_length(unsigned char lead, char32_t& minimum) {
    if (lead < 0x80) return minimum = 0, 1;
    if ((lead & 0xE0) == 0xC0) return minimum = 0x80, 2;
    if ((lead & 0xF0) == 0xE0) return minimum = 0x800, 3;
    if ((lead & 0xF8) == 0xF0) return minimum = 0x10000, 4;
    return 0;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        char32_t minimum = 0;
        const std::size_t length = sequence_length(lead, minimum);
        if (length == 0 || text.size() - pos < length) return false;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[pos + i]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        pos += length;
    }
    return true;
}

std::optional<std::filesystem::path> disk_path_from_text(const char* text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    std::string path(text);
    if (!is_valid_utf8(path)) return std::nullopt;
    std::replace(path.begin(), path.end(), '\\', '/');
    return std::filesystem::path(std::move(path));
}

std::optional<std::string> archive_path_from_text(const char* text) {
    if (text == nullptr) return std::nullopt;
    const std::string_view utf8(text);
    std::string stored;
    if (!hpi::utf8_to_cp1252(utf8, stored)) return std::nullopt;  // also refuses malformed UTF-8
    return stored;
}

bool is_contained_archive_path(std::string_view path) {
    if (path.size() >= 2 && is_ascii_letter(path[0]) && path[1] == ':') return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find_first_of("\\/", start);
        const std::string_view level = path.substr(start, end - start);
        if (level.empty() || level == "." || level == "..") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

}  // namespace hpiutil

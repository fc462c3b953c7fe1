// Windows-1252 <-> UTF-8 without iconv. The five bytes that Windows-1252
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// characters of the same value, so every byte string survives a round trip
// through UTF-8 unchanged: archive names must come back byte for byte.
#include "hpi/names.h"

#include <array>

namespace hpi {
namespace {

// Code points of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t code_point_of(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHighControls[byte - 0x80];
    return byte;
}

void append_utf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::optional<unsigned char> byte_of(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<unsigned char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == cp)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

}  // namespace

std::string cp1252_to_utf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        append_utf8(out, code_point_of(static_cast<unsigned char>(c)));
    return out;
}

bool utf8_to_cp1252(std::string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    bool exact = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto cp = next_code_point(text, pos);
        const auto byte = cp ? byte_of(*cp) : std::nullopt;
        if (byte) {
            out += char(*byte);
        } else {
            out += '?';
            exact = false;
        }
    }
    return exact;
}

}  // namespace hpi

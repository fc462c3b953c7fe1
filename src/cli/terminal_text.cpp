#include "terminal_text.h"

namespace quarrix::cli {

std::string without_controls(std::string_view utf8)
{
    std::string shown;
    shown.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const bool c1 = byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
        if (c1)
            ++i;
        shown += (byte < 0x20 || byte == 0x7F || c1) ? '?' : char(byte);
    }
    return shown;
}

}  // namespace quarrix::cli

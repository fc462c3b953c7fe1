#include "hpiutil/text.h"

#include <algorithm>

#include <hpi/hpi.h>

namespace hpiutil {
std::optional<std::filesystem::path> disk_path_from_text(const char* text)
{
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    std::string path(text);
    if (!is_valid_utf8(path))
        return std::nullopt;
    std::replace(path.begin(), path.end(), '\\', '/');
    return std::filesystem::path(std::move(path));
}

std::optional<std::string> archive_path_from_text(const char* text)
{
    if (text == nullptr)
        return std::nullopt;
    const std::string_view utf8(text);
    std::string stored;
    if (!hpi::utf8_to_cp1252(utf8, stored))
        return std::nullopt;  // also refuses malformed UTF-8
    return stored;
}

bool is_contained_archive_path(std::string_view path)
{
    return hpi::contained_levels(path).has_value();
}

}  // namespace hpiutil

#include "text.h"

#include <hpi/names.h>

namespace quarrix::dump {

namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

}  // namespace

std::string StripNull(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        return std::string(text.substr(0, nul));
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1));
}

std::string GetBaseName(std::string_view path)
{
    std::string_view name = path;
    for (std::size_t i = path.size(); i > 0; --i) {
        if (isSeparator(path[i - 1])) {
            name = path.substr(i);
            break;
        }
    }
    const std::size_t dot = name.find('.');
    return std::string(dot == std::string_view::npos ? path : name.substr(0, dot));
}

std::optional<std::vector<std::string>> SafeComponents(std::string_view entryPath)
{
    const auto levels = hpi::contained_levels(entryPath);
    if (!levels)
        return std::nullopt;
    return std::vector<std::string>(levels->begin(), levels->end());
}

std::string FoldCase(std::string_view name)
{
    return hpi::fold_ascii(name);
}

}  // namespace quarrix::dump

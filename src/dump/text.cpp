#include "text.h"

#include <hpi/names.h>

namespace quarrix::dump {

namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
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
    std::vector<std::string> components;
    std::size_t start = 0;
    while (true) {
        std::size_t end = start;
        while (end < entryPath.size() && !isSeparator(entryPath[end]))
            ++end;
        const std::string_view component = entryPath.substr(start, end - start);
        if (component.empty() || component == "." || component == "..")
            return std::nullopt;
        components.emplace_back(component);
        if (end == entryPath.size())
            break;
        start = end + 1;
    }
    const std::string& first = components.front();
    if (first.size() >= 2 && isAsciiLetter(first[0]) && first[1] == ':')
        return std::nullopt;
    return components;
}

std::string FoldCase(std::string_view name)
{
    return hpi::fold_ascii(name);
}

}  // namespace quarrix::dump

#include "failures.h"

#include <utility>

namespace quarrix::dump {

void DumpFailures::Add(std::string archive, std::string reason)
{
    items_.push_back({std::move(archive), std::move(reason)});
}

std::string DumpFailures::Lines(std::size_t maxLines) const
{
    std::string lines;
    for (std::size_t i = 0; i < items_.size() && i < maxLines; ++i)
        lines += items_[i].archive + ": " + items_[i].reason + "\n";
    if (items_.size() > maxLines)
        lines += "... and " + std::to_string(items_.size() - maxLines) + " more\n";
    if (!lines.empty())
        lines.pop_back();
    return lines;
}

}  // namespace quarrix::dump

#include "failures.h"

#include <cstdint>
#include <utility>

namespace quarrix::dump {

void DumpFailures::Add(std::string archive, std::string entry, hpiutil::Failure cause)
{
    items_.push_back({std::move(archive), std::move(entry), false, std::move(cause)});
}

void DumpFailures::AddFolder(std::string archive, std::string entry, hpiutil::Failure cause)
{
    items_.push_back({std::move(archive), std::move(entry), true, std::move(cause)});
}

std::optional<std::string> DumpFailures::SharedCause() const
{
    if (items_.size() < 2)
        return std::nullopt;
    const std::string first = hpiutil::Describe(items_.front().cause);
    for (const DumpFailure& failure : items_)
        if (hpiutil::Describe(failure.cause) != first)
            return std::nullopt;
    return first;
}

std::string FailureLine(const DumpFailure& failure, bool withCause)
{
    std::string line = failure.archive;
    const auto append = [&line](const std::string& part) {
        if (part.empty())
            return;
        if (!line.empty())
            line += ": ";
        line += part;
    };
    append(failure.entry.empty() ? std::string() : (failure.folder ? "folder " : "") + failure.entry);
    if (withCause)
        append(hpiutil::Describe(failure.cause));
    return line;
}

std::vector<std::string> DumpFailures::ReportLines(std::size_t maxLines) const
{
    std::vector<std::string> lines;
    const std::optional<std::string> shared = SharedCause();
    if (shared)
        lines.push_back("All " + std::to_string(items_.size()) + " failures: " + *shared);
    for (std::size_t i = 0; i < items_.size() && i < maxLines; ++i)
        lines.push_back(FailureLine(items_[i], !shared));
    if (items_.size() > maxLines)
        lines.push_back("... and " + std::to_string(items_.size() - maxLines) + " more");
    return lines;
}

std::string DumpFailures::Lines(std::size_t maxLines) const
{
    std::string text;
    for (const std::string& line : ReportLines(maxLines))
        text += line + "\n";
    if (!text.empty())
        text.pop_back();
    return text;
}

}  // namespace quarrix::dump

// What must hold for any file handed to the reader, damaged or not. Shared by
// the reader fuzz target and the test that replays its findings.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include <hpi/hpi.h>

namespace hpi_fuzz {

inline bool same_folded(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// Contents up to this size are kept to compare ranges of them.
inline constexpr std::uint64_t kKeptContent = 1 << 20;

// Reads a few ranges of a file read whole as `content`: each must give
// exactly its part of it.
inline std::string check_ranges(const hpi::Archive& archive, std::size_t index,
                                const std::vector<std::uint8_t>& content)
{
    const std::uint64_t size = content.size();
    const std::uint64_t ranges[][2] = {
        {0, 1}, {size / 3, size / 2}, {size ? size - 1 : 0, 5}, {65535, 2}, {size, 1}};
    for (const auto& range : ranges) {
        const std::uint64_t offset = range[0], length = range[1];
        std::vector<std::uint8_t> got;
        const hpi::Error error =
            archive.read_range(index, offset, length, [&](std::span<const std::uint8_t> piece) {
                got.insert(got.end(), piece.begin(), piece.end());
                return got.size() <= length;
            });
        if (got.size() > length)
            return "a range delivered more than its length";
        if (error)
            return "a range failed where the whole read succeeded: " + error.message;
        const std::uint64_t from = std::min(offset, size), to = from + std::min(length, size - from);
        if (!std::equal(got.begin(), got.end(), content.begin() + std::ptrdiff_t(from),
                        content.begin() + std::ptrdiff_t(to)) ||
            got.size() != to - from)
            return "a range gave other bytes than the whole read";
    }
    // A reader in pieces, from the start and from a third in.
    for (const std::uint64_t from : {std::uint64_t(0), size / 3}) {
        auto reader = archive.reader(index, from);
        if (!reader)
            return "a reader refused a file the whole read read: " + reader.error().message;
        std::vector<std::uint8_t> got;
        while ((*reader)->offset() < size) {
            const std::uint64_t at = (*reader)->offset();
            const hpi::Error error = (*reader)->read(4099, [&](std::span<const std::uint8_t> piece) {
                got.insert(got.end(), piece.begin(), piece.end());
                return true;
            });
            if (error)
                return "a reader failed where the whole read succeeded: " + error.message;
            if ((*reader)->offset() == at)
                return "a reader stood still";
        }
        if (!std::equal(got.begin(), got.end(), content.begin() + std::ptrdiff_t(from), content.end()) ||
            got.size() != size - from)
            return "a reader gave other bytes than the whole read";
    }
    return "";
}

// Reads one file entry. Returns "" when the read either failed with a proper
// error or delivered exactly the entry's size; otherwise what went wrong.
// Sets ok to whether the read succeeded.
inline std::string check_read(const hpi::Archive& archive, std::size_t index, bool& ok)
{
    const hpi::Entry& entry = archive.entries()[index];
    std::uint64_t delivered = 0;
    bool overran = false;
    std::vector<std::uint8_t> content;
    const hpi::Error error = archive.read(index, [&](std::span<const std::uint8_t> piece) {
        delivered += piece.size();
        overran = overran || delivered > entry.size;
        if (entry.size <= kKeptContent && !overran)
            content.insert(content.end(), piece.begin(), piece.end());
        return !overran;
    });
    ok = !error;
    if (overran)
        return "a read delivered more than the entry's size";
    if (error)
        return error.message.empty() ? "an error without a message" : "";
    if (delivered != entry.size)
        return "a read reported success but delivered too little";
    if (entry.size <= kKeptContent)
        return check_ranges(archive, index, content);
    return "";
}

// Opens, lists, looks up, reads and tests the archive in file. Returns "" when
// everything the reader promises holds, otherwise the first broken promise.
inline std::string check_archive_file(const std::filesystem::path& file)
{
    auto opened = hpi::Archive::open(file);
    if (!opened) {
        if (opened.error().kind == hpi::ErrorKind::None)
            return "a failed open without a kind";
        if (opened.error().message.empty())
            return "a failed open without a message";
        return "";
    }
    const hpi::Archive& archive = *opened.value();
    const std::vector<hpi::Entry>& entries = archive.entries();

    std::unordered_set<std::string> directories_so_far;
    for (const hpi::Entry& entry : entries) {
        // A file listed under a damaged name: its path is only words to show.
        if (entry.bad_name) {
            if (entry.is_directory)
                return "a folder listed under a damaged name";
            if (entry.path.size() > 1024)
                return "a damaged name longer than a path may be";
            continue;
        }
        if (entry.path.empty())
            return "an entry without a path";
        const auto cut = entry.path.rfind('\\');
        if (cut != std::string::npos && directories_so_far.count(entry.path.substr(0, cut)) == 0)
            return "an entry listed before its directory";
        if (entry.is_directory)
            directories_so_far.insert(entry.path);
        const auto found = archive.find(entry.path);
        if (!found || *found >= entries.size())
            return "a listed entry cannot be found";
        if (!same_folded(entries[*found].path, entry.path))
            return "find returned another path";
    }

    bool every_read_ok = true;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].is_directory)
            continue;
        if (entries[i].bad_name) {
            bool delivered = false;
            const hpi::Error error =
                archive.read(i, [&](std::span<const std::uint8_t>) { return delivered = true; });
            if (error.kind != hpi::ErrorKind::BadName || delivered)
                return "a file under a damaged name was read";
            every_read_ok = false;
            continue;
        }
        bool ok = false;
        if (std::string fault = check_read(archive, i, ok); !fault.empty())
            return fault;
        every_read_ok = every_read_ok && ok;
    }
    const bool tested_ok = !archive.test();
    if (tested_ok != every_read_ok)
        return "test() disagrees with reading every entry";
    return "";
}

}  // namespace hpi_fuzz

#include "hpiutil/listing.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace hpiutil {
namespace {

constexpr std::int32_t kMaxSize = std::numeric_limits<std::int32_t>::max();

std::string_view parent_of(std::string_view path)
{
    const std::size_t cut = path.rfind('\\');
    return cut == std::string_view::npos ? std::string_view{} : path.substr(0, cut);
}

std::int32_t capped_size(std::uint32_t size)
{
    return std::int32_t(std::min<std::uint32_t>(size, kMaxSize));
}

}  // namespace

Listing build_listing(const std::vector<hpi::Entry>& entries)
{
    Listing result;
    std::vector<ListedEntry>& listing = result.entries;
    listing.reserve(entries.size());
    // A path that is too long makes every path below it too long as well,
    // so dropping entries one by one drops whole subtrees.
    std::unordered_map<std::string_view, std::size_t> directory_positions;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const hpi::Entry& entry = entries[i];
        std::string name = hpi::cp1252_to_utf8(entry.path);
        if (entry.bad_name) {
            result.omitted.push_back(
                {std::move(name), FromLibrary({hpi::ErrorKind::BadName, "not extracted"})});
            continue;
        }
        if (name.size() > kMaxListedPathBytes) {
            // Below a left-out folder everything is too long as well; only
            // the folder itself is named.
            const std::string_view parent = parent_of(entry.path);
            if (parent.empty() || hpi::cp1252_to_utf8(parent).size() <= kMaxListedPathBytes)
                result.omitted.push_back(
                    {std::move(name), Because(Cause::NameTooLong, "over 255 bytes, not extracted")});
            continue;
        }
        if (entry.is_directory) {
            // Children follow their directory directly, so when an archive
            // holds the same directory path twice the latest one is theirs.
            directory_positions.insert_or_assign(entry.path, listing.size());
            listing.push_back({i, true, 0, std::move(name)});
            continue;
        }
        listing.push_back({i, false, capped_size(entry.size), std::move(name)});
        auto parent = directory_positions.find(parent_of(entry.path));
        if (parent != directory_positions.end() && listing[parent->second].size < kMaxSize)
            ++listing[parent->second].size;
    }
    return result;
}

}  // namespace hpiutil

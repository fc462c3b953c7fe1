#include "hpiutil/progress.h"

#include <algorithm>
#include <limits>

namespace hpiutil {

std::pair<std::int32_t, std::int32_t> scale_progress(std::uint64_t done, std::uint64_t total)
{
    constexpr std::uint64_t kLimit = std::uint64_t(std::numeric_limits<std::int32_t>::max());
    while (std::max(done, total) > kLimit) {
        done >>= 1;
        total >>= 1;
    }
    return {std::int32_t(done), std::int32_t(total)};
}

void ProgressRelay::forward(const hpi::PackProgress& progress)
{
    disk_text_ = progress.disk_path ? disk_text(*progress.disk_path) : std::string();
    archive_text_ = hpi::cp1252_to_utf8(progress.archive_path);
    call(progress.bytes_done, progress.bytes_total);
}

std::string ProgressRelay::disk_text(const std::filesystem::path& path) const
{
    if (disk_texts_) {
        auto known = disk_texts_->find(path);
        if (known != disk_texts_->end())
            return known->second;
    }
    return path.string();  // this system's paths are UTF-8 already
}

void ProgressRelay::finish()
{
    if (called_ && last_done_ == last_total_)
        return;
    call(last_total_, last_total_);
}

void ProgressRelay::call(std::uint64_t done, std::uint64_t total)
{
    last_done_ = done;
    last_total_ = total;
    called_ = true;
    if (!callback_)
        return;
    const auto [scaled_done, scaled_total] = scale_progress(done, total);
    callback_(disk_text_.c_str(), archive_text_.c_str(), scaled_done, scaled_total, 0, 0, 0, 0);
}

}  // namespace hpiutil

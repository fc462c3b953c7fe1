// Turns the library's packing progress into calls of the contract's 8-argument
// callback, with UTF-8 texts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include <hpi/hpi.h>

#include "hpiutil/hpiutil.h"

namespace hpiutil {

// done and total shifted right by the same amount until both fit 31 bits,
// so their ratio survives archives past 2 GiB.
std::pair<std::int32_t, std::int32_t> scale_progress(std::uint64_t done, std::uint64_t total);

class ProgressRelay {
public:
    // disk_texts maps each added disk file to the text the caller named it
    // by, so the callback gets back the caller's own spelling of the path.
    ProgressRelay(PackCallbackFn callback,
                  const std::map<std::filesystem::path, std::string>* disk_texts = nullptr)
        : callback_(callback), disk_texts_(disk_texts)
    {
    }

    void forward(const hpi::PackProgress& progress);

    // The caller's bar must end full: when the last call did not have
    // done == total (or there was none), makes one more that does.
    void finish();

private:
    void call(std::uint64_t done, std::uint64_t total);
    std::string disk_text(const std::filesystem::path& path) const;

    PackCallbackFn callback_;
    const std::map<std::filesystem::path, std::string>* disk_texts_;
    std::string disk_text_;
    std::string archive_text_;
    std::uint64_t last_done_ = 0;
    std::uint64_t last_total_ = 0;
    bool called_ = false;
};

}  // namespace hpiutil

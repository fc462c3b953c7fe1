#include "mount/block_cache.h"

#include <span>

namespace quarrix::mount {

BlockCache::BlockCache(std::size_t capacity_bytes) : capacity_(capacity_bytes) {}

hpi::Error BlockCache::get(const hpi::Archive& archive, std::uint32_t entry, std::uint64_t file,
                           std::uint64_t block, Block& out) {
    const Key key{file, block};
    if (lookup(key, out)) return {};
    // Decoded outside the lock, so that readers of other blocks do not wait.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    bytes->reserve(kBlockSize);
    const hpi::Error error = archive.read_range(entry, block * kBlockSize, kBlockSize,
                                                [&bytes](std::span<const std::uint8_t> piece) {
                                                    bytes->insert(bytes->end(), piece.begin(), piece.end());
                                                    return true;
                                                });
    if (error) return error;
    out = bytes;
    keep(key, out);
    return {};
}

bool BlockCache::lookup(const Key& key, Block& out) {
    std::lock_guard lock(mutex_);
    const auto found = index_.find(key);
    if (found == index_.end()) return false;
    lru_.splice(lru_.begin(), lru_, found->second);
    out = found->second->second;
    return true;
}

void BlockCache::keep(const Key& key, const Block& block) {
    std::lock_guard lock(mutex_);
    if (index_.count(key) != 0) return;  // another reader was quicker
    lru_.emplace_front(key, block);
    index_.emplace(key, lru_.begin());
    held_ += block->size();
    while (held_ > capacity_ && lru_.size() > 1) {
        held_ -= lru_.back().second->size();
        index_.erase(lru_.back().first);
        lru_.pop_back();
    }
}

std::size_t BlockCache::held_bytes() const {
    std::lock_guard lock(mutex_);
    return held_;
}

}  // namespace quarrix::mount

#include "mount/block_cache.h"

#include <span>

namespace quarrix::mount {

BlockCache::BlockCache(std::size_t capacity_bytes) : capacity_(capacity_bytes) {}

hpi::Error BlockCache::get(const hpi::Archive& archive, std::uint32_t entry, std::uint64_t file,
                           std::uint64_t block, Block& out) {
    const Key key{file, block};
    std::unique_lock lock(mutex_);
    if (lookup(lock, key, out)) return {};
    decoding_.insert(key);
    lock.unlock();
    // Decoded outside the lock, so that readers of other blocks do not wait.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    bytes->reserve(kBlockSize);
    const hpi::Error error = archive.read_range(entry, block * kBlockSize, kBlockSize,
                                                [&bytes](std::span<const std::uint8_t> piece) {
                                                    bytes->insert(bytes->end(), piece.begin(), piece.end());
                                                    return true;
                                                });
    lock.lock();
    decoding_.erase(key);
    if (!error) {
        out = bytes;
        keep(key, out);
    }
    decoded_.notify_all();
    return error;
}

bool BlockCache::lookup(std::unique_lock<std::mutex>& lock, const Key& key, Block& out) {
    while (true) {
        const auto found = index_.find(key);
        if (found != index_.end()) {
            lru_.splice(lru_.begin(), lru_, found->second);
            out = found->second->second;
            return true;
        }
        if (decoding_.count(key) == 0) return false;
        decoded_.wait(lock);
    }
}

void BlockCache::keep(const Key& key, const Block& block) {
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

// Decoded pieces of files for the mounted collection: a read at any offset
// decodes only the 64 KiB blocks that hold it (one compressed chunk each),
// and sequential or repeated reads find them here. Bounded; the block used
// least recently goes first. Safe to share between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <hpi/hpi.h>

namespace quarrix::mount {

inline constexpr std::uint64_t kBlockSize = 64 * 1024;

using Block = std::shared_ptr<const std::vector<std::uint8_t>>;

class BlockCache {
public:
    explicit BlockCache(std::size_t capacity_bytes);

    // Block number `block` of entries()[entry] (bytes [block * kBlockSize,
    // ...) cut at the file's end), from the cache or read from the archive.
    // `file` names the copy in the cache: the same number for the same
    // archive and entry.
    hpi::Error get(const hpi::Archive& archive, std::uint32_t entry, std::uint64_t file,
                   std::uint64_t block, Block& out);

    std::size_t held_bytes() const;

private:
    struct Key {
        std::uint64_t file;
        std::uint64_t block;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            return std::hash<std::uint64_t>{}(key.file * 0x9E3779B97F4A7C15ull ^ key.block);
        }
    };
    using Lru = std::list<std::pair<Key, Block>>;

    bool lookup(const Key& key, Block& out);
    void keep(const Key& key, const Block& block);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    Lru lru_;  // most recently used first
    std::unordered_map<Key, Lru::iterator, KeyHash> index_;
    std::size_t held_ = 0;
};

}  // namespace quarrix::mount

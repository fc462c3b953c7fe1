// Decoded pieces of files for the mounted collection: a read at any offset
// decodes only the 64 KiB blocks that hold it (one compressed chunk each),
// and sequential or repeated reads find them here. Bounded; the block used
// least recently goes first. Safe to share between threads: a block that one
// thread is decoding is waited for by the others, never decoded twice.
//
// A version-2 file is one chunk of up to its whole size, so a block of it
// read on its own is decoded from the file's start: reading such a file
// block by block would cost the square of its length. Its blocks are read
// through a reader kept open between them instead, so that reading the file
// in order decodes it once. A few readers are kept (each under 1 MiB), the
// one used least recently dropped first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
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
    hpi::Error get(const hpi::Archive& archive, std::uint32_t entry, std::uint64_t file, std::uint64_t block,
                   Block& out);

    std::size_t held_bytes() const;

private:
    struct Key {
        std::uint64_t file;
        std::uint64_t block;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const
        {
            return std::hash<std::uint64_t>{}(key.file * 0x9E3779B97F4A7C15ull ^ key.block);
        }
    };
    using Lru = std::list<std::pair<Key, Block>>;

    // A reader of a file that decodes from its start, kept between blocks.
    struct Open {
        std::uint64_t file;
        // Where it stands, at the start of a block; while a thread reads
        // with it, where it will stand once that thread is done.
        std::uint64_t at;
        std::unique_ptr<hpi::FileReader> reader;  // none while in use
    };
    using Readers = std::list<Open>;

    // With the lock held: the block when cached, else nothing once no other
    // thread is decoding it any more (the caller then decodes it).
    bool lookup(std::unique_lock<std::mutex>& lock, const Key& key, Block& out);
    // With the lock held.
    void keep(const Key& key, const Block& block);
    // With the lock held: the reader of `file` that stands (or will stand)
    // nearest before `offset`, or readers_.end().
    Readers::iterator nearest_reader(std::uint64_t file, std::uint64_t offset);
    // With the lock held and `key` marked as being decoded: the block read
    // through the nearest reader, or a new one, which is then kept.
    hpi::Error read_in_order(std::unique_lock<std::mutex>& lock, const hpi::Archive& archive,
                             std::uint32_t entry, const Key& key, Readers::iterator open, Block& out);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable decoded_;
    std::unordered_set<Key, KeyHash> decoding_;
    Lru lru_;  // most recently used first
    std::unordered_map<Key, Lru::iterator, KeyHash> index_;
    std::size_t held_ = 0;
    Readers readers_;  // most recently used first
};

}  // namespace quarrix::mount

#include "mount/block_cache.h"

#include <span>

namespace quarrix::mount {

namespace {

// Readers kept between blocks: enough for the files a few programs read at
// once; each holds under 1 MiB.
constexpr std::size_t kReaders = 8;

}  // namespace

BlockCache::BlockCache(std::size_t capacity_bytes) : capacity_(capacity_bytes) {}

hpi::Error BlockCache::get(const hpi::Archive& archive, std::uint32_t entry, std::uint64_t file,
                           std::uint64_t block, Block& out)
{
    const Key key{file, block};
    // A block past the file's end is empty however it is read.
    const bool in_order =
        archive.decodes_from_start(entry) && block * kBlockSize < archive.entries()[entry].size;
    std::unique_lock lock(mutex_);
    Readers::iterator open = readers_.end();
    while (true) {
        if (lookup(lock, key, out))
            return {};
        if (!in_order)
            break;
        open = nearest_reader(file, block * kBlockSize);
        if (open == readers_.end() || open->reader)
            break;
        // It is in use and comes back nearer than a new reader would start,
        // which decodes the file from its start again.
        decoded_.wait(lock);
    }
    decoding_.insert(key);
    if (in_order)
        return read_in_order(lock, archive, entry, key, open, out);
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

BlockCache::Readers::iterator BlockCache::nearest_reader(std::uint64_t file, std::uint64_t offset)
{
    Readers::iterator nearest = readers_.end();
    for (auto it = readers_.begin(); it != readers_.end(); ++it)
        if (it->file == file && it->at <= offset && (nearest == readers_.end() || it->at > nearest->at))
            nearest = it;
    return nearest;
}

hpi::Error BlockCache::read_in_order(std::unique_lock<std::mutex>& lock, const hpi::Archive& archive,
                                     std::uint32_t entry, const Key& key, Readers::iterator open, Block& out)
{
    std::unique_ptr<hpi::FileReader> reader;
    if (open != readers_.end()) {
        reader = std::move(open->reader);
        readers_.splice(readers_.begin(), readers_, open);
    } else {
        readers_.push_front({key.file, 0, nullptr});
    }
    open = readers_.begin();
    open->at = (key.block + 1) * kBlockSize;
    hpi::Error error;
    if (!reader) {
        lock.unlock();
        auto made = archive.reader(entry, key.block * kBlockSize);
        lock.lock();
        if (made)
            reader = std::move(*made);
        else
            error = made.error();
    }
    // A reader that stood before the block decodes the blocks on the way,
    // which are kept as well unless they are here already or on their way.
    // Each is decoded outside the lock.
    while (!error) {
        const Key here{key.file, reader->offset() / kBlockSize};
        const bool mine = here == key || (index_.count(here) == 0 && decoding_.insert(here).second);
        lock.unlock();
        auto bytes = std::make_shared<std::vector<std::uint8_t>>();
        bytes->reserve(kBlockSize);
        error = reader->read(kBlockSize, [&bytes](std::span<const std::uint8_t> piece) {
            bytes->insert(bytes->end(), piece.begin(), piece.end());
            return true;
        });
        lock.lock();
        if (mine) {
            decoding_.erase(here);
            if (!error)
                keep(here, bytes);
            decoded_.notify_all();
        }
        if (here == key) {
            if (!error)
                out = bytes;
            break;
        }
    }
    decoding_.erase(key);
    // A failed reader is of no more use, nor one at the file's end.
    if (error || reader->offset() >= archive.entries()[entry].size) {
        readers_.erase(open);
    } else {
        open->at = reader->offset();
        open->reader = std::move(reader);
        for (auto it = readers_.end(); readers_.size() > kReaders && it != readers_.begin();) {
            --it;
            if (it->reader)
                it = readers_.erase(it);
        }
    }
    decoded_.notify_all();
    return error;
}

bool BlockCache::lookup(std::unique_lock<std::mutex>& lock, const Key& key, Block& out)
{
    while (true) {
        const auto found = index_.find(key);
        if (found != index_.end()) {
            lru_.splice(lru_.begin(), lru_, found->second);
            out = found->second->second;
            return true;
        }
        if (decoding_.count(key) == 0)
            return false;
        decoded_.wait(lock);
    }
}

void BlockCache::keep(const Key& key, const Block& block)
{
    lru_.emplace_front(key, block);
    index_.emplace(key, lru_.begin());
    held_ += block->size();
    while (held_ > capacity_ && lru_.size() > 1) {
        held_ -= lru_.back().second->size();
        index_.erase(lru_.back().first);
        lru_.pop_back();
    }
}

std::size_t BlockCache::held_bytes() const
{
    std::lock_guard lock(mutex_);
    return held_;
}

}  // namespace quarrix::mount

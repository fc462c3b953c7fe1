// The table behind the contract's 32-bit handles: the caller only ever sees
// a number, so a stale or made-up handle can be recognised and refused
// instead of being followed like an address.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace hpiutil {

template <class T>
class HandleTable {
public:
    // Stores item under a fresh handle: positive, never 0, and not in use.
    // Numbers are not reused until the counter wraps around, so a handle
    // closed a moment ago stays unknown for a long time.
    std::int32_t insert(std::shared_ptr<T> item)
    {
        std::lock_guard lock(mutex_);
        while (items_.count(next_) != 0)
            advance();
        const std::int32_t handle = next_;
        advance();
        items_.emplace(handle, std::move(item));
        return handle;
    }

    // The item stays alive for the caller even if another thread releases
    // the handle meanwhile.
    std::shared_ptr<T> find(std::int32_t handle) const
    {
        std::lock_guard lock(mutex_);
        auto it = items_.find(handle);
        return it == items_.end() ? nullptr : it->second;
    }

    // Removes the handle and hands its item back (null when unknown).
    std::shared_ptr<T> take(std::int32_t handle)
    {
        std::lock_guard lock(mutex_);
        auto it = items_.find(handle);
        if (it == items_.end())
            return nullptr;
        std::shared_ptr<T> item = std::move(it->second);
        items_.erase(it);
        return item;
    }

    // Removes the handle only when wanted(item) holds, so a handle of the
    // wrong kind survives a call that cannot use it.
    template <class Predicate>
    std::shared_ptr<T> take_if(std::int32_t handle, Predicate wanted)
    {
        std::lock_guard lock(mutex_);
        auto it = items_.find(handle);
        if (it == items_.end() || !wanted(*it->second))
            return nullptr;
        std::shared_ptr<T> item = std::move(it->second);
        items_.erase(it);
        return item;
    }

    std::size_t size() const
    {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

    // Where the numbering goes on; lets the wrap-around be reached without
    // two billion handles.
    void continue_numbering_at(std::int32_t next)
    {
        std::lock_guard lock(mutex_);
        next_ = next > 0 ? next : 1;
    }

private:
    void advance() { next_ = next_ == std::numeric_limits<std::int32_t>::max() ? 1 : next_ + 1; }

    mutable std::mutex mutex_;
    std::unordered_map<std::int32_t, std::shared_ptr<T>> items_;
    std::int32_t next_ = 1;
};

}  // namespace hpiutil

#include "collection/conflicts.h"

#include "dump/text.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <span>
#include <thread>

namespace quarrix::collection {
namespace {

// Pieces of one file handed from the thread that reads it to the thread that
// compares, at most a few at a time so that memory stays small.
class PieceChannel {
public:
    // Producer side; false once the consumer has stopped listening.
    bool push(std::span<const std::uint8_t> piece)
    {
        std::unique_lock lock(mutex_);
        space_.wait(lock, [this] { return pieces_.size() < kDepth || closed_; });
        if (closed_)
            return false;
        pieces_.emplace_back(piece.begin(), piece.end());
        data_.notify_one();
        return true;
    }
    void finish(hpi::Error error)
    {
        std::lock_guard lock(mutex_);
        error_ = std::move(error);
        finished_ = true;
        data_.notify_one();
    }

    // Consumer side: the next piece, or false at the end of the file.
    bool next(std::vector<std::uint8_t>& piece)
    {
        std::unique_lock lock(mutex_);
        data_.wait(lock, [this] { return !pieces_.empty() || finished_; });
        if (pieces_.empty())
            return false;
        piece = std::move(pieces_.front());
        pieces_.pop_front();
        space_.notify_one();
        return true;
    }
    void close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        space_.notify_one();
    }
    // Valid once the producer has finished.
    const hpi::Error& error() const { return error_; }

private:
    static constexpr std::size_t kDepth = 4;
    std::mutex mutex_;
    std::condition_variable space_;
    std::condition_variable data_;
    std::deque<std::vector<std::uint8_t>> pieces_;
    bool finished_ = false;
    bool closed_ = false;
    hpi::Error error_;
};

// Reads `first` here and `second` on a thread of its own, comparing as the
// pieces come.
class SideBySide {
public:
    SideBySide(const MergedView& view, const Copy& first, const Copy& second)
        : view_(view), first_(first), second_(second)
    {
    }

    Comparison run()
    {
        std::thread reader([this] {
            channel_.finish(view_.archive_of(second_).read(
                second_.entry, [this](std::span<const std::uint8_t> piece) { return channel_.push(piece); }));
        });
        const hpi::Error first_error = view_.archive_of(first_).read(
            first_.entry, [this](std::span<const std::uint8_t> piece) { return matches(piece); });
        const bool second_ended = !first_error && !differs_ && !more_of_second();
        channel_.close();
        reader.join();
        Comparison result;
        if (first_error) {
            result.error = first_error;
            result.failed = first_;
        } else if (channel_.error()) {
            result.error = channel_.error();
            result.failed = second_;
        } else {
            result.identical = second_ended;
        }
        return result;
    }

private:
    bool matches(std::span<const std::uint8_t> piece)
    {
        while (!piece.empty()) {
            if (at_ == other_.size() && !more_of_second()) {
                differs_ = true;  // the second copy ended first
                return false;
            }
            const std::size_t n = std::min(piece.size(), other_.size() - at_);
            if (std::memcmp(piece.data(), other_.data() + at_, n) != 0) {
                differs_ = true;
                return false;
            }
            piece = piece.subspan(n);
            at_ += n;
        }
        return true;
    }

    // Whether the second copy holds bytes beyond those compared so far.
    bool more_of_second()
    {
        while (at_ == other_.size()) {
            if (!channel_.next(other_))
                return false;
            at_ = 0;
        }
        return true;
    }

    const MergedView& view_;
    const Copy first_;
    const Copy second_;
    PieceChannel channel_;
    std::vector<std::uint8_t> other_;
    std::size_t at_ = 0;
    bool differs_ = false;
};

std::string copy_key(const std::string& archive, const std::string& entry)
{
    return archive + '\0' + entry;
}

}  // namespace

Comparison compare_copies(const MergedView& view, const Copy& first, const Copy& second)
{
    if (view.entry_of(first).size != view.entry_of(second).size)
        return {};
    return SideBySide(view, first, second).run();
}

std::vector<std::uint32_t> overridden_archives(const Node& file)
{
    std::vector<std::uint32_t> members;
    for (const Copy& copy : file.overridden)
        if (copy.member != file.member &&
            std::find(members.begin(), members.end(), copy.member) == members.end())
            members.push_back(copy.member);
    return members;
}

Overlaps::Overlaps(const MergedView& view)
{
    for (const Member& member : view.members())
        archives_.push_back(member.path);
    for (NodeId id = 0; id < view.nodes().size(); ++id) {
        const Node& node = view.node(id);
        if (overridden_archives(node).empty())
            continue;
        File file;
        file.path = view.path_of(id);
        std::vector<Copy> copies = node.overridden;
        copies.push_back(node.kept());
        for (const Copy& copy : copies) {
            // The listing names an entry by its stored path in UTF-8.
            const std::string listed = hpi::cp1252_to_utf8(view.entry_of(copy).path);
            copies_[copy_key(archives_[copy.member], listed)] = {files_.size(), file.members.size()};
            file.members.push_back(copy.member);
        }
        file.written.assign(file.members.size(), false);
        files_.push_back(std::move(file));
    }
}

void Overlaps::written(const std::string& archive, const std::string& entry)
{
    const auto found = copies_.find(copy_key(archive, entry));
    if (found != copies_.end())
        files_[found->second.first].written[found->second.second] = true;
}

void Overlaps::lost(const std::string& path, bool folder)
{
    const std::string folded = dump::FoldCase(path) + (folder ? "\\" : "");
    for (File& file : files_) {
        const std::string filePath = dump::FoldCase(file.path);
        if (path.empty() || (folder ? filePath.starts_with(folded) : filePath == folded))
            file.written.assign(file.written.size(), false);
    }
}

std::string Overlaps::lines(std::size_t max_lines) const
{
    std::string lines;
    for (std::size_t i = 0; i < files_.size() && i < max_lines; ++i) {
        const File& file = files_[i];
        std::size_t copy = file.members.size();
        while (copy > 0 && !file.written[copy - 1])
            --copy;
        lines += file.path +
                 (copy == 0 ? ": not written" : ": kept from " + archives_[file.members[copy - 1]]) + '\n';
    }
    if (files_.size() > max_lines)
        lines += "... and " + std::to_string(files_.size() - max_lines) + " more\n";
    if (!lines.empty())
        lines.pop_back();
    return lines;
}

void for_each_conflict(const MergedView& view, const std::function<void(const Conflict&)>& found)
{
    for (NodeId id = 0; id < view.nodes().size(); ++id) {
        const Node& node = view.node(id);
        Conflict conflict;
        conflict.file = id;
        conflict.overridden = overridden_archives(node);
        if (conflict.overridden.empty())
            continue;
        conflict.identical = true;
        for (const Copy& copy : node.overridden) {
            Comparison comparison = compare_copies(view, node.kept(), copy);
            if (comparison.error)
                conflict.failure = std::move(comparison);
            if (!comparison.identical) {
                conflict.identical = false;
                break;
            }
        }
        found(conflict);
    }
}

}  // namespace quarrix::collection

// ExtractArchives: every file of every listed archive written below a
// destination folder, with each archive's inner folder tree rebuilt. The
// archive list is consumed row by row; the same code runs behind the main
// window's two-bar progress window and behind the command line's bar.
#pragma once

#include "failures.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quarrix::dump {

// The archives to dump, one full path (UTF-8) per row, consumed from row 0.
class ArchiveList {
public:
    virtual ~ArchiveList() = default;
    virtual std::int32_t ListCount() const = 0;
    virtual std::string List(std::int32_t Index) const = 0;
    virtual void RemoveItem(std::int32_t Index) = 0;
};

// A list of archive paths without any window: the command line's.
class PlainArchiveList final : public ArchiveList {
public:
    explicit PlainArchiveList(const std::vector<std::string>& archives)
        : rows_(archives.begin(), archives.end())
    {
    }
    std::int32_t ListCount() const override { return std::int32_t(rows_.size()); }
    std::string List(std::int32_t Index) const override { return rows_.at(std::size_t(Index)); }
    void RemoveItem(std::int32_t Index) override { rows_.erase(rows_.begin() + Index); }

private:
    std::deque<std::string> rows_;
};

// Where the extraction reports its progress: an upper bar over the archives,
// a lower bar over the files of the archive in hand, and a cancel request
// that is polled between archives and between files. Every call comes from
// the thread that called ExtractArchives.
class ExtractionProgress {
public:
    virtual ~ExtractionProgress() = default;
    virtual void StartMain(const std::string& strPart, const std::string& strWork) = 0;
    virtual void UpdateMain(std::int32_t Value, std::int32_t Max) = 0;
    virtual void StartSub(const std::string& strPart) = 0;
    virtual void UpdateSub(std::int32_t Value, std::int32_t Max) = 0;
    virtual bool Cancel() = 0;
    // One file was written completely, `bytes` long: `entry` of `archive`,
    // named as the listing and the archive list name them.
    virtual void FileWritten(const std::string& archive, const std::string& entry, std::uint64_t bytes)
    {
        (void)archive;
        (void)entry;
        (void)bytes;
    }
};

// How many threads write an archive's files: each file is read, decoded and
// written whole by one of them while the calling thread walks the listing
// and reports. kMaxWorkers bounds the memory in flight: each worker holds at
// most about 2.5 MiB (a read-ahead, one decoded chunk, the decoder's state),
// so even the most workers hold under 64 MiB.
constexpr unsigned kMaxWorkers = 16;

struct ExtractionOptions {
    // 0: one per core, at most kMaxWorkers; 1: every file on the calling
    // thread, one after another.
    unsigned workers = 0;
};

// Extracts the archives of `lstFiles`, first row first, below `destination`,
// removing each row once its archive is done, until the list is empty or the
// progress asks to cancel. Folders are made, and files written, one level at
// a time below the destination without following links; a folder or file
// whose name differs only in ASCII case from one already there is merged into
// it. Entries that would leave the destination are skipped. Everything that
// went wrong is added to `failures`.
//
// However many workers write the files, the outcome is the one of writing
// them one after another in listing order: the same files with the same
// bytes, a later entry or archive winning over an earlier one that lands on
// the same file, and the same calls of `progress`, all made on the calling
// thread, but that the lower bar may skip files that were taken back from
// the workers together (it never goes back, and each archive ends on its
// last file), and that a cancel leaves out the files not yet started.
void ExtractArchives(const std::string& destination, ArchiveList& lstFiles, ExtractionProgress& progress,
                     DumpFailures& failures, const ExtractionOptions& options = {});

}  // namespace quarrix::dump

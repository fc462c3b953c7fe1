// What the readers of both versions share: the file read by offset, and the
// words of their messages.
#pragma once

#include "hpi/file_descriptor.h"
#include "hpi/hpi.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace hpi::detail {

inline Error failure(ErrorKind kind, std::string message)
{
    return Error{kind, std::move(message)};
}

// The system's refusal, kept typed beside the words.
inline Error system_failure(std::string what, int err)
{
    const std::error_code code(err, std::generic_category());
    return Error{ErrorKind::IoError, std::move(what) + ": " + code.message(), code};
}

inline std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

inline std::string in_quotes(std::string_view text)
{
    std::string quoted = "'";
    quoted += text;
    quoted += '\'';
    return quoted;
}

inline std::string display_path(std::string_view archive_path)
{
    return in_quotes(cp1252_to_utf8(archive_path));
}

inline std::string entry_label(const Entry& entry)
{
    return "entry " + display_path(entry.path);
}

inline std::string directory_label(std::string_view path)
{
    return path.empty() ? std::string("root directory") : "directory " + display_path(path);
}

// An open file descriptor read only with pread, so concurrent reads share no
// file position.
class FileHandle {
public:
    explicit FileHandle(FileDescriptor fd) : fd_(std::move(fd)) {}

    // Fills `out` from `offset`; a file that ends first is Truncated (it may
    // have shrunk since it was opened).
    Error read_at(std::uint64_t offset, std::span<std::uint8_t> out) const
    {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t got =
                ::pread(fd_.get(), out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return system_failure(
                    "reading " + std::to_string(out.size()) + " bytes at offset " + std::to_string(offset),
                    errno);
            if (got == 0)
                return failure(ErrorKind::Truncated,
                               "the file ends at offset " + std::to_string(offset + done) + ", inside the " +
                                   std::to_string(out.size()) + " bytes at offset " + std::to_string(offset));
            done += static_cast<std::size_t>(got);
        }
        return {};
    }

private:
    FileDescriptor fd_;
};

// One file's content read in order for a FileReader.
class Reading {
public:
    virtual ~Reading() = default;
    // Streams the content from offset() up to `end` (offset() <= end <= the
    // file's size) to sink.
    virtual Error read_to(std::uint64_t end, const Sink& sink) = 0;
    virtual std::uint64_t offset() const = 0;
};

// What one version of the format provides behind Archive: the bytes of its
// files. Its entries are listed when it is opened.
class Layout {
public:
    virtual ~Layout() = default;
    // Streams bytes [begin, end) of the content of entry number `index`,
    // begin < end <= entry.size, or begin == end == 0 for the whole of an
    // empty file.
    virtual Error read_range(std::size_t index, const Entry& entry, std::uint64_t begin, std::uint64_t end,
                             const Sink& sink) const = 0;
    // What makes entry number `index` unreadable before any of its data is
    // read (a damaged name), or no error.
    virtual Error entry_fault(std::size_t, const Entry&) const { return {}; }
    // A reading of entry number `index` from `offset` (at most its size) on:
    // by default one range read for each call, where a range costs only the
    // chunks that hold it.
    virtual std::unique_ptr<Reading> reading(std::size_t index, const Entry& entry,
                                             std::uint64_t offset) const;
    // Whether a range is decoded from the start of its file.
    virtual bool decodes_from_start() const { return false; }
};

// Reads a version-2 archive's header (all of `head`, the first bytes of the
// file), its names and directory blocks, and lists its entries.
Result<std::unique_ptr<Layout>> open_version2(const FileHandle& file, std::uint64_t file_size,
                                              std::span<const std::uint8_t> head,
                                              std::vector<Entry>& entries);

}  // namespace hpi::detail

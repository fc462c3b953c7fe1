// Public interface of the archive library: reading and writing archives of
// the HPI family (hpi, ufo, gp3, gp4, ...), of version 1 (the first game's
// layout) and version 2 (the later game's); which one an archive is stays
// inside the library. No Qt, no global state; every
// failure comes back as an Error value, nothing is printed and nothing ends
// the process.
//
// Paths inside an archive are byte strings in Windows-1252 with "\" between
// levels, exactly as stored. Paths on disk are std::filesystem::path.
#pragma once

#include "hpi/names.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace hpi {

enum class ErrorKind {
    None = 0,
    NotAnArchive,        // no HAPI marker, or a saved game
    UnsupportedVersion,  // a layout this library cannot read (no longer given)
    Truncated,           // the file ends before a structure or data it announces
    BadOffset,           // an offset or count points outside where it may
    BadName,             // an entry name holding "\", "/", NUL, or equal to "." / ".."
    DirectoryLoop,       // a directory reached twice, or nesting absurdly deep
    BadChecksum,         // a chunk's payload sum, or a file's content sum, not as recorded
    BadCompressedData,   // a chunk that does not decode to its announced size
    IoError,             // the operating system refused a read or write
    TooLarge,            // an archive past the format's 32-bit offsets
    InvalidArgument,     // a caller's mistake (unknown entry, bad path, ...)
    Interrupted,         // the caller asked a pack to stop (PackOptions::stop)
};

// Short English name of a kind ("truncated", "bad checksum", ...).
std::string_view to_string(ErrorKind kind);

// Returned by every call that can fail; [[nodiscard]], so that a failure
// is not dropped unread.
struct [[nodiscard]] Error {
    ErrorKind kind = ErrorKind::None;
    std::string message;  // says what is wrong and where (entry, offset)
    // For IoError: what the system answered (no space, permission denied,
    // ...), so that a caller can tell the causes apart without reading the
    // message. Empty when the fault was not the system's.
    std::error_code system = {};

    explicit operator bool() const { return kind != ErrorKind::None; }
};

// What reaching for the value of a Result that holds none throws: a
// caller's mistake (it did not check ok()), reported with the error it
// passed over instead of reading memory that holds no value.
class BadResultAccess : public std::logic_error {
public:
    explicit BadResultAccess(const Error& error)
        : std::logic_error("hpi::Result holds no value: " +
                           (error ? error.message : std::string("an empty error"))),
          error_(error)
    {
    }
    const Error& error() const noexcept { return error_; }

private:
    Error error_;
};

// Either a value or an Error. value(), * and -> throw BadResultAccess when
// there is no value.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : error_(std::move(error)) {}
    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    T& value() { return *checked(); }
    const T& value() const { return *checked(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return error_; }

private:
    std::optional<T>& checked()
    {
        if (!value_)
            throw BadResultAccess(error_);
        return value_;
    }
    const std::optional<T>& checked() const
    {
        if (!value_)
            throw BadResultAccess(error_);
        return value_;
    }

    std::optional<T> value_;
    Error error_;
};

enum class Method : std::uint8_t { Stored = 0, Lz77 = 1, Zlib = 2 };

struct Entry {
    std::string path;  // Windows-1252, "\" separated, relative to the root
    bool is_directory = false;
    std::uint32_t size = 0;  // file: content size; directory: files directly inside it
    // Files only, as the file record says. Version-2 records name no method:
    // their files say Zlib, the form real ones use (each chunk names its own).
    Method method = Method::Stored;
    std::uint32_t data_offset = 0;  // files only: where the file's data starts
    // A file whose own name is damaged: not one path level (empty, ".", "..",
    // holding "\", "/" or a control byte), or making a path over 1,024 bytes.
    // Only version 2 lists such a file, so that it is not lost without a
    // word; its path is then words to show, not a path to use: its folder's
    // path, "\" and the name as stored, cut at 1,024 bytes. Reading it fails
    // with BadName.
    bool bad_name = false;
};

// Receives a file's content piece by piece, in order. Returning false stops
// the read early (the read then reports no error).
using Sink = std::function<bool(std::span<const std::uint8_t>)>;

namespace detail {
class Reading;
}

// One file's content read in order, a range after another, each going on
// where the last one stopped. A range read of a version-2 file decodes its
// one chunk from the start up to the range; a reader decodes it once however
// many ranges it is read in, in a fixed amount of memory (under 1 MiB). It
// checks what read_range() checks, and when it has decoded the whole content,
// the content checksum as well, at the end. For one thread at a time; its
// Archive must outlive it.
class FileReader {
public:
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Streams the next `length` bytes, cut at the file's end, to sink and
    // moves past them (when sink returns false, past those it was given).
    // Once a read failed, the reader is of no further use.
    Error read(std::uint64_t length, const Sink& sink);
    // Where the next read starts.
    std::uint64_t offset() const;

private:
    friend class Archive;
    FileReader(std::unique_ptr<detail::Reading> reading, std::uint64_t size);
    std::unique_ptr<detail::Reading> reading_;
    std::uint64_t size_;
};

class Archive {
public:
    // Opens and checks the header and the whole directory tree. Entry data is
    // only read (and checked) by read()/test().
    static Result<std::unique_ptr<Archive>> open(const std::filesystem::path& file);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Depth first, each directory before its contents. Version 1: records in
    // stored order. Version 2, which keeps a folder's subfolders and files in
    // two lists: both as one list sorted by name with ASCII letters folded to
    // lower case, the order in which this library writes either version.
    const std::vector<Entry>& entries() const;

    // Index of the entry whose path matches without regard to ASCII case;
    // "/" is accepted for "\". An entry under a sound name comes before one
    // listed under a damaged name that shows the same path.
    std::optional<std::size_t> find(std::string_view path) const;

    // Streams the content of entries()[index] to sink, chunk by chunk, checking
    // markers, checksums and sizes. Safe to call from several threads at once.
    // A version-2 file is one chunk of up to its whole size, decoded as it
    // streams: a damaged payload or content checksum found at its end comes
    // after the bytes before it reached the sink.
    Error read(std::size_t index, const Sink& sink) const;

    // Streams bytes [offset, offset + length) of entries()[index]'s content to
    // sink, the range cut at the file's end (an offset at or past it gives
    // nothing and no error). Reads and decodes only the chunks that hold the
    // range (of a version-2 file, its one chunk from its start), and checks
    // each as read() does, the checksum of its whole payload before any of
    // its bytes go out: a large version-2 chunk is summed first, once, and
    // the result kept for the file. What a range cannot check is a version-2
    // file's content checksum, which covers the whole file: only a read that
    // decodes every byte from the start to the end checks it (read(), a
    // range to the end of a file of one chunk, a FileReader that read it
    // all). Safe from several threads.
    Error read_range(std::size_t index, std::uint64_t offset, std::uint64_t length, const Sink& sink) const;

    // A reader of entries()[index]'s content from `offset` (cut at its end)
    // on. Fails as read_range() fails before any data is read: an unknown
    // index, a directory, a file listed under a damaged name.
    Result<std::unique_ptr<FileReader>> reader(std::size_t index, std::uint64_t offset = 0) const;

    // Whether a range of entries()[index] is read by decoding the file from
    // its start (a version-2 file: one chunk of up to its whole size), so
    // that ranges read one after another cost less through one reader().
    bool decodes_from_start(std::size_t index) const;

    // Reads every file entry and reports the first damage found, or no error.
    Error test() const;

    std::uint64_t file_size() const;

private:
    struct Impl;
    explicit Archive(std::unique_ptr<Impl> impl);
    // Why entries()[index] cannot be read as a file (no such entry, a
    // directory, a damaged name), or no error.
    Error file_fault(std::size_t index) const;
    std::unique_ptr<Impl> impl_;
};

struct PackOptions {
    // Layout of the archive: 1, the first game's, or 2, the later game's. A
    // version-2 file is one chunk of its whole content, zlib (at zlib_level,
    // 9 at most) or stored; Lz77 is version 1's alone, and version 2 is
    // packed on the calling thread.
    int version = 1;
    Method method = Method::Zlib;
    // libdeflate level, 1..12. 6 measured as the knee on game-like data
    // (bench/, quarrix-bench-level): about gzip -6's size at several times its
    // speed; each level above costs 30-100% more time for under half a point,
    // and 12 saves 4% of the size for 8 times the time.
    int zlib_level = 6;
    unsigned threads = 0;  // compression workers; 0 = every core (at most 64)
    // When set and it becomes true, pack() stops within one chunk, leaves
    // nothing behind and fails with ErrorKind::Interrupted; when it is true
    // already, pack() writes nothing at all.
    const std::atomic<bool>* stop = nullptr;
};

struct PackProgress {
    const std::filesystem::path* disk_path = nullptr;  // file being packed, if any
    std::string_view archive_path;                     // its path inside the archive
    std::uint64_t bytes_done = 0;
    std::uint64_t bytes_total = 0;
};

// Called on the thread that runs pack(), at least once per file and a last
// time with bytes_done == bytes_total.
using ProgressFn = std::function<void(const PackProgress&)>;

// Collects directories and disk files, then writes one archive.
class Writer {
public:
    Writer();
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // archive_path: Windows-1252, "\" separated. Missing parent directories
    // are created implicitly. Adding the same path again replaces the earlier
    // entry; paths that differ only in ASCII case are the same path (the first
    // spelling is kept). Fails (InvalidArgument) on empty, ".", ".." components,
    // names holding "/" or NUL, paths longer than 1024 bytes or nesting more than
    // 128 directories (what the reader accepts), or a path that is already a
    // file (or directory) where the other kind is asked for. add_file also
    // fails on a disk file that is missing (IoError), not a regular file
    // (InvalidArgument) or 4 GiB or more (TooLarge).
    Error add_directory(std::string_view archive_path);
    Error add_file(std::string_view archive_path, const std::filesystem::path& disk_file);

    // Writes the archive to a temporary file beside `target` and puts it in
    // place only when everything succeeded. The temporary file has no name
    // where the file system allows it (O_TMPFILE), so not even a killed
    // process leaves one behind; elsewhere it is a hidden file beside the
    // target, removed on every failure (and by remove_temporary_archives()). Disk files are read while
    // packing, never loaded whole; one that is gone or changed size since it
    // was added fails the pack (IoError naming it). An archive that would
    // pass the format's 32-bit offsets fails with TooLarge before a byte is
    // written past them. Empty files are always stored.
    Error pack(const std::filesystem::path& target, const PackOptions& options,
               const ProgressFn& progress = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Removes the named temporary file of every pack() still running, for a
// program about to end at once on a signal. Async-signal-safe: no lock, no
// allocation. Unnamed temporary files need nothing: they vanish with the
// process.
void remove_temporary_archives() noexcept;

}  // namespace hpi

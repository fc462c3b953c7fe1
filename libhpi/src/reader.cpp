// Reading archives: the header and directory tree are checked once at open;
// file data is checked chunk by chunk while it streams to the caller.
//
// Everything in an archive may be damaged or hostile, so every offset, count
// and size is checked against the directory block and the file's length
// before it is followed, and nothing is ever allocated from a count that has
// not been shown to fit in the bytes that hold it.
#include "hpi/hpi.h"

#include "decode.h"
#include "format.h"
#include "reader_common.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace hpi {
namespace {

using detail::directory_label;
using detail::display_path;
using detail::entry_label;
using detail::failure;
using detail::FileHandle;
using detail::hex;
using detail::in_quotes;
using format::load_u32;

// Real archives nest a handful of levels; a chain deeper than the format's
// limit is made to exhaust the reader, not to hold game data. The path limit
// also keeps a hostile block that reuses one huge name from multiplying it
// into every path.
using format::kMaxDirectoryDepth;
using format::kMaxPathLength;
// Stored files stream through a buffer of this size.
constexpr std::size_t kStoredPiece = 64 * 1024;
// A chunked file's data is read ahead by up to this much at a time: a small
// file's length array and chunks then take one system call, a big file's a
// call every few chunks, and memory stays small.
constexpr std::size_t kReadAhead = 256 * 1024;
// A chunk of at most 64 KiB never needs more than a little over 64 KiB of
// LZ77 or zlib data; anything past this bound is refused instead of being
// loaded, so one read never holds more than this much payload.
constexpr std::uint32_t kMaxPayloadSize = 16 * format::kChunkSize;

std::string with_backslashes(std::string_view path)
{
    std::string key(path);
    std::replace(key.begin(), key.end(), '/', '\\');
    return key;
}

std::string fold_path(std::string_view path)
{
    return fold_ascii(with_backslashes(path));
}

struct Header {
    std::uint32_t directory_end = 0;
    std::uint32_t header_key = 0;
    std::uint32_t directory_start = 0;
};

Result<Header> parse_header(std::span<const std::uint8_t> bytes, std::uint64_t file_size)
{
    if (bytes.size() < format::kHeaderMarkerAt + format::kWordSize ||
        load_u32(bytes.data() + format::kHeaderMarkerAt) != format::kMarker)
        return failure(ErrorKind::NotAnArchive, "no HAPI marker at the start of the file");
    if (bytes.size() >= format::kHeaderVersionAt + format::kWordSize) {
        const std::uint32_t version = load_u32(bytes.data() + format::kHeaderVersionAt);
        if (version == format::kSavedGame)
            return failure(ErrorKind::NotAnArchive, "a saved game (BANK), not an archive");
        if (version != format::kVersion1)
            return failure(ErrorKind::NotAnArchive, "unknown version " + hex(version));
    }
    if (bytes.size() < format::kHeaderSize)
        return failure(ErrorKind::Truncated, "the file ends at offset " + std::to_string(bytes.size()) +
                                                 ", inside the 20-byte header");
    Header header;
    header.directory_end = load_u32(bytes.data() + format::kHeaderDirectoryEndAt);
    header.header_key = load_u32(bytes.data() + format::kHeaderKeyAt);
    header.directory_start = load_u32(bytes.data() + format::kHeaderDirectoryStartAt);
    const std::string block = "directory block [" + std::to_string(header.directory_start) + ", " +
                              std::to_string(header.directory_end) + ")";
    if (header.directory_start < format::kHeaderSize)
        return failure(ErrorKind::BadOffset, block + " overlaps the header");
    if (std::uint64_t(header.directory_start) + format::kDirectoryRecordSize > header.directory_end)
        return failure(ErrorKind::BadOffset, block + " cannot hold the root directory record");
    if (header.directory_end > file_size)
        return failure(ErrorKind::Truncated,
                       block + " runs past the end of the file at " + std::to_string(file_size));
    return header;
}

// Walks the decrypted directory block depth first and produces the entry
// list. Each directory record may be visited once, and each entry record
// belongs to one directory only: together with the depth limit this keeps a
// hostile block from looping or from listing one record more than once, so
// the entry list can never outgrow the block itself.
class DirectoryWalker {
public:
    DirectoryWalker(std::span<const std::uint8_t> block, std::uint32_t block_start)
        : block_(block), start_(block_start), claimed_(block.size(), false)
    {
    }

    Error walk(std::vector<Entry>& entries)
    {
        entries_ = &entries;
        return walk_directory(start_, "", 0, std::nullopt);
    }

private:
    bool inside(std::uint64_t offset, std::uint64_t length) const
    {
        return offset >= start_ && offset - start_ <= block_.size() &&
               length <= block_.size() - (offset - start_);
    }

    const std::uint8_t* at(std::uint32_t offset) const { return block_.data() + (offset - start_); }

    std::string block_range() const
    {
        return "the directory block [" + std::to_string(start_) + ", " +
               std::to_string(start_ + block_.size()) + ")";
    }

    Error walk_directory(std::uint32_t record, const std::string& path, std::size_t depth,
                         std::optional<std::size_t> self)
    {
        const std::string where = directory_label(path);
        if (depth > kMaxDirectoryDepth)
            return failure(ErrorKind::DirectoryLoop,
                           where + ": nested deeper than " + std::to_string(kMaxDirectoryDepth) + " levels");
        if (!inside(record, format::kDirectoryRecordSize))
            return failure(ErrorKind::BadOffset, where + ": record at offset " + std::to_string(record) +
                                                     " lies outside " + block_range());
        if (!visited_.insert(record).second)
            return failure(ErrorKind::DirectoryLoop, where + ": record at offset " + std::to_string(record) +
                                                         " is reached a second time");
        const std::uint32_t count = load_u32(at(record) + format::kDirectoryEntryCountAt);
        const std::uint32_t first = load_u32(at(record) + format::kDirectoryEntriesAt);
        if (Error error = claim_entry_records(where, first, count))
            return error;

        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t offset = first + i * std::uint32_t(format::kEntryRecordSize);
            if (Error error = add_entry(path, offset, depth, self))
                return error;
        }
        return {};
    }

    Error claim_entry_records(const std::string& where, std::uint32_t first, std::uint32_t count)
    {
        const std::uint64_t length = std::uint64_t(count) * format::kEntryRecordSize;
        if (!inside(first, length))
            return failure(ErrorKind::BadOffset, where + ": " + std::to_string(count) +
                                                     " entry records at offset " + std::to_string(first) +
                                                     " do not fit in " + block_range());
        const auto begin = claimed_.begin() + (first - start_);
        const auto end = begin + static_cast<std::ptrdiff_t>(length);
        if (std::find(begin, end, true) != end)
            return failure(ErrorKind::DirectoryLoop, where + ": entry records at offset " +
                                                         std::to_string(first) +
                                                         " are also listed by another directory");
        std::fill(begin, end, true);
        return {};
    }

    Error add_entry(const std::string& parent, std::uint32_t offset, std::size_t depth,
                    std::optional<std::size_t> parent_index)
    {
        const std::uint32_t name_offset = load_u32(at(offset) + format::kEntryNameAt);
        const std::uint32_t data_offset = load_u32(at(offset) + format::kEntryRecordAt);
        // Only 0 and 1 are written; any other nonzero flag is read the way a
        // C program tests a flag, as a directory, and must then pass as one.
        const bool is_directory = at(offset)[format::kEntryIsDirectoryAt] != 0;

        std::string name;
        if (Error error = read_name(parent, offset, name_offset, name))
            return error;
        std::string path = parent.empty() ? name : parent + "\\" + name;
        if (path.size() > kMaxPathLength)
            return failure(ErrorKind::BadName, "entry record at offset " + std::to_string(offset) +
                                                   ": path longer than " + std::to_string(kMaxPathLength) +
                                                   " bytes");

        Entry entry;
        entry.path = std::move(path);
        entry.is_directory = is_directory;
        if (!is_directory) {
            if (Error error = read_file_record(entry, data_offset))
                return error;
            if (parent_index)
                ++(*entries_)[*parent_index].size;
            entries_->push_back(std::move(entry));
            return {};
        }
        const std::size_t index = entries_->size();
        entries_->push_back(entry);
        return walk_directory(data_offset, entry.path, depth + 1, index);
    }

    Error read_name(const std::string& parent, std::uint32_t record, std::uint32_t offset,
                    std::string& name) const
    {
        const std::string where =
            directory_label(parent) + ": entry record at offset " + std::to_string(record);
        if (!inside(offset, 1))
            return failure(ErrorKind::BadOffset, where + ": name offset " + std::to_string(offset) +
                                                     " lies outside " + block_range());
        const auto* first = reinterpret_cast<const char*>(at(offset));
        const std::size_t room = block_.size() - (offset - start_);
        const void* nul = std::memchr(first, 0, room);
        if (!nul)
            return failure(ErrorKind::BadName, where + ": name at offset " + std::to_string(offset) +
                                                   " has no end inside " + block_range());
        name.assign(first, static_cast<const char*>(nul));
        if (!is_safe_level(name))
            return failure(ErrorKind::BadName,
                           where + ": name " + display_path(name) + " is not a single path component");
        return {};
    }

    Error read_file_record(Entry& entry, std::uint32_t record) const
    {
        if (!inside(record, format::kFileRecordSize))
            return failure(ErrorKind::BadOffset, entry_label(entry) + ": file record at offset " +
                                                     std::to_string(record) + " lies outside " +
                                                     block_range());
        entry.data_offset = load_u32(at(record) + format::kFileDataStartAt);
        entry.size = load_u32(at(record) + format::kFileSizeAt);
        // Kept as stored, even an unknown value: only 0 means raw bytes, and
        // any other file is chunked, each chunk naming its own method. An odd
        // record must not make every other file of the archive unreachable.
        entry.method = static_cast<Method>(at(record)[format::kFileMethodAt]);
        return {};
    }

    std::span<const std::uint8_t> block_;
    std::uint32_t start_;
    std::vector<bool> claimed_;
    std::unordered_set<std::uint32_t> visited_;
    std::vector<Entry>* entries_ = nullptr;
};

}  // namespace

struct ChunkReadState;
struct ChunkPlace;

struct Archive::Impl {
    FileHandle file;
    std::uint64_t size = 0;
    std::vector<Entry> entries;
    // Names that differ only in case do occur; the exact spelling is looked
    // up first so that each of them can still be reached.
    std::unordered_map<std::string, std::size_t> by_path;
    std::unordered_map<std::string, std::size_t> by_folded_path;
    std::unique_ptr<detail::Layout> layout;

    explicit Impl(FileDescriptor fd) : file(std::move(fd)) {}
};

// The file data of version 1: stored files as they are, the others in
// chunks of 64 KiB found through their chunk length array, all of it
// encrypted when the header has a key.
class Version1Layout final : public detail::Layout {
public:
    Version1Layout(const FileHandle& file, std::uint64_t size, std::optional<std::uint8_t> key)
        : file(file), size(size), key(key)
    {
    }

    Error read_range(std::size_t, const Entry& entry, std::uint64_t begin, std::uint64_t end,
                     const Sink& sink) const override
    {
        if (entry.size == 0)
            return {};
        if (Error error = check_data_start(entry))
            return error;
        if (entry.method == Method::Stored)
            return read_stored(entry, begin, end, sink);
        return read_chunked(entry, begin, end, sink);
    }

private:
    const FileHandle& file;
    std::uint64_t size = 0;
    std::optional<std::uint8_t> key;  // set when the archive is encrypted

    // Reads and decrypts bytes at an absolute offset.
    Error read_plain(std::uint64_t offset, std::span<std::uint8_t> out) const
    {
        if (Error error = file.read_at(offset, out))
            return error;
        if (key)
            format::decrypt(out, offset, *key);
        return {};
    }

    // Both stream the bytes [begin, end) of the file's content, 0 <= begin <
    // end <= entry.size.
    Error read_stored(const Entry& entry, std::uint64_t begin, std::uint64_t end, const Sink& sink) const;
    Error read_chunked(const Entry& entry, std::uint64_t begin, std::uint64_t end, const Sink& sink) const;
    Error read_chunk(const ChunkPlace& place, std::uint32_t stored_length, std::uint32_t expected,
                     ChunkReadState& state, std::span<std::uint8_t>& out) const;
    Error check_data_start(const Entry& entry) const;
};

Error Version1Layout::check_data_start(const Entry& entry) const
{
    if (entry.data_offset < format::kHeaderSize)
        return failure(ErrorKind::BadOffset, entry_label(entry) + ": data offset " +
                                                 std::to_string(entry.data_offset) +
                                                 " lies inside the header");
    if (entry.data_offset > size)
        return failure(ErrorKind::BadOffset, entry_label(entry) + ": data offset " +
                                                 std::to_string(entry.data_offset) +
                                                 " lies past the end of the file at " + std::to_string(size));
    return {};
}

Error Version1Layout::read_stored(const Entry& entry, std::uint64_t begin, std::uint64_t end_in_file,
                                  const Sink& sink) const
{
    // Only the bytes asked for must be there: a file cut after them is
    // found out by the read that reaches the cut.
    const std::uint64_t end = std::uint64_t(entry.data_offset) + end_in_file;
    if (end > size)
        return failure(ErrorKind::Truncated,
                       entry_label(entry) + ": data [" + std::to_string(entry.data_offset) + ", " +
                           std::to_string(entry.data_offset + std::uint64_t(entry.size)) +
                           ") runs past the end of the file at " + std::to_string(size));
    std::vector<std::uint8_t> piece(std::min<std::uint64_t>(kStoredPiece, end_in_file - begin));
    for (std::uint64_t pos = entry.data_offset + begin; pos < end;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), end - pos));
        const std::span<std::uint8_t> bytes(piece.data(), n);
        if (Error error = read_plain(pos, bytes)) {
            error.message = entry_label(entry) + ": " + error.message;
            return error;
        }
        if (!sink(bytes))
            return {};
        pos += n;
    }
    return {};
}

namespace {

using format::ChunkHeader;
using format::parse_chunk_header;

// Checks a chunk header against the length array and the size this chunk
// must decode to; returns the text of the first fault, or nothing.
std::string chunk_header_fault(const ChunkHeader& chunk, std::uint32_t stored_length,
                               std::uint32_t expected_plain, ErrorKind& kind)
{
    kind = ErrorKind::BadCompressedData;
    if (chunk.marker != format::kChunkMarker)
        return "no SQSH marker";
    if (chunk.plain_size > format::kChunkSize)
        return "plain size " + std::to_string(chunk.plain_size) + " exceeds " +
               std::to_string(format::kChunkSize);
    if (chunk.plain_size != expected_plain)
        return "plain size " + std::to_string(chunk.plain_size) + ", expected " +
               std::to_string(expected_plain);
    if (format::kChunkHeaderSize + std::uint64_t(chunk.payload_size) > stored_length) {
        kind = ErrorKind::BadOffset;
        return "payload of " + std::to_string(chunk.payload_size) +
               " bytes overruns the chunk's stored length " + std::to_string(stored_length);
    }
    if (chunk.payload_size > kMaxPayloadSize)
        return "payload of " + std::to_string(chunk.payload_size) +
               " bytes is far beyond what a 64 KiB chunk needs";
    return {};
}

}  // namespace

// Where a chunk is, for messages: built only when something is wrong.
struct ChunkPlace {
    const Entry& entry;
    std::uint32_t index;
    std::uint32_t count;
    std::uint64_t pos;

    std::string label() const
    {
        return entry_label(entry) + ": chunk " + std::to_string(index + 1) + " of " + std::to_string(count) +
               " at offset " + std::to_string(pos) + ": ";
    }
};

// Working memory of one chunked read: the bytes read ahead, one decoder,
// one 64 KiB output buffer and, for obfuscated chunks only, a copy of the
// payload; all reused for every chunk.
struct ChunkReadState {
    ChunkReadState(const FileHandle& file, std::optional<std::uint8_t> key, std::uint64_t read_ahead_end,
                   std::size_t plain_size)
        : file(file), key(key), end(read_ahead_end),
          plain(std::make_unique_for_overwrite<std::uint8_t[]>(plain_size))
    {
    }

    // Points `out` at `length` decrypted bytes at `offset`, reading them (and
    // what follows, up to the read-ahead end) unless they are held already.
    // The view lasts until the next call. The caller has checked that the
    // bytes lie inside the file.
    Error view(std::uint64_t offset, std::size_t length, std::span<const std::uint8_t>& out)
    {
        if (offset < start || offset - start > held || length > held - (offset - start)) {
            const std::uint64_t ahead = end > offset ? std::min<std::uint64_t>(end - offset, kReadAhead) : 0;
            const auto n = static_cast<std::size_t>(std::max<std::uint64_t>(length, ahead));
            if (n > capacity) {
                buffer = std::make_unique_for_overwrite<std::uint8_t[]>(n);
                capacity = n;
            }
            held = 0;
            const std::span<std::uint8_t> bytes(buffer.get(), n);
            if (Error error = file.read_at(offset, bytes))
                return error;
            if (key)
                format::decrypt(bytes, offset, *key);
            start = offset;
            held = n;
        }
        out = std::span<const std::uint8_t>(buffer.get() + (offset - start), length);
        return {};
    }

    const FileHandle& file;
    std::optional<std::uint8_t> key;
    std::uint64_t end;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t capacity = 0;
    std::uint64_t start = 0;
    std::size_t held = 0;
    detail::ChunkDecoder decoder;
    std::vector<std::uint8_t> obfuscated;
    std::unique_ptr<std::uint8_t[]> plain;
};

// Reads, checks and decodes the chunk at place.pos; on success `out` holds
// its plain bytes.
Error Version1Layout::read_chunk(const ChunkPlace& place, std::uint32_t stored_length, std::uint32_t expected,
                                 ChunkReadState& state, std::span<std::uint8_t>& out) const
{
    const std::uint64_t pos = place.pos;
    if (stored_length < format::kChunkHeaderSize)
        return failure(ErrorKind::BadCompressedData, place.label() + "stored length " +
                                                         std::to_string(stored_length) +
                                                         " cannot hold the 19-byte chunk header");
    if (pos + stored_length > size)
        return failure(ErrorKind::Truncated, place.label() + std::to_string(stored_length) +
                                                 " bytes run past the end of the file at " +
                                                 std::to_string(size));

    std::span<const std::uint8_t> bytes;
    if (Error error = state.view(pos, format::kChunkHeaderSize, bytes)) {
        error.message = place.label() + error.message;
        return error;
    }
    const ChunkHeader chunk = parse_chunk_header(bytes.data());
    ErrorKind kind;
    if (std::string fault = chunk_header_fault(chunk, stored_length, expected, kind); !fault.empty())
        return failure(kind, place.label() + fault);

    std::span<const std::uint8_t> payload;
    if (Error error = state.view(pos + format::kChunkHeaderSize, chunk.payload_size, payload)) {
        error.message = place.label() + error.message;
        return error;
    }
    const std::uint32_t sum = format::chunk_checksum(payload);
    if (sum != chunk.checksum)
        return failure(ErrorKind::BadChecksum,
                       place.label() + "checksum " + hex(sum) + " expected " + hex(chunk.checksum));
    if (chunk.obfuscated) {
        state.obfuscated.assign(payload.begin(), payload.end());
        format::deobfuscate(state.obfuscated);
        payload = state.obfuscated;
    }

    out = std::span<std::uint8_t>(state.plain.get(), chunk.plain_size);
    if (std::string fault = state.decoder.decode(chunk.method, payload, out); !fault.empty())
        return failure(ErrorKind::BadCompressedData, place.label() + fault);
    return {};
}

// Where the data of `chunks` chunks holding `plain` bytes most likely ends
// when it starts at `pos`: a chunk that does not compress grows by its header
// and a few bytes of framing.
std::uint64_t likely_data_end(std::uint64_t pos, std::uint64_t plain, std::uint64_t chunks,
                              std::uint64_t file_size)
{
    return std::min(file_size, pos + plain + chunks * (format::kChunkHeaderSize + 64));
}

Error Version1Layout::read_chunked(const Entry& entry, std::uint64_t begin, std::uint64_t end,
                                   const Sink& sink) const
{
    const auto count =
        static_cast<std::uint32_t>((std::uint64_t(entry.size) + format::kChunkSize - 1) / format::kChunkSize);
    const std::uint64_t array_end = entry.data_offset + std::uint64_t(count) * format::kChunkLengthSize;
    if (array_end > size)
        return failure(ErrorKind::Truncated,
                       entry_label(entry) + ": chunk length array [" + std::to_string(entry.data_offset) +
                           ", " + std::to_string(array_end) + ") runs past the end of the file at " +
                           std::to_string(size));
    const auto first = static_cast<std::uint32_t>(begin / format::kChunkSize);
    const auto last = static_cast<std::uint32_t>((end - 1) / format::kChunkSize);
    const std::uint64_t range_plain =
        std::min<std::uint64_t>(entry.size, (std::uint64_t(last) + 1) * format::kChunkSize) -
        std::uint64_t(first) * format::kChunkSize;
    // From the first chunk, the length array and the chunks come in one read;
    // further in, the array is read alone and the read-ahead starts at the
    // first chunk wanted.
    ChunkReadState state(file, key,
                         first == 0 ? likely_data_end(array_end, range_plain, last + 1, size) : array_end,
                         std::min<std::size_t>(format::kChunkSize, entry.size));
    std::span<const std::uint8_t> array;
    if (Error error = state.view(entry.data_offset, std::size_t(count) * format::kChunkLengthSize, array)) {
        error.message = entry_label(entry) + ": " + error.message;
        return error;
    }
    const std::vector<std::uint8_t> lengths(array.begin(), array.end());

    std::uint64_t pos = array_end;
    for (std::uint32_t i = 0; i < first; ++i)
        pos += load_u32(lengths.data() + format::kChunkLengthSize * std::size_t(i));
    if (first != 0)
        state.end = likely_data_end(pos, range_plain, last - first + 1, size);
    for (std::uint32_t i = first; i <= last; ++i) {
        const std::uint32_t stored_length =
            load_u32(lengths.data() + format::kChunkLengthSize * std::size_t(i));
        const std::uint64_t chunk_start = std::uint64_t(i) * format::kChunkSize;
        const auto expected =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(format::kChunkSize, entry.size - chunk_start));
        std::span<std::uint8_t> out;
        const ChunkPlace place{entry, i, count, pos};
        if (Error error = read_chunk(place, stored_length, expected, state, out))
            return error;
        const std::uint64_t from = std::max(begin, chunk_start) - chunk_start;
        const std::uint64_t to = std::min<std::uint64_t>(end - chunk_start, out.size());
        if (!sink(out.subspan(std::size_t(from), std::size_t(to - from))))
            return {};
        pos += stored_length;
    }
    return {};
}

Result<std::unique_ptr<detail::Layout>> open_version1(const FileHandle& file, std::uint64_t file_size,
                                                      std::span<const std::uint8_t> head,
                                                      std::vector<Entry>& entries)
{
    auto header = parse_header(head, file_size);
    if (!header)
        return header.error();
    std::optional<std::uint8_t> key;
    if (header->header_key != 0)
        key = format::archive_key(header->header_key);

    std::vector<std::uint8_t> block(header->directory_end - header->directory_start);
    if (Error error = file.read_at(header->directory_start, block))
        return error;
    if (key)
        format::decrypt(block, header->directory_start, *key);
    DirectoryWalker walker(block, header->directory_start);
    if (Error error = walker.walk(entries))
        return error;
    return std::unique_ptr<detail::Layout>(std::make_unique<Version1Layout>(file, file_size, key));
}

Result<std::unique_ptr<Archive>> Archive::open(const std::filesystem::path& file)
{
    const std::string label = in_quotes(file.native());
    // O_NONBLOCK keeps a named pipe given as an archive from blocking the
    // open; it is refused just below, and changes nothing for regular files.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return detail::system_failure("cannot open " + label, errno);
    const int opened = fd.get();
    auto impl = std::make_unique<Impl>(std::move(fd));

    struct stat info {};
    if (::fstat(opened, &info) != 0 || !S_ISREG(info.st_mode))
        return failure(ErrorKind::IoError, label + " is not a regular file");
    impl->size = static_cast<std::uint64_t>(info.st_size);

    // Enough for the header of either version; the version decides the rest.
    std::uint8_t header_bytes[format::v2::kHeaderSize];
    const std::span<std::uint8_t> head(header_bytes,
                                       std::min<std::uint64_t>(sizeof header_bytes, impl->size));
    if (Error error = impl->file.read_at(0, head)) {
        error.message = label + ": " + error.message;
        return error;
    }
    const bool version2 = head.size() >= format::v2::kHeaderVersionAt + format::kWordSize &&
                          load_u32(head.data() + format::v2::kHeaderMarkerAt) == format::kMarker &&
                          load_u32(head.data() + format::v2::kHeaderVersionAt) == format::kVersion2;
    auto layout = version2 ? detail::open_version2(impl->file, impl->size, head, impl->entries)
                           : open_version1(impl->file, impl->size, head, impl->entries);
    if (!layout)
        return failure(layout.error().kind, label + ": " + layout.error().message);
    impl->layout = std::move(layout.value());
    // A file listed under a damaged name is found only where no entry with a
    // sound name has its path: the name it shows may contain a "\".
    for (const bool bad_name : {false, true}) {
        for (std::size_t i = 0; i < impl->entries.size(); ++i) {
            if (impl->entries[i].bad_name != bad_name)
                continue;
            impl->by_path.emplace(impl->entries[i].path, i);
            impl->by_folded_path.emplace(fold_path(impl->entries[i].path), i);
        }
    }
    return std::unique_ptr<Archive>(new Archive(std::move(impl)));
}

Archive::Archive(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Archive::~Archive() = default;

const std::vector<Entry>& Archive::entries() const
{
    return impl_->entries;
}

std::optional<std::size_t> Archive::find(std::string_view path) const
{
    if (const auto it = impl_->by_path.find(with_backslashes(path)); it != impl_->by_path.end())
        return it->second;
    if (const auto it = impl_->by_folded_path.find(fold_path(path)); it != impl_->by_folded_path.end())
        return it->second;
    return std::nullopt;
}

Error Archive::read(std::size_t index, const Sink& sink) const
{
    return read_range(index, 0, std::numeric_limits<std::uint64_t>::max(), sink);
}

Error Archive::file_fault(std::size_t index) const
{
    if (index >= impl_->entries.size())
        return failure(ErrorKind::InvalidArgument,
                       "no entry number " + std::to_string(index) + " in this archive");
    const Entry& entry = impl_->entries[index];
    if (entry.is_directory)
        return failure(ErrorKind::InvalidArgument, entry_label(entry) + " is a directory");
    return impl_->layout->entry_fault(index, entry);
}

Error Archive::read_range(std::size_t index, std::uint64_t offset, std::uint64_t length,
                          const Sink& sink) const
{
    if (Error error = file_fault(index))
        return error;
    const Entry& entry = impl_->entries[index];
    // A range from 0 of an empty file is the whole file, still checked.
    const bool whole_empty_file = entry.size == 0 && offset == 0 && length > 0;
    if (!whole_empty_file && (offset >= entry.size || length == 0))
        return {};
    const std::uint64_t end = offset + std::min<std::uint64_t>(length, entry.size - offset);
    return impl_->layout->read_range(index, entry, offset, end, sink);
}

Result<std::unique_ptr<FileReader>> Archive::reader(std::size_t index, std::uint64_t offset) const
{
    if (Error error = file_fault(index))
        return error;
    const Entry& entry = impl_->entries[index];
    const std::uint64_t from = std::min<std::uint64_t>(offset, entry.size);
    return std::unique_ptr<FileReader>(
        new FileReader(impl_->layout->reading(index, entry, from), entry.size));
}

bool Archive::decodes_from_start(std::size_t index) const
{
    return index < impl_->entries.size() && !impl_->entries[index].is_directory &&
           impl_->layout->decodes_from_start();
}

FileReader::FileReader(std::unique_ptr<detail::Reading> reading, std::uint64_t size)
    : reading_(std::move(reading)), size_(size)
{
}
FileReader::~FileReader() = default;

std::uint64_t FileReader::offset() const
{
    return reading_->offset();
}

Error FileReader::read(std::uint64_t length, const Sink& sink)
{
    const std::uint64_t at = reading_->offset();
    return reading_->read_to(at + std::min(length, size_ - at), sink);
}

namespace detail {
namespace {

// Each call one range read.
class RangeReading final : public Reading {
public:
    RangeReading(const Layout& layout, std::size_t index, const Entry& entry, std::uint64_t offset)
        : layout_(layout), index_(index), entry_(entry), offset_(offset)
    {
    }

    Error read_to(std::uint64_t end, const Sink& sink) override
    {
        // An empty file is still read, to be checked.
        if (offset_ >= end && entry_.size > 0)
            return {};
        return layout_.read_range(index_, entry_, offset_, end, [&](std::span<const std::uint8_t> piece) {
            offset_ += piece.size();
            return sink(piece);
        });
    }
    std::uint64_t offset() const override { return offset_; }

private:
    const Layout& layout_;
    std::size_t index_;
    const Entry& entry_;
    std::uint64_t offset_;
};

}  // namespace

std::unique_ptr<Reading> Layout::reading(std::size_t index, const Entry& entry, std::uint64_t offset) const
{
    return std::make_unique<RangeReading>(*this, index, entry, offset);
}

}  // namespace detail

Error Archive::test() const
{
    const Sink discard = [](std::span<const std::uint8_t>) { return true; };
    for (std::size_t i = 0; i < impl_->entries.size(); ++i) {
        if (impl_->entries[i].is_directory)
            continue;
        if (Error error = read(i, discard))
            return error;
    }
    return {};
}

std::uint64_t Archive::file_size() const
{
    return impl_->size;
}

}  // namespace hpi

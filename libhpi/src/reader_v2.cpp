// Reading version-2 archives: the 32-byte header, the names and directory
// blocks (each raw or one chunk), the folder tree and the files, each one or
// more chunks of any size (or raw bytes) with a checksum of its content.
//
// As for version 1, every offset, count and size is checked before it is
// followed. A file is one chunk of up to its whole size, so its payload is
// read and decoded in pieces: memory stays bounded however big the file.
#include "decode.h"
#include "format.h"
#include "reader_common.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>

namespace hpi::detail {
namespace {

namespace v2 = format::v2;
using format::ChunkHeader;
using format::load_u32;
using format::parse_chunk_header;

// File data is read this much at a time, the chunk header with the start of
// its payload; a payload no longer than this is checked before it is decoded.
constexpr std::size_t kPiece = 256 * 1024;

std::string range_text(std::uint64_t offset, std::uint64_t size)
{
    return "[" + std::to_string(offset) + ", " + std::to_string(offset + size) + ")";
}

struct Header {
    std::uint32_t directory_offset = 0, directory_size = 0;
    std::uint32_t names_offset = 0, names_size = 0;
    std::uint32_t data_start = 0;
};

Error check_block(const char* what, std::uint32_t offset, std::uint32_t size, std::uint64_t file_size)
{
    const std::string block = std::string(what) + " " + range_text(offset, size);
    if (offset < v2::kHeaderSize)
        return failure(ErrorKind::BadOffset, block + " overlaps the header");
    if (std::uint64_t(offset) + size > file_size)
        return failure(ErrorKind::Truncated,
                       block + " runs past the end of the file at " + std::to_string(file_size));
    return {};
}

Result<Header> parse_header(std::span<const std::uint8_t> head, std::uint64_t file_size)
{
    if (head.size() < v2::kHeaderSize)
        return failure(ErrorKind::Truncated, "the file ends at offset " + std::to_string(head.size()) +
                                                 ", inside the 32-byte version-2 header");
    const std::uint8_t* h = head.data();
    Header header{.directory_offset = load_u32(h + v2::kHeaderDirectoryOffsetAt),
                  .directory_size = load_u32(h + v2::kHeaderDirectorySizeAt),
                  .names_offset = load_u32(h + v2::kHeaderNamesOffsetAt),
                  .names_size = load_u32(h + v2::kHeaderNamesSizeAt),
                  .data_start = load_u32(h + v2::kHeaderDataStartAt)};
    if (header.data_start < v2::kHeaderSize || header.data_start > file_size)
        return failure(ErrorKind::BadOffset, "file data start " + std::to_string(header.data_start) +
                                                 " lies outside [32, " + std::to_string(file_size) +
                                                 "], the file after its header");
    if (Error error = check_block("names block", header.names_offset, header.names_size, file_size))
        return error;
    if (Error error =
            check_block("directory block", header.directory_offset, header.directory_size, file_size))
        return error;
    return header;
}

bool starts_a_chunk(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= format::kChunkMarkerAt + format::kWordSize &&
           load_u32(bytes.data() + format::kChunkMarkerAt) == format::kChunkMarker;
}

// The most plain bytes a block chunk's payload could give.
std::optional<std::uint64_t> most_plain(std::uint8_t method, std::uint64_t payload_size)
{
    switch (Method(method)) {
        case Method::Stored:
            return payload_size;
        case Method::Lz77:
            return payload_size * v2::kMostLz77Expansion;
        case Method::Zlib:
            return payload_size * v2::kMostZlibExpansion;
    }
    return std::nullopt;  // a byte that names no method
}

// A block's stored bytes as they are, or decoded when they are one chunk.
Result<std::vector<std::uint8_t>> load_block(const FileHandle& file, const char* what, std::uint32_t offset,
                                             std::uint32_t size)
{
    const std::string where = std::string(what) + " " + range_text(offset, size) + ": ";
    std::vector<std::uint8_t> stored(size);
    if (Error error = file.read_at(offset, stored))
        return failure(error.kind, where + error.message);
    if (!starts_a_chunk(stored))
        return stored;

    if (size < format::kChunkHeaderSize)
        return failure(ErrorKind::BadCompressedData,
                       where + "the 19-byte chunk header does not fit in " + std::to_string(size) + " bytes");
    const ChunkHeader chunk = parse_chunk_header(stored.data());
    if (format::kChunkHeaderSize + std::uint64_t(chunk.payload_size) != size)
        return failure(ErrorKind::BadOffset, where + "a chunk payload of " +
                                                 std::to_string(chunk.payload_size) +
                                                 " bytes does not fill the block");
    const std::span<std::uint8_t> payload(stored.data() + format::kChunkHeaderSize, chunk.payload_size);
    const std::uint32_t sum = format::chunk_checksum(payload);
    if (sum != chunk.checksum)
        return failure(ErrorKind::BadChecksum,
                       where + "chunk checksum " + hex(sum) + " expected " + hex(chunk.checksum));
    const auto bound = most_plain(chunk.method, chunk.payload_size);
    if (!bound)
        return failure(ErrorKind::BadCompressedData,
                       where + "unknown chunk method " + std::to_string(chunk.method));
    if (chunk.plain_size > *bound)
        return failure(ErrorKind::BadCompressedData,
                       where + "plain size " + std::to_string(chunk.plain_size) +
                           " is more than a payload of " + std::to_string(chunk.payload_size) +
                           " bytes can hold");
    if (chunk.obfuscated)
        format::deobfuscate(payload);

    // Grown as the plain bytes come: only a stream that really expands
    // that far costs the memory.
    std::vector<std::uint8_t> plain;
    ChunkStream stream;
    bool stopped = false;
    std::span<const std::uint8_t> input = payload;
    std::string fault = stream.start(chunk.method, chunk.plain_size);
    if (fault.empty())
        fault = stream.feed(
            input,
            [&](std::span<const std::uint8_t> piece) {
                plain.insert(plain.end(), piece.begin(), piece.end());
                return true;
            },
            stopped);
    if (fault.empty())
        fault = stream.finish();
    if (!fault.empty())
        return failure(ErrorKind::BadCompressedData, where + fault);
    return plain;
}

// One safe level of a path, and no control byte either: the later game's
// archives hold none, so one is a sign of damage.
bool is_single_level(std::string_view name)
{
    return is_safe_level(name) && std::none_of(name.begin(), name.end(), [](char c) {
               const auto b = static_cast<unsigned char>(c);
               return b < 0x20 || b == 0x7F;
           });
}

// What is wrong with a name in itself. A folder's makes the tree unusable; a
// file's only that file, which is listed but cannot be read.
enum class NameFault : std::uint8_t { None, NotOneLevel, PathTooLong };

struct FileRecord {
    std::uint32_t stored_size = 0;
    std::uint32_t checksum = 0;
    NameFault name_fault = NameFault::None;
};

std::string name_fault_text(NameFault fault)
{
    if (fault == NameFault::PathTooLong)
        return "path longer than " + std::to_string(format::kMaxPathLength) + " bytes";
    return "name is not a single path level";
}

// Walks the decoded directory block depth first. Every record (folder or
// file) may be listed once: a folder reached twice is a loop or a shared
// subtree, and with the depth limit this bounds the entries by the block's
// size. A folder's subfolders and files come out as one list, sorted by
// name without regard to ASCII case, as version 1's writer orders them.
class TreeWalker {
public:
    TreeWalker(std::span<const std::uint8_t> block, std::span<const std::uint8_t> names,
               std::vector<Entry>& entries, std::vector<FileRecord>& files)
        : block_(block), names_(names), claimed_(block.size(), false), entries_(entries), files_(files)
    {
    }

    Error walk()
    {
        if (block_.size() < v2::kFolderRecordSize)
            return failure(ErrorKind::BadOffset, "the directory block of " + std::to_string(block_.size()) +
                                                     " bytes cannot hold the root folder record");
        claim(0, v2::kFolderRecordSize);
        return walk_folder(0, "", 0, std::nullopt);
    }

private:
    struct Child {
        std::string key;
        std::string name;
        bool is_folder;
        std::uint32_t record;
        NameFault fault;
    };

    const std::uint8_t* at(std::uint32_t offset) const { return block_.data() + offset; }

    bool claim(std::uint64_t offset, std::uint64_t length)
    {
        const auto begin = claimed_.begin() + std::ptrdiff_t(offset);
        const auto end = begin + std::ptrdiff_t(length);
        if (std::find(begin, end, true) != end)
            return false;
        std::fill(begin, end, true);
        return true;
    }

    // Checks and claims `count` records of `size` bytes at `first`.
    Error claim_list(const std::string& where, const char* what, std::uint32_t first, std::uint32_t count,
                     std::size_t size)
    {
        const std::uint64_t length = std::uint64_t(count) * size;
        if (first > block_.size() || length > block_.size() - first)
            return failure(ErrorKind::BadOffset, where + ": " + std::to_string(count) + " " + what +
                                                     " records at offset " + std::to_string(first) +
                                                     " do not fit in the directory block of " +
                                                     std::to_string(block_.size()) + " bytes");
        if (!claim(first, length))
            return failure(ErrorKind::DirectoryLoop, where + ": " + what + " records at offset " +
                                                         std::to_string(first) +
                                                         " are reached a second time");
        return {};
    }

    // The name of the child at `record` of the folder at `path`. A name that
    // points outside the names block damages the block; one that is no
    // single level, or would make a path past the limit, is a fault of the
    // name alone. Only what fits the path limit is kept, so that a hostile
    // block naming one huge name many times cannot multiply it.
    Error read_name(const std::string& where, const std::string& path, Child& child) const
    {
        const std::uint32_t offset = load_u32(at(child.record) + v2::kFolderNameAt);
        const std::string place = where + ": record at offset " + std::to_string(child.record);
        if (offset >= names_.size())
            return failure(ErrorKind::BadOffset, place + ": name offset " + std::to_string(offset) +
                                                     " lies outside the names block of " +
                                                     std::to_string(names_.size()) + " bytes");
        const auto* first = reinterpret_cast<const char*>(names_.data() + offset);
        const void* nul = std::memchr(first, 0, names_.size() - offset);
        if (!nul)
            return failure(ErrorKind::BadName, place + ": name at offset " + std::to_string(offset) +
                                                   " has no end inside the names block");
        const auto length = std::size_t(static_cast<const char*>(nul) - first);
        const std::size_t above = path.empty() ? 0 : path.size() + 1;
        const std::size_t room = format::kMaxPathLength - std::min(above, format::kMaxPathLength);
        child.name.assign(first, std::min(length, room));
        child.fault = length > room                  ? NameFault::PathTooLong
                      : !is_single_level(child.name) ? NameFault::NotOneLevel
                                                     : NameFault::None;
        return {};
    }

    Error list_children(const std::string& where, const std::string& path, std::uint32_t record,
                        std::vector<Child>& children)
    {
        const std::uint8_t* r = at(record);
        const std::uint32_t folders = load_u32(r + v2::kFolderSubfoldersAt);
        const std::uint32_t folder_count = load_u32(r + v2::kFolderSubfolderCountAt);
        const std::uint32_t files = load_u32(r + v2::kFolderFilesAt);
        const std::uint32_t file_count = load_u32(r + v2::kFolderFileCountAt);
        // An empty list's offset is not followed.
        if (folder_count > 0)
            if (Error error = claim_list(where, "folder", folders, folder_count, v2::kFolderRecordSize))
                return error;
        if (file_count > 0)
            if (Error error = claim_list(where, "file", files, file_count, v2::kFileRecordSize))
                return error;
        for (std::uint32_t i = 0; i < folder_count + std::uint64_t(file_count); ++i) {
            const bool is_folder = i < folder_count;
            Child child{.key = {},
                        .name = {},
                        .is_folder = is_folder,
                        .record = is_folder ? folders + i * std::uint32_t(v2::kFolderRecordSize)
                                            : files + (i - folder_count) * std::uint32_t(v2::kFileRecordSize),
                        .fault = NameFault::None};
            if (Error error = read_name(where, path, child))
                return error;
            child.key = fold_ascii(child.name);
            children.push_back(std::move(child));
        }
        std::stable_sort(children.begin(), children.end(),
                         [](const Child& a, const Child& b) { return a.key < b.key; });
        return {};
    }

    Error walk_folder(std::uint32_t record, const std::string& path, std::size_t depth,
                      std::optional<std::size_t> self)
    {
        const std::string where = path.empty() ? std::string("root folder") : "folder " + display_path(path);
        std::vector<Child> children;
        if (Error error = list_children(where, path, record, children))
            return error;
        for (Child& child : children) {
            Entry entry;
            entry.path = path.empty() ? child.name : path + "\\" + child.name;
            entry.is_directory = child.is_folder;
            if (child.is_folder) {
                if (child.fault == NameFault::NotOneLevel)
                    return failure(ErrorKind::BadName,
                                   where + ": record at offset " + std::to_string(child.record) + ": name " +
                                       display_path(child.name) + " is not a single path level");
                if (child.fault == NameFault::PathTooLong)
                    return failure(ErrorKind::BadName, where + ": record at offset " +
                                                           std::to_string(child.record) + ": " +
                                                           name_fault_text(child.fault));
                if (depth + 1 > v2::kMaxFolderDepth)
                    return failure(ErrorKind::DirectoryLoop,
                                   "folder " + display_path(entry.path) + ": nested deeper than " +
                                       std::to_string(v2::kMaxFolderDepth) + " levels");
                const std::size_t index = entries_.size();
                entries_.push_back(entry);
                files_.emplace_back();
                if (Error error = walk_folder(child.record, entry.path, depth + 1, index))
                    return error;
                continue;
            }
            const std::uint8_t* r = at(child.record);
            entry.size = load_u32(r + v2::kFileSizeAt);
            entry.data_offset = load_u32(r + v2::kFileDataStartAt);
            // The record names no method; real archives are zlib throughout,
            // and each chunk names its own.
            entry.method = Method::Zlib;
            entry.bad_name = child.fault != NameFault::None;
            entries_.push_back(std::move(entry));
            files_.push_back(
                {load_u32(r + v2::kFileStoredSizeAt), load_u32(r + v2::kFileChecksumAt), child.fault});
            if (self)
                ++entries_[*self].size;
        }
        return {};
    }

    std::span<const std::uint8_t> block_;
    std::span<const std::uint8_t> names_;
    std::vector<bool> claimed_;
    std::vector<Entry>& entries_;
    std::vector<FileRecord>& files_;
};

// Reads [pos, stop) of the file front to back, a piece at a time.
class Cursor {
public:
    Cursor(const FileHandle& file, std::uint64_t pos, std::uint64_t stop)
        : file_(file), pos_(pos), stop_(stop),
          capacity_(std::size_t(std::min<std::uint64_t>(kPiece, stop - pos))),
          buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(capacity_))
    {
    }

    std::uint64_t pos() const { return pos_; }
    std::uint64_t left() const { return stop_ - pos_; }

    // The next n bytes (n <= kPiece and n <= left()), read along with what
    // follows them unless they are held already. They stay valid, and may be
    // changed, until the next call.
    Error peek(std::size_t n, std::span<std::uint8_t>& out)
    {
        if (held_ < n) {
            std::memmove(buffer_.get(), buffer_.get() + front_, held_);
            front_ = 0;
            const auto more = std::size_t(std::min<std::uint64_t>(capacity_ - held_, left() - held_));
            if (Error error = file_.read_at(pos_ + held_, {buffer_.get() + held_, more}))
                return error;
            held_ += more;
        }
        out = {buffer_.get() + front_, n};
        return {};
    }

    // The same, and the bytes are consumed.
    Error next(std::size_t n, std::span<std::uint8_t>& out)
    {
        if (Error error = peek(n, out))
            return error;
        skip(n);
        return {};
    }

    void skip(std::uint64_t n)
    {
        if (n <= held_) {
            front_ += std::size_t(n);
            held_ -= std::size_t(n);
        } else {
            front_ = held_ = 0;
        }
        pos_ += n;
    }

private:
    const FileHandle& file_;
    std::uint64_t pos_;
    std::uint64_t stop_;
    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t front_ = 0;
    std::size_t held_ = 0;
};

class Version2Layout final : public Layout {
public:
    Version2Layout(const FileHandle& file, std::uint64_t size, std::uint32_t data_start,
                   std::vector<FileRecord> files)
        : file_(file), size_(size), data_start_(data_start), files_(std::move(files)),
          checked_(std::make_unique<std::atomic<std::uint64_t>[]>(files_.size()))
    {
    }

    Error read_range(std::size_t index, const Entry& entry, std::uint64_t begin, std::uint64_t end,
                     const Sink& sink) const override;
    std::unique_ptr<Reading> reading(std::size_t index, const Entry& entry,
                                     std::uint64_t offset) const override;
    bool decodes_from_start() const override { return true; }

    Error entry_fault(std::size_t index, const Entry& entry) const override
    {
        if (files_[index].name_fault == NameFault::None)
            return {};
        return failure(ErrorKind::BadName,
                       entry_label(entry) + ": " + name_fault_text(files_[index].name_fault));
    }

private:
    friend class Version2Reading;

    const FileHandle& file_;
    std::uint64_t size_;
    std::uint32_t data_start_;
    std::vector<FileRecord> files_;  // by entry index; unused for folders
    // By entry index: 1 + the offset of the last chunk of that file whose
    // whole payload was summed and found right before it was decoded; 0
    // while there is none.
    std::unique_ptr<std::atomic<std::uint64_t>[]> checked_;
};

// One file's content read front to back, able to stop after any byte and go
// on later from there. A file is one chunk of up to its whole size: a range
// of it is decoded from the chunk's start, and a reading that goes on from
// where the last range stopped decodes the chunk once however many ranges
// it is read in.
class Version2Reading final : public Reading {
public:
    // Reading starts at content offset `from`. A reading of less than the
    // whole content (`check_first`) checks a chunk's checksum before any of
    // its bytes go out.
    Version2Reading(const Version2Layout& layout, std::size_t index, const Entry& entry, std::uint64_t from,
                    bool check_first)
        : layout_(layout), index_(index), entry_(entry), record_(layout.files_[index]), from_(from),
          check_first_(check_first)
    {
    }

    Error read_to(std::uint64_t end, const Sink& sink) override
    {
        if (pos_ < from_)
            if (Error error = advance(from_, nullptr))
                return error;
        return advance(end, &sink);
    }
    std::uint64_t offset() const override { return std::max(pos_, from_); }

private:
    // Moves to content offset `stop`, handing the bytes on the way to sink,
    // or passing over them, unread where it can, when there is none. Reaching
    // the file's end also reads what is stored after its last byte, and
    // checks the content checksum when every byte came through this reading.
    // A failure is kept: every later call gives it again.
    Error advance(std::uint64_t stop, const Sink* sink);
    Error start();
    Error advance_raw();
    Error advance_chunks();
    Error start_chunk();
    Error check_payload_first();
    Error feed_chunk();
    Error next_payload_piece(std::span<std::uint8_t>& piece);
    Error blame_checksum(const std::string& fault);
    Error checksum_error(std::uint32_t sum) const;
    Error end_of_file();

    // Takes plain bytes fresh from the decoder: true while more are wanted.
    bool take(std::span<const std::uint8_t> plain);
    // Hands the part of `bytes` before the stop to the sink; returns its size.
    std::size_t hand_out(std::span<const std::uint8_t> bytes);
    bool wants_more() const { return !declined_ && pos_ < stop_; }
    bool at_the_end() const { return stop_ == entry_.size; }

    std::string label() const { return entry_label(entry_) + ": "; }
    std::string chunk_label() const
    {
        return label() + "chunk " + std::to_string(number_) + " at offset " + std::to_string(chunk_at_) +
               ": ";
    }

    const Version2Layout& layout_;
    const std::size_t index_;
    const Entry& entry_;
    const FileRecord& record_;
    const std::uint64_t from_;
    const bool check_first_;

    Error error_;
    bool started_ = false;
    bool raw_ = false;            // the stored bytes are the content, no chunk
    bool ended_ = false;          // read to the end of the stored data and checked
    std::optional<Cursor> data_;  // the stored data, front to back
    std::uint64_t pos_ = 0;       // content offset of the next byte handed out
    std::uint64_t stop_ = 0;
    const Sink* sink_ = nullptr;
    bool declined_ = false;
    // Decoded past the last stop, to be handed out first by the next call;
    // less than one output piece of the decoder.
    std::vector<std::uint8_t> held_;
    std::size_t held_at_ = 0;
    bool every_byte_ = true;  // no byte passed over unread: the content checksum holds
    v2::ContentChecksum checksum_;

    // The chunk being decoded.
    bool in_chunk_ = false;
    ChunkHeader chunk_{};
    std::uint32_t number_ = 0;
    std::uint64_t chunk_at_ = 0;          // file offset of its header
    std::uint64_t done_ = 0;              // payload bytes read
    std::uint32_t sum_ = 0;               // of those
    std::span<const std::uint8_t> rest_;  // read, deobfuscated, not yet decoded
    ChunkStream stream_;
};

Error Version2Reading::advance(std::uint64_t stop, const Sink* sink)
{
    if (error_)
        return error_;
    if (!started_)
        error_ = start();
    if (!error_) {
        stop_ = std::clamp<std::uint64_t>(stop, pos_, entry_.size);
        sink_ = sink;
        declined_ = false;
        error_ = raw_ ? advance_raw() : advance_chunks();
    }
    return error_;
}

Error Version2Reading::start()
{
    started_ = true;
    const std::uint64_t start = entry_.data_offset;
    const std::uint64_t stop = start + record_.stored_size;
    const std::string data = "data " + range_text(start, record_.stored_size);
    if (start < layout_.data_start_)
        return failure(ErrorKind::BadOffset, label() + data + " starts before the file data at " +
                                                 std::to_string(layout_.data_start_));
    if (stop > layout_.size_)
        return failure(ErrorKind::Truncated,
                       label() + data + " runs past the end of the file at " + std::to_string(layout_.size_));
    data_.emplace(layout_.file_, start, stop);
    // Stored bytes that begin with a chunk marker are always a chunk.
    std::span<std::uint8_t> marker;
    if (Error error =
            data_->peek(std::size_t(std::min<std::uint64_t>(format::kWordSize, data_->left())), marker))
        return failure(error.kind, label() + error.message);
    if (starts_a_chunk(marker))
        return {};
    if (record_.stored_size != entry_.size)
        return failure(ErrorKind::BadCompressedData, label() + data + " is neither a chunk nor the file's " +
                                                         std::to_string(entry_.size) + " bytes as they are");
    raw_ = true;
    return {};
}

std::size_t Version2Reading::hand_out(std::span<const std::uint8_t> bytes)
{
    const auto n = std::size_t(std::min<std::uint64_t>(bytes.size(), stop_ - pos_));
    if (n > 0 && sink_ && !(*sink_)(bytes.first(n)))
        declined_ = true;
    pos_ += n;
    return n;
}

bool Version2Reading::take(std::span<const std::uint8_t> plain)
{
    if (every_byte_)
        checksum_.add(plain);
    const std::size_t n = hand_out(plain);
    // The bytes past the stop wait for the next call. A chunk never gives
    // more than the file's size, so there are none once the stop is its end.
    if (n < plain.size()) {
        held_.assign(plain.begin() + std::ptrdiff_t(n), plain.end());
        held_at_ = 0;
    }
    return !declined_ && (pos_ < stop_ || at_the_end());
}

Error Version2Reading::advance_raw()
{
    if (!sink_ && pos_ < stop_) {
        data_->skip(stop_ - pos_);
        pos_ = stop_;
        every_byte_ = false;
    }
    while (wants_more()) {
        std::span<std::uint8_t> piece;
        if (Error error = data_->next(std::size_t(std::min<std::uint64_t>(kPiece, stop_ - pos_)), piece))
            return failure(error.kind, label() + error.message);
        take(piece);
    }
    if (declined_ || pos_ < entry_.size)
        return {};
    return end_of_file();
}

Error Version2Reading::advance_chunks()
{
    if (held_at_ < held_.size()) {
        held_at_ += hand_out({held_.data() + held_at_, held_.size() - held_at_});
        if (held_at_ < held_.size())
            return {};
        held_.clear();
        held_at_ = 0;
    }
    while (!declined_) {
        if (in_chunk_) {
            if (Error error = feed_chunk())
                return error;
            if (in_chunk_)
                return {};  // stopped inside it
            continue;
        }
        if (pos_ >= stop_ && !at_the_end())
            return {};
        if (data_->left() == 0) {
            if (pos_ != entry_.size)
                return failure(ErrorKind::BadCompressedData, label() + "its chunks hold " +
                                                                 std::to_string(pos_) + " of its " +
                                                                 std::to_string(entry_.size) + " bytes");
            return end_of_file();
        }
        if (Error error = start_chunk())
            return error;
    }
    return {};
}

Error Version2Reading::start_chunk()
{
    ++number_;
    chunk_at_ = data_->pos();
    if (data_->left() < format::kChunkHeaderSize)
        return failure(ErrorKind::BadCompressedData,
                       chunk_label() + "the 19-byte chunk header does not fit in the " +
                           std::to_string(data_->left()) + " stored bytes left");
    std::span<std::uint8_t> bytes;
    if (Error error = data_->next(format::kChunkHeaderSize, bytes))
        return failure(error.kind, chunk_label() + error.message);
    chunk_ = parse_chunk_header(bytes.data());
    const std::uint64_t plain_left = entry_.size - pos_;
    if (chunk_.marker != format::kChunkMarker)
        return failure(ErrorKind::BadCompressedData, chunk_label() + "no SQSH marker");
    if (chunk_.plain_size > plain_left)
        return failure(ErrorKind::BadCompressedData,
                       chunk_label() + "plain size " + std::to_string(chunk_.plain_size) + " exceeds the " +
                           std::to_string(plain_left) + " bytes left of the file");
    if (chunk_.payload_size > data_->left())
        return failure(ErrorKind::BadOffset, chunk_label() + "payload of " +
                                                 std::to_string(chunk_.payload_size) +
                                                 " bytes overruns the file's stored size by " +
                                                 std::to_string(chunk_.payload_size - data_->left()));
    // A chunk wholly before where bytes are wanted is passed over unread.
    if (!sink_ && pos_ + chunk_.plain_size <= stop_) {
        pos_ += chunk_.plain_size;
        data_->skip(chunk_.payload_size);
        every_byte_ = every_byte_ && chunk_.plain_size == 0;
        return {};
    }
    if (check_first_ && chunk_.payload_size > kPiece)
        if (Error error = check_payload_first())
            return error;
    if (std::string fault = stream_.start(chunk_.method, chunk_.plain_size); !fault.empty())
        return failure(ErrorKind::BadCompressedData, chunk_label() + fault);
    in_chunk_ = true;
    done_ = 0;
    sum_ = 0;
    rest_ = {};
    return {};
}

// A payload longer than one piece is decoded before its end is read, so its
// checksum is checked first, over all of it: the sum costs one read of the
// stored bytes, far less than decoding them. It is remembered for the file,
// so that ranges read one after another (a mount's blocks) sum it once.
Error Version2Reading::check_payload_first()
{
    std::atomic<std::uint64_t>& checked = layout_.checked_[index_];
    if (checked.load(std::memory_order_relaxed) == chunk_at_ + 1)
        return {};
    Cursor payload(layout_.file_, data_->pos(), data_->pos() + chunk_.payload_size);
    std::uint32_t sum = 0;
    while (payload.left() > 0) {
        std::span<std::uint8_t> piece;
        if (Error error = payload.next(std::size_t(std::min<std::uint64_t>(kPiece, payload.left())), piece))
            return failure(error.kind, chunk_label() + error.message);
        sum += format::chunk_checksum(piece);
    }
    if (sum != chunk_.checksum)
        return checksum_error(sum);
    checked.store(chunk_at_ + 1, std::memory_order_relaxed);
    return {};
}

Error Version2Reading::feed_chunk()
{
    const auto take = [this](std::span<const std::uint8_t> plain) { return this->take(plain); };
    while (true) {
        bool stopped = false;
        if (std::string fault = stream_.feed(rest_, take, stopped); !fault.empty())
            return blame_checksum(fault);
        if (stopped)
            return {};
        if (done_ == chunk_.payload_size)
            break;
        std::span<std::uint8_t> piece;
        if (Error error = next_payload_piece(piece))
            return error;
        // A payload held whole is checked before any of it is decoded.
        if (done_ == chunk_.payload_size && sum_ != chunk_.checksum)
            return checksum_error(sum_);
        if (chunk_.obfuscated)
            format::deobfuscate(piece, done_ - piece.size());
        rest_ = piece;
    }
    if (std::string fault = stream_.finish(); !fault.empty())
        return failure(ErrorKind::BadCompressedData, chunk_label() + fault);
    in_chunk_ = false;
    return {};
}

// Reads the chunk's next stored bytes, at most a piece, and adds them to its sum.
Error Version2Reading::next_payload_piece(std::span<std::uint8_t>& piece)
{
    const auto length = std::size_t(std::min<std::uint64_t>(kPiece, chunk_.payload_size - done_));
    if (Error error = data_->next(length, piece))
        return failure(error.kind, chunk_label() + error.message);
    sum_ += format::chunk_checksum(piece);
    done_ += piece.size();
    return {};
}

// Data that fails to decode is blamed on the chunk's checksum when its bytes
// were changed: what is left of the payload is summed.
Error Version2Reading::blame_checksum(const std::string& fault)
{
    while (done_ < chunk_.payload_size) {
        std::span<std::uint8_t> piece;
        if (Error error = next_payload_piece(piece))
            return error;
    }
    if (sum_ != chunk_.checksum)
        return checksum_error(sum_);
    return failure(ErrorKind::BadCompressedData, chunk_label() + fault);
}

Error Version2Reading::checksum_error(std::uint32_t sum) const
{
    return failure(ErrorKind::BadChecksum,
                   chunk_label() + "checksum " + hex(sum) + " expected " + hex(chunk_.checksum));
}

Error Version2Reading::end_of_file()
{
    if (ended_)
        return {};
    ended_ = true;
    if (!every_byte_)
        return {};
    const std::uint32_t sum = checksum_.value();
    if (sum == record_.checksum)
        return {};
    return failure(ErrorKind::BadChecksum, label() + "content checksum " + hex(sum) +
                                               ", the file record says " + hex(record_.checksum));
}

Error Version2Layout::read_range(std::size_t index, const Entry& entry, std::uint64_t begin,
                                 std::uint64_t end, const Sink& sink) const
{
    // A read of the whole content checks each chunk as it comes (a damaged
    // payload may be found after bytes before it went out, as read() says).
    const bool whole = begin == 0 && end == entry.size;
    return Version2Reading(*this, index, entry, begin, !whole).read_to(end, sink);
}

std::unique_ptr<Reading> Version2Layout::reading(std::size_t index, const Entry& entry,
                                                 std::uint64_t offset) const
{
    return std::make_unique<Version2Reading>(*this, index, entry, offset, true);
}

}  // namespace

Result<std::unique_ptr<Layout>> open_version2(const FileHandle& file, std::uint64_t file_size,
                                              std::span<const std::uint8_t> head, std::vector<Entry>& entries)
{
    auto header = parse_header(head, file_size);
    if (!header)
        return header.error();
    auto names = load_block(file, "names block", header->names_offset, header->names_size);
    if (!names)
        return names.error();
    auto block = load_block(file, "directory block", header->directory_offset, header->directory_size);
    if (!block)
        return block.error();
    std::vector<FileRecord> files;
    TreeWalker walker(*block, *names, entries, files);
    if (Error error = walker.walk())
        return error;
    return std::unique_ptr<Layout>(
        std::make_unique<Version2Layout>(file, file_size, header->data_start, std::move(files)));
}

}  // namespace hpi::detail

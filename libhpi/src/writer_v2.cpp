#include "writer_v2.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "format.h"
#include "writer_source.h"

namespace hpi::detail {
namespace {

namespace v2 = format::v2;

// A file is read, compressed and written this much at a time.
constexpr std::size_t kPiece = 256 * 1024;
constexpr std::uint64_t kProgressStep = 1u << 20;  // report big files every MiB
constexpr int kMostZlibLevel = 9;                  // zlib's own scale stops at 9

Error too_large(const std::string& where)
{
    return Error{ErrorKind::TooLarge, "the archive would pass the format's 4 GiB limit at " + where};
}

struct PackedFile {
    const TreeNode* node = nullptr;
    std::string archive_path;
    std::size_t record = 0;  // its file record inside the directory block
    std::uint32_t data_start = 0;
    std::uint32_t stored_size = 0;
    std::uint32_t mtime = 0;
    std::uint32_t checksum = 0;
};

// The directory and names blocks. A cursor starts after the root's record;
// folders are handled depth first, and for each its subfolder records come
// at the cursor, then its file records, then each subfolder in turn. Every
// record gets its own copy of its name, in record order, after the root's
// empty one. Both lists come sorted as the tree keeps its children.
class RecordLayout {
public:
    explicit RecordLayout(const TreeNode& root)
    {
        names_.push_back(0);
        grow(v2::kFolderRecordSize);
        place(root, 0, "");
    }
    const std::vector<std::uint8_t>& block() const { return block_; }
    const std::vector<std::uint8_t>& names() const { return names_; }
    std::vector<PackedFile>& files() { return files_; }

    void fill_file_records()
    {
        for (const PackedFile& f : files_) {
            std::uint8_t* r = block_.data() + f.record;
            format::store_u32(r + v2::kFileDataStartAt, f.data_start);
            format::store_u32(r + v2::kFileSizeAt, std::uint32_t(f.node->size));
            format::store_u32(r + v2::kFileStoredSizeAt, f.stored_size);
            format::store_u32(r + v2::kFileTimeAt, f.mtime);
            format::store_u32(r + v2::kFileChecksumAt, f.checksum);
        }
    }

private:
    static std::string joined(const std::string& path, const TreeNode& node)
    {
        return path.empty() ? node.name : path + "\\" + node.name;
    }

    void place(const TreeNode& folder, std::size_t record, const std::string& path)
    {
        std::vector<const TreeNode*> folders, files;
        for (const auto& [key, child] : folder.children)
            (child->is_directory ? folders : files).push_back(child.get());
        const std::size_t folders_at = grow(v2::kFolderRecordSize * folders.size());
        const std::size_t files_at = grow(v2::kFileRecordSize * files.size());
        std::uint8_t* r = block_.data() + record;
        format::store_u32(r + v2::kFolderSubfoldersAt, std::uint32_t(folders_at));
        format::store_u32(r + v2::kFolderSubfolderCountAt, std::uint32_t(folders.size()));
        format::store_u32(r + v2::kFolderFilesAt, std::uint32_t(files_at));
        format::store_u32(r + v2::kFolderFileCountAt, std::uint32_t(files.size()));
        for (std::size_t i = 0; i < folders.size(); ++i)
            name(folders_at + i * v2::kFolderRecordSize + v2::kFolderNameAt, *folders[i]);
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::size_t at = files_at + i * v2::kFileRecordSize;
            name(at + v2::kFileNameAt, *files[i]);
            files_.push_back({.node = files[i], .archive_path = joined(path, *files[i]), .record = at});
        }
        for (std::size_t i = 0; i < folders.size(); ++i)
            place(*folders[i], folders_at + i * v2::kFolderRecordSize, joined(path, *folders[i]));
    }

    void name(std::size_t field, const TreeNode& node)
    {
        format::store_u32(block_.data() + field, std::uint32_t(names_.size()));
        names_.insert(names_.end(), node.name.begin(), node.name.end());
        names_.push_back(0);
    }

    std::size_t grow(std::size_t n)
    {
        const std::size_t at = block_.size();
        block_.resize(at + n, 0);
        return at;
    }

    std::vector<std::uint8_t> block_;
    std::vector<std::uint8_t> names_;
    std::vector<PackedFile> files_;
};

std::vector<std::uint8_t> chunk_header(Method method, bool obfuscated, std::uint64_t payload_size,
                                       std::uint64_t plain_size, std::uint32_t checksum)
{
    std::vector<std::uint8_t> h(format::kChunkHeaderSize);
    format::store_chunk_header(h.data(), {.marker = format::kChunkMarker,
                                          .method = std::uint8_t(method),
                                          .obfuscated = obfuscated,
                                          .payload_size = std::uint32_t(payload_size),
                                          .plain_size = std::uint32_t(plain_size),
                                          .checksum = checksum});
    return h;
}

// A block as it is stored: one obfuscated zlib chunk, or the block itself
// where that chunk would not be shorter.
Result<std::vector<std::uint8_t>> stored_block(const std::vector<std::uint8_t>& plain, int level)
{
    uLongf room = compressBound(uLong(plain.size()));
    std::vector<std::uint8_t> payload(room);
    if (compress2(payload.data(), &room, plain.data(), uLong(plain.size()), level) != Z_OK)
        return Error{ErrorKind::IoError,
                     "zlib compression of a block of " + std::to_string(plain.size()) + " bytes failed"};
    payload.resize(room);
    if (format::kChunkHeaderSize + payload.size() >= plain.size())
        return plain;
    format::obfuscate(payload);
    std::vector<std::uint8_t> chunk =
        chunk_header(Method::Zlib, true, payload.size(), plain.size(), format::chunk_checksum(payload));
    chunk.insert(chunk.end(), payload.begin(), payload.end());
    return chunk;
}

// zlib's deflate state, reused from file to file.
class Deflater {
public:
    ~Deflater()
    {
        if (ready_)
            deflateEnd(&z_);
    }
    Error restart(int level)
    {
        if (ready_ ? deflateReset(&z_) == Z_OK : (ready_ = deflateInit(&z_, level) == Z_OK))
            return {};
        return Error{ErrorKind::IoError,
                     "cannot start the zlib compressor at level " + std::to_string(level)};
    }
    z_stream& stream() { return z_; }

private:
    z_stream z_{};
    bool ready_ = false;
};

// Writes the files' data from offset 32 on, each one chunk, and reports
// progress as it goes.
class FileData {
public:
    FileData(const WriteAt& write_at, const PackOptions& options, std::uint64_t largest,
             std::uint64_t bytes_total, const ProgressFn& progress)
        : write_at_(write_at), level_(std::min(options.zlib_level, kMostZlibLevel)),
          deflate_(options.method == Method::Zlib), largest_(largest), total_(bytes_total),
          progress_(progress), stop_(options.stop), in_(kPiece), out_(kPiece)
    {
    }

    std::uint64_t end() const { return pos_; }

    Error write(PackedFile& f)
    {
        Result<FileDescriptor> fd = open_source(f.node->disk_file, f.node->size);
        if (!fd)
            return fd.error();
        struct stat st {};
        if (::fstat(fd->get(), &st) != 0)
            return io_error("cannot examine " + in_quotes(f.node->disk_file), errno);
        f.mtime = std::uint32_t(
            std::clamp<std::int64_t>(st.st_mtime, 0, std::numeric_limits<std::uint32_t>::max()));
        f.data_start = std::uint32_t(pos_);  // pos_ <= largest_ <= 2^32 - 1
        if (format::kChunkHeaderSize > largest_ - pos_)
            return too_large("'" + f.archive_path + "'");
        payload_at_ = pos_ + format::kChunkHeaderSize;
        payload_ = 0;
        sum_ = 0;

        // An empty file is one zlib chunk of the empty input, stored or not.
        const bool deflating = deflate_ || f.node->size == 0;
        if (deflating)
            if (Error e = deflater_.restart(level_))
                return e;
        v2::ContentChecksum content;
        std::uint64_t left = f.node->size;
        do {
            if (stop_ && stop_->load(std::memory_order_relaxed))
                return Error{ErrorKind::Interrupted, "packing was interrupted"};
            const auto n = std::size_t(std::min<std::uint64_t>(kPiece, left));
            if (Error e = read_exactly(fd->get(), f.node->disk_file, in_.data(), n))
                return e;
            left -= n;
            const std::span<const std::uint8_t> plain(in_.data(), n);
            content.add(plain);
            if (Error e = deflating ? compress(f, plain, left == 0) : put(f, plain))
                return e;
            done_ += n;
            if (left > 0 && done_ - reported_ >= kProgressStep)
                report(f);
        } while (left > 0);
        if (Error e = expect_end(fd->get(), f.node->disk_file))
            return e;

        const auto header =
            chunk_header(deflating ? Method::Zlib : Method::Stored, false, payload_, f.node->size, sum_);
        if (Error e = write_at_(pos_, header))
            return e;
        f.stored_size = std::uint32_t(format::kChunkHeaderSize + payload_);
        f.checksum = content.value();
        pos_ = payload_at_ + payload_;
        report(f);
        return {};
    }

    // The last report of an archive without files.
    void report_empty()
    {
        if (progress_)
            progress_(PackProgress{});
    }

private:
    Error compress(const PackedFile& f, std::span<const std::uint8_t> plain, bool last)
    {
        z_stream& z = deflater_.stream();
        z.next_in = const_cast<Bytef*>(plain.data());
        z.avail_in = uInt(plain.size());
        const int flush = last ? Z_FINISH : Z_NO_FLUSH;
        for (;;) {
            z.next_out = out_.data();
            z.avail_out = uInt(out_.size());
            const int result = deflate(&z, flush);
            if (result == Z_STREAM_ERROR)
                return Error{ErrorKind::IoError, "zlib compression of '" + f.archive_path + "' failed"};
            if (Error e = put(f, {out_.data(), out_.size() - z.avail_out}))
                return e;
            if (last ? result == Z_STREAM_END : z.avail_out != 0)
                return {};
        }
    }

    Error put(const PackedFile& f, std::span<const std::uint8_t> bytes)
    {
        if (bytes.size() > largest_ - (payload_at_ + payload_))
            return too_large("'" + f.archive_path + "'");
        if (Error e = write_at_(payload_at_ + payload_, bytes))
            return e;
        sum_ += format::chunk_checksum(bytes);
        payload_ += bytes.size();
        return {};
    }

    void report(const PackedFile& f)
    {
        reported_ = done_;
        report_progress(progress_, f.node->disk_file, f.archive_path, done_, total_);
    }

    const WriteAt& write_at_;
    int level_;
    bool deflate_;
    std::uint64_t largest_;
    std::uint64_t total_;
    const ProgressFn& progress_;
    const std::atomic<bool>* stop_;
    std::vector<std::uint8_t> in_, out_;
    Deflater deflater_;
    std::uint64_t pos_ = v2::kHeaderSize;
    std::uint64_t payload_at_ = 0;
    std::uint64_t payload_ = 0;
    std::uint32_t sum_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t reported_ = 0;
};

// Version 1 holds any byte in a name but the separators; version 2's
// readers take a control byte for damage.
bool has_control_byte(std::string_view name)
{
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

Error check_folder(const TreeNode& folder, const std::string& path, std::size_t depth)
{
    for (const auto& [key, child] : folder.children) {
        const std::string child_path = path.empty() ? child->name : path + "\\" + child->name;
        if (has_control_byte(child->name))
            return Error{ErrorKind::InvalidArgument,
                         "'" + child_path + "': a version-2 archive holds no name with control characters"};
        if (!child->is_directory)
            continue;
        if (depth + 1 > v2::kMaxFolderDepth)
            return Error{ErrorKind::InvalidArgument, "'" + child_path + "' nests more than " +
                                                         std::to_string(v2::kMaxFolderDepth) +
                                                         " folders, the most a version-2 archive holds"};
        if (Error e = check_folder(*child, child_path, depth + 1))
            return e;
    }
    return {};
}

}  // namespace

Error check_version2_tree(const TreeNode& root)
{
    return check_folder(root, "", 0);
}

Error write_version2(const TreeNode& root, const WriteAt& write_at, const PackOptions& options,
                     const ProgressFn& progress, std::uint64_t largest)
{
    if (v2::kHeaderSize > largest)
        return too_large("the header");
    RecordLayout layout(root);
    std::uint64_t total = 0;
    for (const PackedFile& f : layout.files())
        total += f.node->size;
    FileData data(write_at, options, largest, total, progress);
    for (PackedFile& f : layout.files())
        if (Error e = data.write(f))
            return e;
    layout.fill_file_records();

    const int level = std::min(options.zlib_level, kMostZlibLevel);
    auto names = stored_block(layout.names(), level);
    if (!names)
        return names.error();
    auto block = stored_block(layout.block(), level);
    if (!block)
        return block.error();
    const std::uint64_t names_at = data.end();
    const std::uint64_t block_at = names_at + names->size();
    if (block->size() > largest || block_at > largest - block->size())
        return too_large("the blocks");
    if (Error e = write_at(names_at, *names))
        return e;
    if (Error e = write_at(block_at, *block))
        return e;

    std::vector<std::uint8_t> h(v2::kHeaderSize, 0);
    format::store_u32(&h[v2::kHeaderMarkerAt], format::kMarker);
    format::store_u32(&h[v2::kHeaderVersionAt], format::kVersion2);
    format::store_u32(&h[v2::kHeaderDirectoryOffsetAt], std::uint32_t(block_at));
    format::store_u32(&h[v2::kHeaderDirectorySizeAt], std::uint32_t(block->size()));
    format::store_u32(&h[v2::kHeaderNamesOffsetAt], std::uint32_t(names_at));
    format::store_u32(&h[v2::kHeaderNamesSizeAt], std::uint32_t(names->size()));
    format::store_u32(&h[v2::kHeaderDataStartAt], std::uint32_t(v2::kHeaderSize));
    format::store_u32(&h[v2::kHeaderReservedAt], 0);
    if (Error e = write_at(0, h))
        return e;
    if (layout.files().empty())
        data.report_empty();
    return {};
}

}  // namespace hpi::detail

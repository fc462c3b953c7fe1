#include "writer_pack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "hpi/file_descriptor.h"
#include "format.h"
#include "temporary_archive.h"
#include "writer_pipeline.h"
#include "writer_source.h"
#include "writer_v2.h"

namespace hpi::detail {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kMostWorkers = 64;
// Pieces handed to the workers ahead of the one being written, per worker.
// Most files of a game archive are a few KiB: with only a couple of pieces
// ahead, each worker waits on this thread's opening and reading of the next
// file. At 64 KiB a piece (and as much again compressed), 16 a worker hold
// about 2 MiB each.
constexpr std::size_t kPiecesAheadPerWorker = 16;
constexpr std::uint64_t kProgressStep = 1u << 20;  // report big files every MiB

bool is_compressed(Method m)
{
    return m == Method::Lz77 || m == Method::Zlib;
}

std::uint64_t chunk_count(std::uint64_t size)
{
    return (size + format::kChunkSize - 1) / format::kChunkSize;
}

// ---------------------------------------------------------------- layout

struct PackedFile {
    const TreeNode* node = nullptr;
    std::string archive_path;
    std::size_t record_pos = 0;  // its file record inside the directory block
    Method method = Method::Stored;
    std::uint32_t data_start = 0;
};

// Lays out the directory block: each directory record, then its entry
// records, then for each entry its name and its file record or directory.
// File records get their data_start once the data is written.
class DirectoryLayout {
public:
    DirectoryLayout(const TreeNode& root, Method method) : method_(method) { add_directory(root, ""); }
    std::vector<std::uint8_t>& block() { return block_; }
    std::vector<PackedFile>& files() { return files_; }

    void fill_file_records()
    {
        for (const PackedFile& f : files_) {
            std::uint8_t* rec = block_.data() + f.record_pos;
            format::store_u32(rec + format::kFileDataStartAt, f.data_start);
            format::store_u32(rec + format::kFileSizeAt, std::uint32_t(f.node->size));
            rec[format::kFileMethodAt] = std::uint8_t(f.method);
        }
    }

private:
    std::uint32_t absolute(std::size_t pos) const { return std::uint32_t(format::kHeaderSize + pos); }

    void add_directory(const TreeNode& dir, const std::string& path)
    {
        std::size_t record = grow(format::kDirectoryRecordSize);
        std::size_t entries = grow(format::kEntryRecordSize * dir.children.size());
        format::store_u32(&block_[record + format::kDirectoryEntryCountAt],
                          std::uint32_t(dir.children.size()));
        format::store_u32(&block_[record + format::kDirectoryEntriesAt], absolute(entries));

        std::size_t slot = entries;
        for (const auto& [key, child] : dir.children) {
            std::size_t name = grow(child->name.size() + 1);
            std::memcpy(&block_[name], child->name.data(), child->name.size());
            std::string child_path = path.empty() ? child->name : path + "\\" + child->name;
            std::size_t data = block_.size();
            if (child->is_directory) {
                add_directory(*child, child_path);
            } else {
                grow(format::kFileRecordSize);
                Method m = child->size == 0 ? Method::Stored : method_;
                files_.push_back({child.get(), std::move(child_path), data, m, 0});
            }
            format::store_u32(&block_[slot + format::kEntryNameAt], absolute(name));
            format::store_u32(&block_[slot + format::kEntryRecordAt], absolute(data));
            block_[slot + format::kEntryIsDirectoryAt] = child->is_directory ? 1 : 0;
            slot += format::kEntryRecordSize;
        }
    }

    std::size_t grow(std::size_t n)
    {
        std::size_t at = block_.size();
        block_.resize(at + n, 0);
        return at;
    }

    Method method_;
    std::vector<std::uint8_t> block_;
    std::vector<PackedFile> files_;
};

// ---------------------------------------------------------------- disk files

// Cuts the files, in packing order, into pieces of one chunk each. An empty
// file still yields one empty piece so that it gets its place and its
// progress report.
class PieceSource {
public:
    explicit PieceSource(const std::vector<PackedFile>& files) : files_(files) {}

    bool exhausted() const { return file_ >= files_.size(); }

    Result<std::unique_ptr<PieceJob>> next()
    {
        const PackedFile& f = files_[file_];
        if (offset_ == 0) {
            Result<FileDescriptor> fd = open_source(f.node->disk_file, f.node->size);
            if (!fd)
                return fd.error();
            source_ = std::move(*fd);
        }
        auto job = std::make_unique<PieceJob>();
        job->file = file_;
        job->raw = !is_compressed(f.method);
        job->first_of_file = offset_ == 0;
        std::size_t n = std::size_t(std::min<std::uint64_t>(format::kChunkSize, f.node->size - offset_));
        job->plain.resize(n);
        job->plain_size = n;
        if (n > 0)
            if (Error e = read_exactly(source_.get(), f.node->disk_file, job->plain.data(), n))
                return e;
        offset_ += n;
        if (offset_ == f.node->size) {
            if (Error e = expect_end(source_.get(), f.node->disk_file))
                return e;
            job->last_of_file = true;
            source_.reset();
            offset_ = 0;
            ++file_;
        }
        return job;
    }

private:
    const std::vector<PackedFile>& files_;
    std::size_t file_ = 0;
    std::uint64_t offset_ = 0;
    FileDescriptor source_;
};

// ---------------------------------------------------------------- assembly

// Receives the pieces in order and puts them in place: for a compressed file
// the chunk length array is reserved first and filled in after its last chunk.
class DataWriter {
public:
    DataWriter(TemporaryArchive& out, std::vector<PackedFile>& files, std::uint64_t start,
               std::uint64_t largest, std::uint64_t bytes_total, const ProgressFn& progress)
        : out_(out), files_(files), pos_(start), largest_(largest), total_(bytes_total), progress_(progress)
    {
    }

    Error accept(const PieceJob& piece)
    {
        PackedFile& f = files_[piece.file];
        if (piece.first_of_file)
            if (Error e = begin_file(f))
                return e;
        if (piece.plain_size > 0 || is_compressed(f.method)) {
            if (Error e = place(f, piece.out))
                return e;
            if (is_compressed(f.method))
                lengths_.push_back(std::uint32_t(piece.out.size()));
        }
        done_ += piece.plain_size;
        if (piece.last_of_file) {
            if (is_compressed(f.method))
                if (Error e = write_length_array())
                    return e;
            report(f);
        } else if (done_ - reported_ >= kProgressStep) {
            report(f);
        }
        return {};
    }

private:
    Error begin_file(PackedFile& f)
    {
        f.data_start = std::uint32_t(pos_);  // pos_ <= largest_ <= 2^32 - 1
        lengths_.clear();
        if (!is_compressed(f.method))
            return {};
        array_pos_ = pos_;
        return reserve(f, chunk_count(f.node->size) * format::kChunkLengthSize);
    }

    Error reserve(const PackedFile& f, std::uint64_t n)
    {
        if (n > largest_ - pos_)
            return Error{ErrorKind::TooLarge,
                         "the archive would pass the format's 4 GiB limit at '" + f.archive_path + "'"};
        pos_ += n;
        return {};
    }

    Error place(const PackedFile& f, std::span<const std::uint8_t> bytes)
    {
        std::uint64_t at = pos_;
        if (Error e = reserve(f, bytes.size()))
            return e;
        return out_.write_at(at, bytes);
    }

    Error write_length_array()
    {
        std::vector<std::uint8_t> bytes(lengths_.size() * format::kChunkLengthSize);
        for (std::size_t i = 0; i < lengths_.size(); ++i)
            format::store_u32(&bytes[i * format::kChunkLengthSize], lengths_[i]);
        return out_.write_at(array_pos_, bytes);
    }

    void report(const PackedFile& f)
    {
        reported_ = done_;
        report_progress(progress_, f.node->disk_file, f.archive_path, done_, total_);
    }

    TemporaryArchive& out_;
    std::vector<PackedFile>& files_;
    std::uint64_t pos_;
    std::uint64_t largest_;
    std::uint64_t total_;
    const ProgressFn& progress_;
    std::uint64_t done_ = 0;
    std::uint64_t reported_ = 0;
    std::uint64_t array_pos_ = 0;
    std::vector<std::uint32_t> lengths_;
};

Error check_options(const PackOptions& options)
{
    if (options.version != 1 && options.version != 2)
        return Error{ErrorKind::InvalidArgument,
                     "unknown archive version " + std::to_string(options.version) + " (1 or 2)"};
    if (options.version == 2 && options.method == Method::Lz77)
        return Error{ErrorKind::InvalidArgument, "version-2 archives hold zlib or stored files, not LZ77"};
    switch (options.method) {
        case Method::Stored:
        case Method::Lz77:
            return {};
        case Method::Zlib:
            if (options.zlib_level >= 1 && options.zlib_level <= 12)
                return {};
            return Error{ErrorKind::InvalidArgument,
                         "zlib level " + std::to_string(options.zlib_level) + " is outside 1..12"};
    }
    return Error{ErrorKind::InvalidArgument, "unknown packing method " + std::to_string(int(options.method))};
}

unsigned worker_count(const PackOptions& options)
{
    if (!is_compressed(options.method))
        return 0;
    unsigned n = options.threads;
    if (n == 0)
        n = std::thread::hardware_concurrency();
    return std::clamp(n, 1u, kMostWorkers);
}

std::vector<std::uint8_t> header_bytes(std::size_t block_size)
{
    std::vector<std::uint8_t> h(format::kHeaderSize);
    format::store_u32(&h[format::kHeaderMarkerAt], format::kMarker);
    format::store_u32(&h[format::kHeaderVersionAt], format::kVersion1);
    format::store_u32(&h[format::kHeaderDirectoryEndAt], std::uint32_t(format::kHeaderSize + block_size));
    format::store_u32(&h[format::kHeaderKeyAt], 0);  // not encrypted
    format::store_u32(&h[format::kHeaderDirectoryStartAt], std::uint32_t(format::kHeaderSize));
    return h;
}

Error write_file_data(TemporaryArchive& out, std::vector<PackedFile>& files, std::uint64_t start,
                      const PackOptions& options, const ProgressFn& progress, std::uint64_t largest)
{
    std::uint64_t total = 0;
    for (const PackedFile& f : files)
        total += f.node->size;

    const unsigned workers = worker_count(options);
    const std::size_t most_in_flight = kPiecesAheadPerWorker * std::max(workers, 1u);
    ChunkPipeline pipeline(workers, options.method, options.zlib_level);
    PieceSource source(files);
    DataWriter writer(out, files, start, largest, total, progress);

    while (!source.exhausted() || pipeline.in_flight() > 0) {
        while (!source.exhausted() && pipeline.in_flight() < most_in_flight) {
            Result<std::unique_ptr<PieceJob>> piece = source.next();
            if (!piece)
                return piece.error();
            pipeline.submit(std::move(*piece));
        }
        if (options.stop && options.stop->load(std::memory_order_relaxed))
            return Error{ErrorKind::Interrupted, "packing was interrupted"};
        std::unique_ptr<PieceJob> piece = pipeline.next_result();
        if (piece->error)
            return piece->error;
        if (Error e = writer.accept(*piece))
            return e;
    }
    return {};
}

Error pack_version2(const TreeNode& root, const fs::path& target, const PackOptions& options,
                    const ProgressFn& progress, std::uint64_t largest)
{
    if (Error e = check_version2_tree(root))
        return e;
    Result<TemporaryArchive> out = TemporaryArchive::create_beside(target);
    if (!out)
        return out.error();
    const WriteAt write_at = [&out](std::uint64_t pos, std::span<const std::uint8_t> bytes) {
        return out->write_at(pos, bytes);
    };
    if (Error e = write_version2(root, write_at, options, progress, largest))
        return e;
    return out->commit();
}

Error pack_unguarded(const TreeNode& root, const fs::path& target, const PackOptions& options,
                     const ProgressFn& progress, std::uint64_t largest)
{
    if (Error e = check_options(options))
        return e;
    // Even an archive without files, which the loops below would never
    // stop, is not written once a stop was asked for.
    if (options.stop && options.stop->load(std::memory_order_relaxed))
        return Error{ErrorKind::Interrupted, "packing was interrupted"};
    if (options.version == 2)
        return pack_version2(root, target, options, progress, largest);
    DirectoryLayout layout(root, options.method);
    const std::uint64_t data_start = format::kHeaderSize + layout.block().size();
    if (data_start > largest)
        return Error{ErrorKind::TooLarge, "the directory alone would pass the format's 4 GiB limit"};

    Result<TemporaryArchive> out = TemporaryArchive::create_beside(target);
    if (!out)
        return out.error();
    if (Error e = write_file_data(*out, layout.files(), data_start, options, progress, largest))
        return e;
    layout.fill_file_records();
    if (Error e = out->write_at(format::kHeaderSize, layout.block()))
        return e;
    if (Error e = out->write_at(0, header_bytes(layout.block().size())))
        return e;
    if (Error e = out->commit())
        return e;

    if (layout.files().empty() && progress) {
        PackProgress p;
        progress(p);
    }
    return {};
}

}  // namespace

Error pack_tree(const TreeNode& root, const fs::path& target, const PackOptions& options,
                const ProgressFn& progress, std::uint64_t largest_archive)
{
    try {
        return pack_unguarded(root, target, options, progress, largest_archive);
    } catch (const std::bad_alloc&) {
        return Error{ErrorKind::IoError, "out of memory while packing " + in_quotes(target)};
    } catch (const std::system_error& e) {
        return Error{ErrorKind::IoError, std::string("cannot pack ") + in_quotes(target) + ": " + e.what()};
    }
}

}  // namespace hpi::detail

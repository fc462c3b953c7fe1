// The compression limit of packing: the files below TREE are read into memory
// first, then cut into 64 KiB chunks per file and compressed with the
// writer's own chunk encoder at its zlib level, on every core. Only the
// compression is timed: no file is read or written while the clock runs.
//
//   quarrix-bench-compress TREE [--threads N] [--level L]
//
// Prints the seconds of the compression alone on standard output (for
// bench/run to set quarrix-cli pack against), and what was compressed on
// standard error.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "chunk_encode.h"
#include "format.h"
#include "hpi/hpi.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

struct Settings {
    fs::path tree;
    unsigned threads = 0;                       // 0: every core, as the writer counts them
    int level = hpi::PackOptions{}.zlib_level;  // the level quarrix-cli pack uses
};

bool parse(int argc, char** argv, Settings& s)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--threads" || arg == "--level") {
            if (i + 1 >= argc)
                return false;
            long value = std::strtol(argv[++i], nullptr, 10);
            if (value < 0 || value > 64)
                return false;
            if (arg == "--threads")
                s.threads = unsigned(value);
            else
                s.level = int(value);
        } else if (s.tree.empty() && !arg.starts_with("-")) {
            s.tree = arg;
        } else {
            return false;
        }
    }
    return !s.tree.empty() && s.level >= 1 && s.level <= 12;
}

std::vector<Bytes> load_files(const fs::path& tree)
{
    std::vector<Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        if (!in)
            throw std::runtime_error("cannot open " + entry.path().string());
        Bytes& bytes = files.emplace_back(entry.file_size());
        if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
            throw std::runtime_error("cannot read " + entry.path().string());
    }
    return files;
}

// Each file is cut on its own, as the writer cuts it: its last chunk is short.
std::vector<std::span<const std::uint8_t>> cut_into_chunks(const std::vector<Bytes>& files)
{
    std::vector<std::span<const std::uint8_t>> chunks;
    for (const Bytes& file : files)
        for (std::size_t at = 0; at < file.size(); at += hpi::format::kChunkSize)
            chunks.emplace_back(file.data() + at, std::min(hpi::format::kChunkSize, file.size() - at));
    return chunks;
}

struct Outcome {
    double seconds = 0;
    std::uint64_t packed_bytes = 0;
};

// The workers take the next chunk in turn, each with its own encoder, as the
// writer's pipeline does.
Outcome compress_all(const std::vector<std::span<const std::uint8_t>>& chunks, unsigned threads, int level)
{
    std::atomic<std::size_t> next{0};
    std::atomic<std::uint64_t> packed{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        hpi::detail::ChunkEncoder encoder(hpi::Method::Zlib, level);
        Bytes out;
        std::uint64_t mine = 0;
        for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < chunks.size();) {
            if (encoder.encode(chunks[i], out))
                failed = true;
            mine += out.size();
        }
        packed += mine;
    };
    auto start = Clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back(work);
    for (std::thread& w : workers)
        w.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (failed)
        throw std::runtime_error("a chunk did not compress");
    return {seconds, packed};
}

}  // namespace

int main(int argc, char** argv)
{
    Settings s;
    if (!parse(argc, argv, s)) {
        std::fprintf(stderr, "usage: %s TREE [--threads N] [--level 1..12]\n", argv[0]);
        return 2;
    }
    unsigned threads = s.threads ? s.threads : std::clamp(std::thread::hardware_concurrency(), 1u, 64u);
    try {
        const std::vector<Bytes> files = load_files(s.tree);
        const auto chunks = cut_into_chunks(files);
        std::uint64_t plain = 0;
        for (const auto& chunk : chunks)
            plain += chunk.size();
        Outcome o = compress_all(chunks, threads, s.level);
        std::printf("%.6f\n", o.seconds);
        std::fprintf(stderr, "%zu files, %llu bytes in %zu chunks -> %llu bytes, level %d, %u threads\n",
                     files.size(), static_cast<unsigned long long>(plain), chunks.size(),
                     static_cast<unsigned long long>(o.packed_bytes), s.level, threads);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}

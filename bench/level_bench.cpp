// Packs a generated corpus at every zlib level and with the other methods,
// and compresses the same corpus with `gzip -6` for reference. Prints the
// archive size as a share of the corpus and the packing speed.
//
//   quarrix-bench-level [--size MIB] [--threads N] [--repeat N] [--level L]
//
// --level picks the level whose incompressible chunks are counted (what
// storing them as method-0 chunks would save).
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "chunk_encode.h"
#include "corpus.h"
#include "format.h"
#include "hpi/hpi.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Settings {
    std::uint64_t corpus_mib = 24;
    unsigned threads = 1;
    int repeat = 2;
    int level = 0;  // 0: the PackOptions default
};

struct Measure {
    std::uint64_t bytes = 0;
    double seconds = 0;
};

bool parse(int argc, char** argv, Settings& s)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        long value = std::strtol(argv[++i], nullptr, 10);
        if (value < 0)
            return false;
        if (arg == "--size")
            s.corpus_mib = std::uint64_t(value);
        else if (arg == "--threads")
            s.threads = unsigned(value);
        else if (arg == "--repeat")
            s.repeat = std::max(1, int(value));
        else if (arg == "--level")
            s.level = int(value);
        else
            return false;
    }
    return true;
}

Measure pack_once(const std::vector<bench::CorpusFile>& files, const fs::path& target,
                  const hpi::PackOptions& options)
{
    hpi::Writer writer;
    for (const auto& f : files)
        if (hpi::Error e = writer.add_file(f.archive_path, f.disk_path)) {
            std::fprintf(stderr, "add %s: %s\n", f.archive_path.c_str(), e.message.c_str());
            std::exit(1);
        }
    auto start = Clock::now();
    if (hpi::Error e = writer.pack(target, options)) {
        std::fprintf(stderr, "pack: %s\n", e.message.c_str());
        std::exit(1);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {fs::file_size(target), seconds};
}

Measure best_of(int repeat, const std::vector<bench::CorpusFile>& files, const fs::path& target,
                const hpi::PackOptions& options)
{
    Measure best = pack_once(files, target, options);
    for (int i = 1; i < repeat; ++i) {
        Measure m = pack_once(files, target, options);
        if (m.seconds < best.seconds)
            best = m;
    }
    return best;
}

void print_row(const std::string& label, const Measure& m, std::uint64_t corpus_bytes)
{
    std::printf("%-14s %12llu  %6.2f%%  %8.1f MB/s\n", label.c_str(),
                static_cast<unsigned long long>(m.bytes), 100.0 * double(m.bytes) / double(corpus_bytes),
                double(corpus_bytes) / 1e6 / m.seconds);
}

// One stream of the whole corpus through gzip: a reference point, not a like
// for like (gzip sees one stream, archive chunks are 64 KiB each).
bool measure_gzip(const std::vector<bench::CorpusFile>& files, const fs::path& dir, int repeat, Measure& out)
{
    fs::path joined = dir / "corpus.cat", packed = dir / "corpus.gz";
    {
        std::ofstream cat(joined, std::ios::binary);
        for (const auto& f : files)
            cat << std::ifstream(f.disk_path, std::ios::binary).rdbuf();
    }
    std::string command = "gzip -6 -c '" + joined.string() + "' > '" + packed.string() + "'";
    for (int i = 0; i < repeat; ++i) {
        auto start = Clock::now();
        if (std::system(command.c_str()) != 0)
            return false;
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (i == 0 || seconds < out.seconds)
            out = {fs::file_size(packed), seconds};
    }
    return true;
}

// How many zlib chunks come out no smaller than their plain data, and how
// much storing those as method-0 chunks would save.
void count_incompressible_chunks(const std::vector<bench::CorpusFile>& files, int level,
                                 std::uint64_t archive_bytes)
{
    hpi::detail::ChunkEncoder encoder(hpi::Method::Zlib, level);
    std::vector<std::uint8_t> plain(hpi::format::kChunkSize), chunk;
    std::uint64_t chunks = 0, losers = 0, saving = 0;
    for (const auto& f : files) {
        std::ifstream in(f.disk_path, std::ios::binary);
        while (in.read(reinterpret_cast<char*>(plain.data()), std::streamsize(plain.size())) ||
               in.gcount() > 0) {
            std::size_t n = std::size_t(in.gcount());
            if (const hpi::Error error = encoder.encode(std::span(plain.data(), n), chunk)) {
                std::fprintf(stderr, "%s\n", error.message.c_str());
                return;
            }
            std::size_t payload = chunk.size() - hpi::format::kChunkHeaderSize;
            ++chunks;
            if (payload >= n) {
                ++losers;
                saving += payload - n;
            }
        }
    }
    std::printf(
        "\nlevel %d: %llu of %llu chunks do not shrink; storing them as method-0 chunks "
        "would save %llu bytes (%.4f%% of the archive)\n",
        level, static_cast<unsigned long long>(losers), static_cast<unsigned long long>(chunks),
        static_cast<unsigned long long>(saving), 100.0 * double(saving) / double(archive_bytes));
}

}  // namespace

int main(int argc, char** argv)
{
    Settings s;
    if (!parse(argc, argv, s)) {
        std::fprintf(stderr, "usage: %s [--size MIB] [--threads N] [--repeat N] [--level L]\n", argv[0]);
        return 2;
    }
    if (s.level == 0)
        s.level = hpi::PackOptions{}.zlib_level;

    std::string pattern = (fs::temp_directory_path() / "quarrix-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    auto files = bench::generate_corpus(dir / "corpus", s.corpus_mib << 20);
    std::uint64_t corpus_bytes = 0;
    std::map<std::string, std::pair<int, std::uint64_t>> kinds;
    for (const auto& f : files) {
        corpus_bytes += f.size;
        kinds[f.kind].first++;
        kinds[f.kind].second += f.size;
    }
    std::printf("corpus: %zu files, %llu bytes\n", files.size(),
                static_cast<unsigned long long>(corpus_bytes));
    for (const auto& [kind, count] : kinds)
        std::printf("  %-18s %4d files %10llu bytes\n", kind.c_str(), count.first,
                    static_cast<unsigned long long>(count.second));
    std::printf("threads %u, best of %d runs; MB/s = corpus bytes / 1e6 / wall seconds\n\n", s.threads,
                s.repeat);
    std::printf("%-14s %12s  %7s  %13s\n", "method", "bytes", "size", "speed");

    hpi::PackOptions options;
    options.threads = s.threads;
    options.method = hpi::Method::Zlib;
    Measure chosen{};
    for (int level = 1; level <= 12; ++level) {
        options.zlib_level = level;
        Measure m = best_of(s.repeat, files, dir / "out.hpi", options);
        if (level == s.level)
            chosen = m;
        print_row("zlib " + std::to_string(level), m, corpus_bytes);
    }
    options.method = hpi::Method::Lz77;
    print_row("lz77", best_of(s.repeat, files, dir / "out.hpi", options), corpus_bytes);
    options.method = hpi::Method::Stored;
    print_row("stored", best_of(s.repeat, files, dir / "out.hpi", options), corpus_bytes);

    Measure gzip;
    if (measure_gzip(files, dir, s.repeat, gzip))
        print_row("gzip -6", gzip, corpus_bytes);
    else
        std::printf("gzip -6        (gzip did not run)\n");

    count_incompressible_chunks(files, s.level, chosen.bytes);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}

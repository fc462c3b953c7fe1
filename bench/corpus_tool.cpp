// The C++ half of bench/corpus: writes the collection's files and packs its
// archives with the archive library.
//
//   quarrix-bench-corpus DIR [SCALE]
//
// DIR/tree         every file of the collection (what dumping it gives)
// DIR/archives     its 40 archives, zlib level 6
// DIR/big/tree     the files of the big archive
// DIR/big/big.hpi  the big archive
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>

#include "corpus.h"
#include "hpi/hpi.h"

namespace {

namespace fs = std::filesystem;

void pack(const std::vector<bench::CorpusFile>& files, const fs::path& target)
{
    hpi::Writer writer;
    for (const bench::CorpusFile& f : files)
        if (hpi::Error e = writer.add_file(f.archive_path, f.disk_path))
            throw std::runtime_error(e.message);
    if (hpi::Error e = writer.pack(target, hpi::PackOptions{}))
        throw std::runtime_error(e.message);
}

std::uint64_t bytes_of(const std::vector<bench::CorpusFile>& files)
{
    std::uint64_t total = 0;
    for (const bench::CorpusFile& f : files)
        total += f.size;
    return total;
}

void make(const fs::path& dir, double scale)
{
    fs::create_directories(dir / "archives");
    std::size_t files = 0;
    std::uint64_t bytes = 0;
    const auto archives = bench::generate_collection(dir / "tree", scale);
    for (const bench::CollectionArchive& archive : archives) {
        pack(archive.files, dir / "archives" / archive.name);
        files += archive.files.size();
        bytes += bytes_of(archive.files);
    }
    std::printf("collection: %zu archives, %zu files, %.1f MB\n", archives.size(), files,
                double(bytes) / 1e6);

    const auto big = bench::generate_big_archive(dir / "big" / "tree", scale);
    pack(big, dir / "big" / "big.hpi");
    std::printf("big archive: %zu files, %.1f MB, packed %.1f MB\n", big.size(), double(bytes_of(big)) / 1e6,
                double(fs::file_size(dir / "big" / "big.hpi")) / 1e6);
}

}  // namespace

int main(int argc, char** argv)
{
    const double scale = argc == 3 ? std::atof(argv[2]) : 1.0;
    if (argc < 2 || argc > 3 || scale <= 0 || scale > 10) {
        std::fprintf(stderr, "usage: quarrix-bench-corpus DIR [SCALE]\n");
        return 2;
    }
    try {
        make(argv[1], scale);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quarrix-bench-corpus: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Randomly damaged archives must keep every promise the reader fuzz target
// checks: an error or exactly the announced bytes, never more than an
// entry's size, and verdicts that agree. Run under the sanitizers, this is
// also the crash and overrun check.
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/writer_view.h"
#include "../fuzz/reader_checks.h"

#include <gtest/gtest.h>

#include <random>

namespace hpi {
namespace {

using test::ArchiveBuilder;
using test::Bytes;

Bytes varied_archive() {
    const Bytes text = test::bytes_of(std::string(3000, 'q') + "tail of the text");
    Bytes big = test::noise(70000, 11);
    return ArchiveBuilder()
        .directory("units")
        .stored_file("units\\a.txt", test::bytes_of("alpha"))
        .directory("units\\deep")
        .chunked_file("units\\deep\\l.bin", Method::Lz77, std::uint32_t(text.size()),
                      {test::lz77_literal_chunk(text, true)})
        .chunked_file("z.bin", Method::Zlib, std::uint32_t(big.size()),
                      test::chunks_of(big, test::zlib_chunk, true))
        .chunked_file("s.bin", Method::Zlib, 5, {test::stored_chunk(test::bytes_of("12345"))})
        .build()
        .bytes;
}

TEST(ReaderDamage, RandomByteAndWordDamageGetsAnErrorOrExactContent) {
    const Bytes original = varied_archive();
    const writer_test::ScratchDir dir;
    const auto file = dir / "damaged.hpi";
    std::mt19937 random(20240601);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = original;
        const int hits = 1 + int(random() % 4);
        for (int h = 0; h < hits; ++h) {
            // Aim mostly at the header, directory block and chunk headers,
            // where the numbers that steer the reader live.
            const std::size_t span = random() % 2 ? 400 : bytes.size();
            const std::size_t at = random() % std::min(span, bytes.size() - 4);
            if (random() % 2) {
                bytes[at] ^= std::uint8_t(1u << (random() % 8));
            } else {
                const std::uint32_t values[] = {0, 1, 0xFFFFFFFF, 0x80000000, 20,
                                                std::uint32_t(bytes.size()), std::uint32_t(random())};
                const std::uint32_t v = values[random() % 7];
                for (int i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(v >> (8 * i));
            }
        }
        // A fresh file each round: truncating the last one would wait for its
        // data to reach the disk.
        std::filesystem::remove(file);
        writer_test::write_file(file, bytes);
        ASSERT_EQ(hpi_fuzz::check_archive_file(file), "") << "round " << round;
    }
}

}  // namespace
}  // namespace hpi

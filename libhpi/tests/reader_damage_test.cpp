// Randomly damaged archives must keep every promise the reader fuzz target
// checks: an error or exactly the announced bytes, never more than an
// entry's size, and verdicts that agree. Run under the sanitizers, this is
// also the crash and overrun check.
#include "hpi/hpi.h"
#include "support/archive_builder.h"
#include "support/v2_builder.h"
#include "support/writer_view.h"
#include "../fuzz/reader_checks.h"

#include <gtest/gtest.h>

#include <random>

namespace hpi {
namespace {

using test::ArchiveBuilder;
using test::Bytes;

Bytes varied_archive()
{
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

// Version 2 the same way: the blocks first, where damage aimed at the
// start finds them, or last as one chunk each; files of every layout.
Bytes varied_v2_archive(bool blocks_first)
{
    const Bytes text = test::bytes_of(std::string(3000, 'q') + "tail of the text");
    const Bytes big = test::noise(70000, 11);
    test::V2Builder builder;
    builder.folder("units")
        .file("units\\a.txt", test::bytes_of("alpha"))
        .folder("units\\deep")
        .stored_file("units\\deep\\l.bin", std::uint32_t(text.size()),
                     test::chunk_bytes(test::lz77_literal_chunk(text, true)), test::v2_content_checksum(text))
        .file("z.bin", big)
        .stored_file("s.bin", 5, test::bytes_of("12345"))
        .file("empty", {});
    if (blocks_first)
        builder.blocks_first();
    else
        builder.blocks_as_chunks();
    return builder.build().bytes;
}

void damage_at_random(const Bytes& original)
{
    const writer_test::ScratchDir dir;
    const auto file = dir / "damaged.hpi";
    std::mt19937 random(20240601);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = original;
        const int hits = 1 + int(random() % 4);
        for (int h = 0; h < hits; ++h) {
            // Aim mostly at the header, the blocks and chunk headers, where
            // the numbers that steer the reader live: the start, and the end
            // where version 2 keeps its blocks.
            const std::size_t region = random() % 3;
            const std::size_t span =
                region == 2 ? bytes.size() - 4 : std::min<std::size_t>(400, bytes.size() - 4);
            const std::size_t at = (region == 1 ? bytes.size() - 4 - span : 0) + random() % span;
            if (random() % 2) {
                bytes[at] ^= std::uint8_t(1u << (random() % 8));
            } else {
                const std::uint32_t values[] = {0,
                                                1,
                                                0xFFFFFFFF,
                                                0x80000000,
                                                20,
                                                32,
                                                std::uint32_t(bytes.size()),
                                                std::uint32_t(random())};
                const std::uint32_t v = values[random() % 8];
                for (int i = 0; i < 4; ++i)
                    bytes[at + i] = std::uint8_t(v >> (8 * i));
            }
        }
        // A fresh file each round: truncating the last one would wait for its
        // data to reach the disk.
        std::filesystem::remove(file);
        writer_test::write_file(file, bytes);
        ASSERT_EQ(hpi_fuzz::check_archive_file(file), "") << "round " << round;
    }
}

TEST(ReaderDamage, RandomByteAndWordDamageGetsAnErrorOrExactContent)
{
    const struct {
        const char* what;
        Bytes archive;
    } archives[] = {
        {"version 1", varied_archive()},
        {"version 2, blocks first", varied_v2_archive(true)},
        {"version 2, chunked blocks last", varied_v2_archive(false)},
    };
    for (const auto& a : archives) {
        SCOPED_TRACE(a.what);
        damage_at_random(a.archive);
    }
}

}  // namespace
}  // namespace hpi

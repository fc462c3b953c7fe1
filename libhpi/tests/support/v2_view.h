// An independent look at a version-2 archive, for the writer tests: it
// parses the bytes itself (libdeflate for zlib, not the library's reader)
// and lists every way the archive departs from the layout a version-2
// packer writes: the header's fixed fields, blocks raw or one obfuscated
// zlib chunk, the records' depth-first arrangement and sorted lists, the
// names in record order, each file one chunk back to back from offset 32,
// the checksums, and the regions in order without gaps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace writer_test {

using Bytes = std::vector<std::uint8_t>;

struct V2ViewFile {
    std::string path;
    std::uint32_t data_start = 0, size = 0, stored_size = 0, mtime = 0;
    std::uint8_t chunk_method = 0xFF;
    Bytes content;  // decoded from its chunk
};

struct V2View {
    bool names_raw = false, directory_raw = false;
    std::vector<std::string> listing;  // "d PATH" / "f PATH", in record order
    std::vector<V2ViewFile> files;     // in record order
    std::vector<std::string> faults;   // empty when the layout is as it should be
};

V2View view_v2(const Bytes& archive);

}  // namespace writer_test

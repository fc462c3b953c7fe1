// Arbitrary bytes as an archive file: open, list, look every entry up, read
// every file, test. Nothing may crash, hang or allocate without bound, and
// the verdicts must agree with each other (reader_checks.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "fuzz_check.h"
#include "reader_checks.h"

namespace {

// The archive lives in an anonymous memory file; the reader opens it by path
// like any other file, with no disk traffic.
int archive_fd()
{
    static const int fd = ::memfd_create("fuzz-archive", 0);
    FUZZ_CHECK(fd >= 0, "memfd_create");
    return fd;
}

void store_input(const std::uint8_t* data, std::size_t size)
{
    FUZZ_CHECK(::ftruncate(archive_fd(), 0) == 0, "ftruncate");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(archive_fd(), data + done, size - done, off_t(done));
        FUZZ_CHECK(n > 0, "pwrite");
        done += std::size_t(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    store_input(data, size);
    static const std::string path = "/proc/self/fd/" + std::to_string(archive_fd());
    const std::string fault = hpi_fuzz::check_archive_file(path);
    FUZZ_CHECK(fault.empty(), fault.c_str());
    return 0;
}

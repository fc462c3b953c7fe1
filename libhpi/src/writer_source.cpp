#include "writer_source.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace hpi::detail {

namespace fs = std::filesystem;

Error io_error(std::string what, int err)
{
    return Error{ErrorKind::IoError, std::move(what) + ": " + std::strerror(err),
                 std::error_code(err, std::generic_category())};
}

std::string in_quotes(const fs::path& p)
{
    return "'" + p.string() + "'";
}

Result<FileDescriptor> open_source(const fs::path& path, std::uint64_t expected_size)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return io_error("cannot open " + in_quotes(path), errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return io_error("cannot examine " + in_quotes(path), errno);
    if (!S_ISREG(st.st_mode))
        return Error{ErrorKind::IoError, in_quotes(path) + " is no longer a regular file"};
    if (std::uint64_t(st.st_size) != expected_size)
        return Error{ErrorKind::IoError, in_quotes(path) + " changed size since it was added (" +
                                             std::to_string(expected_size) + " bytes, now " +
                                             std::to_string(st.st_size) + ")"};
    return fd;
}

Error read_exactly(int fd, const fs::path& path, std::uint8_t* buffer, std::size_t n)
{
    while (n > 0) {
        ssize_t got = ::read(fd, buffer, n);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return io_error("cannot read " + in_quotes(path), errno);
        if (got == 0)
            return Error{ErrorKind::IoError, in_quotes(path) + " became shorter while it was packed"};
        buffer += got;
        n -= std::size_t(got);
    }
    return {};
}

Error expect_end(int fd, const fs::path& path)
{
    std::uint8_t extra;
    for (;;) {
        ssize_t got = ::read(fd, &extra, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return io_error("cannot read " + in_quotes(path), errno);
        if (got == 0)
            return {};
        return Error{ErrorKind::IoError, in_quotes(path) + " grew while it was packed"};
    }
}

void report_progress(const ProgressFn& progress, const fs::path& disk_file, std::string_view archive_path,
                     std::uint64_t done, std::uint64_t total)
{
    if (!progress)
        return;
    PackProgress p;
    p.disk_path = &disk_file;
    p.archive_path = archive_path;
    p.bytes_done = done;
    p.bytes_total = total;
    progress(p);
}

}  // namespace hpi::detail

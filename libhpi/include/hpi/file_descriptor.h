// An owned file descriptor, closed when it goes away: the one guard for the
// descriptors of the archive library and of the program's door to the disk
// (platform::UniqueFd is this class), so that every path out of a function,
// an early return or an exception, closes what it opened.
#pragma once

#include <unistd.h>

#include <utility>

namespace hpi {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    // Hands the descriptor over; this object no longer closes it.
    int release() noexcept { return std::exchange(fd_, -1); }

    // Closes the descriptor held (if any) and holds fd instead.
    void reset(int fd = -1) noexcept
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

    // Closes now and returns what close() answered (errno set on -1): the
    // last chance for the system to report a write it could not take.
    int close() noexcept { return ::close(release()); }

private:
    int fd_ = -1;
};

}  // namespace hpi

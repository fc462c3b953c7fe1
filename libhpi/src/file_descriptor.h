// An owned file descriptor, closed when it goes away.
#pragma once

#include <unistd.h>

#include <utility>

namespace hpi::detail {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& o) noexcept {
        reset();
        fd_ = std::exchange(o.fd_, -1);
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Closes now and says whether the close succeeded: the last chance for
    // the system to report a write it could not take.
    int release_and_close() {
        int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_ = -1;
};

}  // namespace hpi::detail

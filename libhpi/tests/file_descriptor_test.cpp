// The descriptor guard of the library and the program: exactly one owner
// closes each descriptor, once.
#include "hpi/file_descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

namespace hpi {
namespace {

bool is_open(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

int open_null()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

TEST(FileDescriptorGuard, ClosesOnEveryWayOut)
{
    int fd = -1;
    {
        FileDescriptor guard(open_null());
        fd = guard.get();
        ASSERT_TRUE(guard);
        ASSERT_TRUE(is_open(fd));
    }
    EXPECT_FALSE(is_open(fd)) << "closed when it went away";

    FileDescriptor first(open_null());
    const int replaced = first.get();
    first.reset(open_null());
    EXPECT_FALSE(is_open(replaced)) << "reset closes what it held";
    EXPECT_TRUE(is_open(first.get()));

    FileDescriptor second(open_null());
    const int overwritten = second.get();
    const int moved = first.get();
    second = std::move(first);
    EXPECT_FALSE(is_open(overwritten)) << "a move closes what the target held";
    EXPECT_EQ(second.get(), moved);
    EXPECT_FALSE(first) << "the source of a move holds nothing";
    second = std::move(second);
    EXPECT_TRUE(is_open(moved)) << "a move onto itself keeps the descriptor";
}

TEST(FileDescriptorGuard, ReleaseHandsOverAndCloseReports)
{
    FileDescriptor guard(open_null());
    const int fd = guard.release();
    EXPECT_FALSE(guard);
    EXPECT_TRUE(is_open(fd)) << "released, not closed";
    ::close(fd);

    FileDescriptor closing(open_null());
    const int held = closing.get();
    EXPECT_EQ(closing.close(), 0);
    EXPECT_FALSE(closing);
    EXPECT_FALSE(is_open(held));
    errno = 0;
    EXPECT_EQ(closing.close(), -1) << "nothing left to close";
    EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace hpi

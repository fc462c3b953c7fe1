// Folders opened below a destination never lead out of it, and a replaced
// file never leaves its temporary file behind. (That a link at the final name
// is replaced, not written through, is checked through the archive contract.)
#include "platform/atomic_file.h"
#include "platform/beneath.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/writer_view.h"

namespace {
namespace fs = std::filesystem;
using quarrix::platform::AtomicFile;
using quarrix::platform::Durability;
using quarrix::platform::OpenFolderBeneath;

// root/inside is a link to a folder outside root.
class Beneath : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(scratch_ / "root");
        fs::create_directories(scratch_ / "outside");
        fs::create_directory_symlink(scratch_ / "outside", scratch_ / "root/inside");
    }
    writer_test::ScratchDir scratch_;
};

TEST_F(Beneath, NeverFollowsALinkBelowTheRootNorTakesAnUnsafeName)
{
    const struct {
        std::vector<std::string> components;
        bool create;
        std::errc expected;
    } cases[] = {
        {{"inside"}, false, std::errc::not_a_directory},
        {{"inside", "made"}, true, std::errc::not_a_directory},
        {{"new", ".."}, true, std::errc::invalid_argument},
        {{"."}, true, std::errc::invalid_argument},
        {{""}, true, std::errc::invalid_argument},
        {{"a/b"}, true, std::errc::invalid_argument},
        {{"missing"}, false, std::errc::no_such_file_or_directory},
    };
    for (const auto& c : cases) {
        std::error_code error;
        const auto fd = OpenFolderBeneath(scratch_ / "root", c.components, c.create, error);
        EXPECT_FALSE(fd) << c.components.front();
        EXPECT_EQ(error, std::make_error_code(c.expected)) << c.components.front();
    }
    EXPECT_TRUE(fs::is_empty(scratch_ / "outside"));
    EXPECT_FALSE(fs::exists(scratch_ / "root/new")) << "nothing is made before the names are checked";
}

TEST_F(Beneath, MakesMissingLevelsAndFollowsALinkInTheRootItself)
{
    // The root as the person named it may be a link; only levels below it are guarded.
    std::error_code error;
    const auto fd = OpenFolderBeneath(scratch_ / "root/inside/new root", {"a", "b"}, true, error);
    ASSERT_TRUE(fd) << error.message();
    const int file = ::openat(fd.get(), "here", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ::close(file);
    EXPECT_TRUE(fs::exists(scratch_ / "outside/new root/a/b/here"));
}

class Atomic : public ::testing::Test {
protected:
    writer_test::ScratchDir scratch_;
};

TEST_F(Atomic, NoTemporaryFileOutlivesAFailureADropOrASuddenEnd)
{
    fs::create_directories(scratch_ / "folder/full");
    writer_test::write_file(scratch_ / "folder/full/x", std::string("x"));
    std::error_code error;
    {
        AtomicFile blocked;
        EXPECT_FALSE(blocked.Create(scratch_ / "folder/..", error));
        EXPECT_EQ(error, std::errc::invalid_argument);
        ASSERT_TRUE(blocked.Create(scratch_ / "folder/full", error));
        EXPECT_FALSE(blocked.Commit(Durability::Synced, error)) << "a folder is in the way";
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch_ / "folder"), {}), 1);

        AtomicFile dropped, open;
        ASSERT_TRUE(dropped.Create(scratch_ / "folder/a", error));
        ASSERT_TRUE(open.Create(scratch_ / "folder/b", error));
        ASSERT_TRUE(open.Write("b", 1, error));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch_ / "folder"), {}), 1);

    AtomicFile left_open;
    ASSERT_TRUE(left_open.Create(scratch_ / "folder/c", error));
    quarrix::platform::RemoveOpenTemporaryFiles();
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch_ / "folder"), {}), 1);
}

}  // namespace

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

// Both ways of making the temporary file: unnamed where the file system
// allows it, named where it does not (forced here).
TEST_F(Atomic, NoTemporaryFileOutlivesAFailureADropOrASuddenEndAndAnOldFileIsReplacedWhole)
{
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        quarrix::platform::ForceNamedTemporaryFiles(named);
        const fs::path folder = scratch_ / (named ? "named" : "unnamed");
        fs::create_directories(folder / "full");
        writer_test::write_file(folder / "full/x", std::string("x"));
        writer_test::write_file(folder / "old", std::string("old content"));
        const auto names = [&] { return std::distance(fs::directory_iterator(folder), {}); };
        std::error_code error;
        {
            AtomicFile blocked;
            EXPECT_FALSE(blocked.Create(folder / "..", error));
            EXPECT_EQ(error, std::errc::invalid_argument);
            ASSERT_TRUE(blocked.Create(folder / "full", error));
            EXPECT_FALSE(blocked.Commit(Durability::Synced, error)) << "a folder is in the way";
            EXPECT_EQ(names(), 2);

            AtomicFile dropped, open;
            ASSERT_TRUE(dropped.Create(folder / "a", error));
            ASSERT_TRUE(open.Create(folder / "b", error));
            ASSERT_TRUE(open.Write("b", 1, error));
            EXPECT_EQ(names(), named ? 4 : 2) << "an unnamed file shows no name while written";
        }
        EXPECT_EQ(names(), 2);

        AtomicFile replacing;
        ASSERT_TRUE(replacing.Create(folder / "old", error));
        ASSERT_TRUE(replacing.Write("new", 3, error));
        ASSERT_TRUE(replacing.Commit(Durability::None, error)) << error.message();
        const auto content = writer_test::read_file(folder / "old");
        EXPECT_EQ(std::string(content.begin(), content.end()), "new");

        AtomicFile left_open;
        ASSERT_TRUE(left_open.Create(folder / "c", error));
        quarrix::platform::RemoveOpenTemporaryFiles();
        EXPECT_EQ(names(), 2);
    }
    quarrix::platform::ForceNamedTemporaryFiles(false);
}

}  // namespace

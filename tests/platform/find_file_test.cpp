// The directory enumeration: kinds, lengths and identities with links
// followed, the entries it passes over, patterns, and an unlistable directory.
#include "platform/find_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace fs = std::filesystem;
using namespace quarrix::platform;

namespace {

std::map<std::string, WIN32_FIND_DATAA> listAll(const fs::path& folder, const char* pattern,
                                                FindDetail detail)
{
    std::map<std::string, WIN32_FIND_DATAA> entries;
    WIN32_FIND_DATAA record;
    const std::string query = (folder / pattern).string();
    FindHandle search = FindFirstFileA(query.c_str(), &record, detail);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do
        entries[record.cFileName] = record;
    while (FindNextFileA(search, &record));
    EXPECT_TRUE(FindClose(search));
    return entries;
}

class FindFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/quarrix-find-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
        std::ofstream(root_ / "a.bin") << "12345";
        fs::create_directory(root_ / "d");
        fs::create_directory_symlink("d", root_ / "link to d");
        fs::create_symlink("missing", root_ / "leads nowhere");
        std::ofstream(root_ / "bad\xff.bin") << "x";
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
};

TEST_F(FindFileTest, ReportsKindsFollowingLinksAndPassesOverWhatItCannotName)
{
    for (FindDetail detail : {FindDetail::Full, FindDetail::KindAndName}) {
        const auto entries = listAll(root_, "*.*", detail);
        ASSERT_EQ(entries.size(), 5u) << "., .., a.bin, d, link to d";
        EXPECT_EQ(entries.at("a.bin").dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(entries.at("d").dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(entries.at("..").dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(entries.at("link to d").dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
        const FileIdentity linked = entries.at("link to d").identity;
        if (detail == FindDetail::Full) {
            EXPECT_EQ(entries.at("a.bin").nFileSize, 5u);
            EXPECT_EQ(linked, entries.at("d").identity);
        }
        WIN32_FIND_DATAA record;
        FindHandle inside = FindFirstFileA((root_ / "link to d/*").c_str(), &record, detail);
        ASSERT_NE(inside, INVALID_HANDLE_VALUE);
        EXPECT_EQ(FindDirectoryIdentity(inside), linked);
        FindClose(inside);
    }
}

TEST_F(FindFileTest, PatternsAndUnlistableDirectories)
{
    const auto bins = listAll(root_, "*.bin", FindDetail::Full);
    ASSERT_EQ(bins.size(), 1u);
    EXPECT_EQ(bins.begin()->first, "a.bin");

    WIN32_FIND_DATAA record;
    errno = 0;
    EXPECT_EQ(FindFirstFileA((root_ / "gone/*.*").c_str(), &record), INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(FindFirstFileA((root_ / "a.bin/*.*").c_str(), &record), INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(FindFirstFileA((root_ / "*.none").c_str(), &record), INVALID_HANDLE_VALUE);
}

}  // namespace

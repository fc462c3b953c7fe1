// The options (INI) file layer: lookup rules on hand-edited files, the lines a
// write may change, and writes that fail without harming the file.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;
using quarrix::platform::GetPrivateProfileString;
using quarrix::platform::WritePrivateProfileString;

namespace {

class ProfileFile : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quarrix-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        file_ = folder_ / "Options.ini";
    }
    void TearDown() override
    {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }

    void put(const std::string& bytes) const { put(file_, bytes); }
    static void put(const fs::path& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string contents() const { return contents(file_); }
    static std::string contents(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string get(const std::string& section, const std::string& key) const
    {
        return GetPrivateProfileString(section, key, "<none>", file_);
    }
    bool set(const std::string& section, const std::string& key, const std::string& value) const
    {
        return WritePrivateProfileString(section, key, value, file_);
    }
    int entriesInFolder() const
    {
        return static_cast<int>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }

    fs::path folder_;
    fs::path file_;
};

TEST_F(ProfileFile, HandEditedNamesMatchWithoutRegardToCaseAndBlanks)
{
    put("  [ recursivity ]  \r\n  ETAT =  Checked  \r\n[FileType]\r\n\t 0 =  hpi \r\n");
    EXPECT_EQ(get("Recursivity", "Etat"), "Checked");
    EXPECT_EQ(get("RECURSIVITY", " etat "), "Checked");
    EXPECT_EQ(get("FileType", "0"), "hpi");
    EXPECT_EQ(get("FileType", " 0"), "hpi");  // the readers' spelling of the key
}

TEST_F(ProfileFile, LfAndCrlfFilesReadAlike)
{
    const std::string lines[] = {"[FileType]", "Type_Count=2", "0=hpi", "1=ufo"};
    for (const std::string end : {"\r\n", "\n"}) {
        std::string text;
        for (const std::string& line : lines)
            text += line + end;
        put(text);
        EXPECT_EQ(get("FileType", "Type_Count"), "2") << "line end " << end.size();
        EXPECT_EQ(get("FileType", "1"), "ufo") << "line end " << end.size();
    }
}

TEST_F(ProfileFile, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(get("Recursivity", "Etat"), "<none>");
    put("Etat=Stray\r\n[FileType]\r\n0=hpi\r\n[Recursivity]\r\nOther=1\r\n");
    EXPECT_EQ(get("Missing", "0"), "<none>");
    EXPECT_EQ(get("Recursivity", "0"), "<none>");  // a key of another section
    EXPECT_EQ(get("Recursivity", "Etat"), "<none>");  // a key before any section
    EXPECT_EQ(get("FileType", "1"), "<none>");
}

TEST_F(ProfileFile, FirstSectionAndFirstKeyOfANameWin)
{
    put("[A]\r\nk=first\r\nk=second\r\n[a]\r\nk=third\r\nonly=later\r\n");
    EXPECT_EQ(get("A", "k"), "first");
    EXPECT_EQ(get("A", "only"), "<none>");
}

TEST_F(ProfileFile, OddLinesAreNoEntries)
{
    put("\xEF\xBB\xBF[S]\r\nno equals sign\r\n\r\nempty=\r\nsplit = a=b \r\nnul=ab" + std::string(1, '\0') + "cd\r\n");
    EXPECT_EQ(get("S", "no equals sign"), "<none>");
    EXPECT_EQ(get("S", "empty"), "");
    EXPECT_EQ(get("S", "split"), "a=b");
    EXPECT_EQ(get("S", "nul"), "ab");
}

TEST_F(ProfileFile, WritesBuildTheFileInOrderOfFirstWrite)
{
    ASSERT_TRUE(set("Recursivity", "Etat", "Unchecked"));
    ASSERT_TRUE(set("FileType", "Type_Count", "4"));
    const char* extensions[] = {"hpi", "ufo", "gp3", "gp4"};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(set("FileType", std::to_string(i), extensions[i]));
    ASSERT_TRUE(set("Recursivity", "Etat", "Checked"));
    EXPECT_EQ(contents(),
              "[Recursivity]\r\nEtat=Checked\r\n[FileType]\r\nType_Count=4\r\n"
              "0=hpi\r\n1=ufo\r\n2=gp3\r\n3=gp4\r\n");
}

TEST_F(ProfileFile, ReplacingAValueChangesOnlyItsLine)
{
    const std::string before =
        "; kept by hand\n[Recursivity]\n  etat = Checked  \n\n[FileType]\nType_Count=1\n0=hpi\n";
    put(before);
    ASSERT_TRUE(set("RECURSIVITY", "Etat", "Unchecked"));
    std::string expected = before;
    expected.replace(expected.find("  etat = Checked  "), 18, "  etat =Unchecked");
    EXPECT_EQ(contents(), expected);
}

TEST_F(ProfileFile, NewKeyGoesToTheEndOfItsSectionInTheFilesLineStyle)
{
    put("[FileType]\n0=hpi\n\n[Recursivity]\nEtat=Checked");
    ASSERT_TRUE(set("filetype", "1", "ufo"));
    ASSERT_TRUE(set("Recursivity", "Other", "x"));
    EXPECT_EQ(contents(), "[FileType]\n0=hpi\n1=ufo\n\n[Recursivity]\nEtat=Checked\nOther=x\n");
}

TEST_F(ProfileFile, NewSectionGoesToTheEndOfTheFile)
{
    put("[FileType]\r\n0=hpi");
    ASSERT_TRUE(set("Recursivity", "Etat", "Checked"));
    EXPECT_EQ(contents(), "[FileType]\r\n0=hpi\r\n[Recursivity]\r\nEtat=Checked\r\n");
}

TEST_F(ProfileFile, ReplacementLeavesNoTemporaryFileAndKeepsPermissions)
{
    put("[S]\r\nk=1\r\n");
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(set("S", "k", std::to_string(i)));
    EXPECT_EQ(entriesInFolder(), 1);
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ProfileFile, ANewFileGetsTheModeOfTheUmask)
{
    const mode_t previous = ::umask(027);
    const bool written = set("S", "k", "v");
    ::umask(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ProfileFile, ALinkToTheFileStaysALink)
{
    const fs::path real = folder_ / "real.ini";
    put(real, "[S]\r\nk=old\r\n");
    fs::create_symlink(real, file_);
    ASSERT_TRUE(set("S", "k", "new"));
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(contents(real), "[S]\r\nk=new\r\n");
}

TEST_F(ProfileFile, WriteFailsWhenTheFolderCannotExist)
{
    // A regular file where the folder should be: nothing can be created below it.
    const fs::path notAFolder = folder_ / "plain";
    put(notAFolder, "data");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", notAFolder / "Options.ini"));
    EXPECT_EQ(contents(notAFolder), "data");
    EXPECT_EQ(entriesInFolder(), 1);
}

TEST_F(ProfileFile, WriteFailsWhenAFolderHoldsTheFilesPlace)
{
    fs::create_directory(file_);
    put(file_ / "inside", "kept");
    EXPECT_FALSE(set("S", "k", "v"));
    EXPECT_TRUE(fs::is_directory(file_));
    EXPECT_EQ(contents(file_ / "inside"), "kept");
}

// Without any write bit a file or folder is read-only for everyone, root
// included (the tests may well run as root).
TEST_F(ProfileFile, ReadOnlyFileOrFolderRefusesTheWrite)
{
    put("[S]\r\nk=old\r\n");
    fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(set("S", "k", "new"));
    EXPECT_EQ(contents(), "[S]\r\nk=old\r\n");

    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(set("S", "k", "new"));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", folder_ / "New.ini"));
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_EQ(contents(), "[S]\r\nk=old\r\n");
    EXPECT_EQ(entriesInFolder(), 1);
    EXPECT_TRUE(set("S", "k", "new"));  // writable again
}

TEST_F(ProfileFile, TextThatWouldBreakTheFileIsRefused)
{
    const std::string before = "[S]\r\nk=old\r\n";
    put(before);
    EXPECT_FALSE(set("S", "k", "new\r\n[Injected]"));
    EXPECT_FALSE(set("S", "k", std::string("a\0b", 3)));
    EXPECT_FALSE(set("S", "a=b", "v"));
    EXPECT_FALSE(set("S", "[T]", "v"));
    EXPECT_FALSE(set("S]", "k", "v"));
    EXPECT_FALSE(set(" ", "k", "v"));
    EXPECT_FALSE(set("S", "", "v"));
    EXPECT_EQ(contents(), before);
}

}  // namespace

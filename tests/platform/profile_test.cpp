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
#include <vector>

namespace fs = std::filesystem;
using quarrix::platform::GetPrivateProfileString;
using quarrix::platform::WritePrivateProfileString;

namespace {

void put(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

TEST_F(ProfileFile, LookupFollowsTheRulesForHandEditedFiles)
{
    EXPECT_EQ(get("Recursivity", "Etat"), "<none>") << "no file at all";
    struct Lookup {
        std::string section, key, expected;
    };
    const struct {
        std::string file;
        std::vector<Lookup> lookups;
    } cases[] = {
        // Names match without regard to case and surrounding blanks.
        {"  [ recursivity ]  \r\n  ETAT =  Checked  \r\n[FileType]\r\n\t 0 =  hpi \r\n",
         {{"Recursivity", "Etat", "Checked"},
          {"RECURSIVITY", " etat ", "Checked"},
          {"FileType", " 0", "hpi"}}},
        // LF files read like the CRLF ones above.
        {"[FileType]\nType_Count=2\n0=hpi\n1=ufo\n", {{"FileType", "1", "ufo"}}},
        // Missing section or key, a key of another section or before any section.
        {"Etat=Stray\r\n[FileType]\r\n0=hpi\r\n[Recursivity]\r\nOther=1\r\n",
         {{"Missing", "0", "<none>"}, {"Recursivity", "0", "<none>"}, {"Recursivity", "Etat", "<none>"}}},
        // The first section and the first key of a name win.
        {"[A]\r\nk=first\r\nk=second\r\n[a]\r\nk=third\r\nonly=later\r\n",
         {{"A", "k", "first"}, {"A", "only", "<none>"}}},
        // Odd lines: a byte-order mark, no equals sign, empty and split values, a NUL.
        {"\xEF\xBB\xBF[S]\r\nno equals sign\r\nempty=\r\nsplit = a=b \r\nnul=ab" + std::string(1, '\0') +
             "cd\r\n",
         {{"S", "no equals sign", "<none>"}, {"S", "empty", ""}, {"S", "split", "a=b"}, {"S", "nul", "ab"}}},
    };
    for (const auto& c : cases) {
        put(file_, c.file);
        for (const Lookup& l : c.lookups)
            EXPECT_EQ(get(l.section, l.key), l.expected) << c.file << " [" << l.section << "] " << l.key;
    }
}

TEST_F(ProfileFile, WritesChangeOnlyTheirLineInTheFilesLineStyle)
{
    struct Write {
        std::string section, key, value;
    };
    const struct {
        std::string before;
        std::vector<Write> writes;
        std::string after;
    } cases[] = {
        // A new file is built in the order of first writes, in CRLF.
        {"",
         {{"Recursivity", "Etat", "Unchecked"},
          {"FileType", "Type_Count", "2"},
          {"FileType", "0", "hpi"},
          {"FileType", "1", "ufo"},
          {"Recursivity", "Etat", "Checked"}},
         "[Recursivity]\r\nEtat=Checked\r\n[FileType]\r\nType_Count=2\r\n0=hpi\r\n1=ufo\r\n"},
        // Replacing a value keeps comments, blanks before the sign and empty lines.
        {"; kept by hand\n[Recursivity]\n  etat = Checked  \n\n[FileType]\nType_Count=1\n0=hpi\n",
         {{"RECURSIVITY", "Etat", "Unchecked"}},
         "; kept by hand\n[Recursivity]\n  etat =Unchecked\n\n[FileType]\nType_Count=1\n0=hpi\n"},
        // A new key goes to the end of its section, a new section to the end of the file.
        {"[FileType]\n0=hpi\n\n[Recursivity]\nEtat=Checked",
         {{"filetype", "1", "ufo"}, {"Recursivity", "Other", "x"}},
         "[FileType]\n0=hpi\n1=ufo\n\n[Recursivity]\nEtat=Checked\nOther=x\n"},
        {"[FileType]\r\n0=hpi",
         {{"Recursivity", "Etat", "Checked"}},
         "[FileType]\r\n0=hpi\r\n[Recursivity]\r\nEtat=Checked\r\n"},
    };
    for (const auto& c : cases) {
        fs::remove(file_);
        if (!c.before.empty())
            put(file_, c.before);
        for (const Write& w : c.writes)
            ASSERT_TRUE(set(w.section, w.key, w.value));
        EXPECT_EQ(contents(file_), c.after);
    }
}

TEST_F(ProfileFile, ReplacementLeavesNoTemporaryFileAndKeepsPermissionsAndLinks)
{
    put(file_, "[S]\r\nk=1\r\n");
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(set("S", "k", std::to_string(i)));
    EXPECT_EQ(entriesInFolder(), 1);
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    fs::remove(file_);
    const mode_t previous = ::umask(027);
    const bool written = set("S", "k", "v");
    ::umask(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << "a new file gets the umask's mode";

    fs::remove(file_);
    const fs::path real = folder_ / "real.ini";
    put(real, "[S]\r\nk=old\r\n");
    fs::create_symlink(real, file_);
    ASSERT_TRUE(set("S", "k", "new"));
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(contents(real), "[S]\r\nk=new\r\n");
}

// Without any write bit a file or folder is read-only for everyone, root
// included (the tests may well run as root). A folder in the file's place is
// the main window's failed-save test.
TEST_F(ProfileFile, WritesThatCannotBeDoneOrWouldBreakTheFileChangeNothing)
{
    using enum fs::perms;
    const std::string before = "[S]\r\nk=old\r\n";
    put(file_, before);
    put(folder_ / "plain", "data");
    const struct {
        std::string section, key, value;
        fs::perms file = owner_read | owner_write, folder = owner_all;
        const char* elsewhere = nullptr;  // a file in the folder other than the options file
    } refused[] = {
        {"S", "k", "new\r\n[Injected]"},
        {"S", "k", std::string("a\0b", 3)},
        {"S", "a=b", "v"},
        {"S", "[T]", "v"},
        {"S]", "k", "v"},
        {" ", "k", "v"},
        {"S", "", "v"},
        {"S", "k", "new", owner_read | group_read},
        {"S", "k", "new", owner_read | owner_write, owner_read | owner_exec},
        {"S", "k", "v", owner_read | owner_write, owner_read | owner_exec, "New.ini"},
        {"S", "k", "v", owner_read | owner_write, owner_all, "plain/Options.ini"},
    };
    for (const auto& r : refused) {
        fs::permissions(file_, r.file);
        fs::permissions(folder_, r.folder);
        EXPECT_FALSE(
            WritePrivateProfileString(r.section, r.key, r.value, r.elsewhere ? folder_ / r.elsewhere : file_))
            << r.section << " " << r.key << " " << r.value;
        fs::permissions(folder_, owner_all);
    }
    EXPECT_EQ(contents(file_), before);
    EXPECT_EQ(contents(folder_ / "plain"), "data");
    EXPECT_EQ(entriesInFolder(), 2);
    EXPECT_TRUE(set("S", "k", "new"));  // writable again
}

}  // namespace
